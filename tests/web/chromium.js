// Headless Chromium driven through its DevTools protocol, for the page's
// tests and benchmarks. No npm package: the protocol runs over two pipes
// (--remote-debugging-pipe), JSON messages ended by a zero byte, and the
// page is served from a folder by node's own http server (wasm cannot load
// from file://).
//
//   const {servePage, startChromium} = require("./chromium.js");
//   const site = await servePage("build-web/site");
//   const browser = await startChromium();
//   const page = await browser.openPage(site.url + "index.html", beforeLoadScript);
//   await page.waitFor("document.title === 'Quarvel: frame 60'", 20000);
//   const png = await page.screenshot();       // Buffer, PNG of the viewport
//   await page.pressKey(0x72);                 // F3, by virtual-key code
//   page.errors                                // uncaught errors and aborts
//   await browser.close(); site.close();

"use strict";
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const {spawn} = require("child_process");

const mimeTypes = {
  ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm",
  ".png": "image/png", ".txt": "text/plain",
};

// Serves the files of folder on 127.0.0.1 at a free port.
function servePage(folder) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname);
    const file = path.join(root, name.endsWith("/") ? name + "index.html" : name);
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {"Content-Type": mimeTypes[path.extname(file)] || "application/octet-stream",
                               "Cache-Control": "no-store"});
      response.end(data);
    });
  });
  return new Promise((resolve, reject) => {
    server.on("error", reject);
    server.listen(0, "127.0.0.1", () => resolve({
      url: `http://127.0.0.1:${server.address().port}/`,
      close: () => server.close(),
    }));
  });
}

// The flags Debian's chromium needs to run headless as root with WebGL on
// SwiftShader, and nothing of the network or a profile of its own.
const chromiumFlags = [
  "--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--no-first-run", "--no-default-browser-check", "--disable-extensions", "--mute-audio",
  "--remote-debugging-pipe", "--window-size=1024,900",
];

async function startChromium(options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "quarvel-chromium-"));
  const executable = options.executable || process.env.QUARVEL_CHROMIUM || "/usr/bin/chromium";
  const child = spawn(executable, [...chromiumFlags, `--user-data-dir=${profile}`,
                                   ...(options.flags || []), "about:blank"],
                      {stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"]});
  let stderr = "";
  child.stderr.on("data", chunk => { stderr = (stderr + chunk).slice(-4000); });
  const toBrowser = child.stdio[3];
  const fromBrowser = child.stdio[4];

  let nextId = 1;
  const waiting = new Map();    // id -> {resolve, reject, method}
  const listeners = [];         // {method, sessionId, callback}
  let buffered = Buffer.alloc(0);
  let exited = null;
  fromBrowser.on("data", chunk => {
    buffered = Buffer.concat([buffered, chunk]);
    let end;
    while ((end = buffered.indexOf(0)) >= 0) {
      const message = JSON.parse(buffered.subarray(0, end).toString("utf8"));
      buffered = buffered.subarray(end + 1);
      if (message.id !== undefined) {
        const call = waiting.get(message.id);
        waiting.delete(message.id);
        if (!call)
          continue;
        if (message.error)
          call.reject(new Error(`${call.method}: ${message.error.message}`));
        else
          call.resolve(message.result);
      } else {
        for (const listener of listeners)
          if (listener.method === message.method && listener.sessionId === message.sessionId)
            listener.callback(message.params);
      }
    }
  });
  child.on("exit", (code, signal) => {
    exited = `chromium ended (${signal || code}): ${stderr}`;
    for (const call of waiting.values())
      call.reject(new Error(exited));
    waiting.clear();
  });

  function send(method, params = {}, sessionId = undefined) {
    if (exited)
      return Promise.reject(new Error(exited));
    const id = nextId++;
    const message = {id, method, params};
    if (sessionId)
      message.sessionId = sessionId;
    toBrowser.write(JSON.stringify(message) + "\0");
    return new Promise((resolve, reject) => waiting.set(id, {resolve, reject, method}));
  }
  const on = (method, sessionId, callback) => listeners.push({method, sessionId, callback});

  // beforeLoad: JavaScript the page runs before its own (a stand-in for a
  // device the machine lacks, say).
  async function openPage(url, beforeLoad = undefined) {
    const {targetId} = await send("Target.createTarget", {url: "about:blank"});
    const {sessionId} = await send("Target.attachToTarget", {targetId, flatten: true});
    const page = makePage(send, on, sessionId);
    await page.start();
    if (beforeLoad)
      await send("Page.addScriptToEvaluateOnNewDocument", {source: beforeLoad}, sessionId);
    await send("Page.navigate", {url}, sessionId);
    return page;
  }

  async function close() {
    if (!exited) {
      send("Browser.close").catch(() => {});
      await new Promise(resolve => {
        const timer = setTimeout(() => { child.kill("SIGKILL"); resolve(); }, 5000);
        child.on("exit", () => { clearTimeout(timer); resolve(); });
      });
    }
    fs.rmSync(profile, {recursive: true, force: true});
  }

  await send("Browser.getVersion");
  return {openPage, close, send};
}

function makePage(send, on, sessionId) {
  const page = {
    errors: [],     // uncaught exceptions, in the page's words
    console: [],    // every console line, "level: text"
    dialogs: [],    // every alert, confirm or prompt, answered No
    send: (method, params) => send(method, params, sessionId),

    async start() {
      on("Runtime.exceptionThrown", sessionId, ({exceptionDetails: e}) =>
        page.errors.push((e.exception && e.exception.description) || e.text));
      on("Runtime.consoleAPICalled", sessionId, ({type, args}) =>
        page.console.push(type + ": " + args.map(a => a.value !== undefined ? a.value : a.description).join(" ")));
      on("Page.javascriptDialogOpening", sessionId, ({message}) => {
        page.dialogs.push(message);
        page.send("Page.handleJavaScriptDialog", {accept: false}).catch(() => {});
      });
      await page.send("Runtime.enable");
      await page.send("Page.enable");
      // Headless windows have no focus of their own: keys and the
      // page's focus and blur events need it.
      await page.send("Emulation.setFocusEmulationEnabled", {enabled: true});
    },

    // The value of a JavaScript expression in the page (promises awaited).
    async evaluate(expression) {
      const {result, exceptionDetails} = await page.send("Runtime.evaluate",
        {expression, awaitPromise: true, returnByValue: true});
      if (exceptionDetails)
        throw new Error(`${expression}: ${exceptionDetails.exception ? exceptionDetails.exception.description : exceptionDetails.text}`);
      return result.value;
    },

    // Waits until the expression is true; throws after timeoutMs. An
    // expression that throws (the page not loaded yet) is tried again.
    async waitFor(expression, timeoutMs) {
      const until = Date.now() + timeoutMs;
      const shown = expression.length > 160 ? expression.slice(0, 80) + " ... " + expression.slice(-60) : expression;
      let lastError = "";
      for (;;) {
        try {
          if (await page.evaluate(`!!(${expression})`))
            return;
        } catch (error) {
          lastError = `; it threw ${error.message.split("\n")[0]}`;
        }
        if (page.errors.length)
          throw new Error(`page error while waiting for ${shown}: ${page.errors[0]}`);
        if (Date.now() > until)
          throw new Error(`timed out after ${timeoutMs} ms waiting for ${shown}${lastError}`);
        await new Promise(resolve => setTimeout(resolve, 50));
      }
    },

    // A key by its Windows virtual-key code, as the keyboard sends it.
    async keyDown(vk) {
      await page.send("Input.dispatchKeyEvent", {type: "rawKeyDown", windowsVirtualKeyCode: vk,
                                                 nativeVirtualKeyCode: vk});
    },
    async keyUp(vk) {
      await page.send("Input.dispatchKeyEvent", {type: "keyUp", windowsVirtualKeyCode: vk,
                                                 nativeVirtualKeyCode: vk});
    },
    async pressKey(vk, holdMs = 50) {
      await page.keyDown(vk);
      await new Promise(resolve => setTimeout(resolve, holdMs));
      await page.keyUp(vk);
    },

    // The page's viewport as a PNG.
    async screenshot(clip = undefined) {
      const {data} = await page.send("Page.captureScreenshot",
                                     clip ? {format: "png", clip: {...clip, scale: 1}} : {format: "png"});
      return Buffer.from(data, "base64");
    },
  };
  return page;
}

module.exports = {servePage, startChromium};
