// The page in a real browser: it draws the game, answers keys and a pad,
// ends on Escape with its statistics and a way to play again, plays a
// replay from its address, and no error escapes on the way.
//   node tests/web/play_test.js build-web/quarvel-VERSION-web.zip
// The page is served as a player gets it: the zip, unpacked.

"use strict";
const assert = require("assert/strict");
const fs = require("fs");
const os = require("os");
const path = require("path");
const {execFileSync} = require("child_process");
const {servePage, startChromium} = require("./chromium.js");

const VK_ESCAPE = 0x1B, VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72;

// What the canvas shows: pixels that are not black, white ones in the
// score's corner (lower left), and a hash of the whole picture.
const canvasPicture = `(() => {
  const canvas = document.getElementById("canvas");
  const copy = document.createElement("canvas");
  copy.width = canvas.width;
  copy.height = canvas.height;
  const context = copy.getContext("2d");
  context.drawImage(canvas, 0, 0);
  const data = context.getImageData(0, 0, copy.width, copy.height).data;
  let lit = 0, scoreWhite = 0, hash = 0;
  for (let i = 0; i < data.length; i += 4) {
    const x = (i / 4) % copy.width, y = Math.floor(i / 4 / copy.width);
    if (data[i] + data[i + 1] + data[i + 2] > 0)
      ++lit;
    if (x < copy.width / 4 && y > copy.height * 0.9 && data[i] > 200 && data[i + 1] > 200 && data[i + 2] > 200)
      ++scoreWhite;
    hash = (hash * 31 + data[i] + 7 * data[i + 1] + 13 * data[i + 2]) >>> 0;
  }
  return {lit, scoreWhite, hash, width: copy.width, height: copy.height};
})()`;

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// The hot keys are looked at once per turn of the game's loop, after its
// messages: a press and release within one turn are lost, as on the
// desktop, so they are held longer than a slow frame of SwiftShader's on a
// busy machine.
const pressHotKey = (page, vk) => page.pressKey(vk, 400);
const pressF1 = page => pressHotKey(page, VK_F1);

// Presses a hot key until the console has a line for which test is true
// (a press that fell within one slow turn is pressed again).
async function pressUntilLine(page, vk, test, what) {
  for (let attempt = 0; attempt < 10; ++attempt) {
    const from = page.console.length;
    await pressHotKey(page, vk);
    for (let waited = 0; waited < 2000; waited += 50) {
      if (page.console.slice(from).some(test))
        return;
      await sleep(50);
    }
  }
  throw new Error(`no console line ${what}`);
}

async function playsAndEndsOnEscape(browser, site) {
  const page = await browser.openPage(site.url + "index.html");
  // The first frames: the score in its corner, stars and rocks around it.
  await page.waitFor(`typeof Module === "object" && Module.calledRun`, 30000);
  await page.waitFor(`${canvasPicture}.scoreWhite > 20`, 30000);
  const first = await page.evaluate(canvasPicture);
  assert.equal(first.width, 800, "the drawing buffer is the canvas's 800 x 600 at a pixel ratio of 1");
  assert.equal(first.height, 600);
  assert.ok(first.lit > 200, `the game is drawn: ${first.lit} pixels lit`);
  await sleep(500);
  const later = await page.evaluate(canvasPicture);
  assert.notEqual(later.hash, first.hash, "the picture moves from frame to frame");

  // F1: the browser's full screen, the drawing buffer the screen's size,
  // and the game goes on drawing; F1 again: back in the page at 800 x 600.
  await pressF1(page);
  await page.waitFor(`document.fullscreenElement && document.fullscreenElement.id === "canvas"`, 10000);
  await page.waitFor(`${canvasPicture}.width !== 800`, 10000);
  const full = await page.evaluate(canvasPicture);
  await page.waitFor(`${canvasPicture}.hash !== ${full.hash}`, 10000);
  await pressF1(page);
  await page.waitFor(`!document.fullscreenElement`, 10000);
  await page.waitFor(`${canvasPicture}.width === 800`, 10000);
  const back = await page.evaluate(canvasPicture);
  await page.waitFor(`${canvasPicture}.hash !== ${back.hash}`, 10000);
  assert.ok(back.lit > 200 && back.scoreWhite > 20, `drawn again in the page: ${JSON.stringify(back)}`);
  // The browser ends the full screen by itself (its Escape): the game
  // leaves its own too, so the next F1 asks for it again.
  await pressF1(page);
  await page.waitFor(`document.fullscreenElement`, 10000);
  await page.evaluate(`document.exitFullscreen()`);
  await page.waitFor(`${canvasPicture}.width === 800`, 10000);
  await sleep(300);
  await pressF1(page);
  await page.waitFor(`document.fullscreenElement && ${canvasPicture}.width !== 800`, 10000);
  // The game must be turning again before the next F1.
  await sleep(300);
  await pressF1(page);
  await page.waitFor(`!document.fullscreenElement && ${canvasPicture}.width === 800`, 10000);

  // A key held while the page loses the keyboard is let go: F2 held sets
  // the interval again every turn, and stops when the page is left.
  const vsyncLines = () => page.console.filter(line => line === "log: DEBUG: SetVSyncState(false)").length;
  const heldFrom = vsyncLines();
  await page.keyDown(VK_F2);
  for (let waited = 0; vsyncLines() < heldFrom + 3; waited += 50) {
    assert.ok(waited < 10000, "F2 held sets the interval every turn");
    await sleep(50);
  }
  await page.evaluate(`window.dispatchEvent(new FocusEvent("blur"))`);
  // The lines stop: none for 700 ms, while held they came every turn.
  let seen = vsyncLines();
  for (let waited = 0; ; waited += 700) {
    assert.ok(waited < 10000, "F2 was let go when the page lost the keyboard");
    await sleep(700);
    if (vsyncLines() === seen)
      break;
    seen = vsyncLines();
  }
  await page.keyUp(VK_F2);

  // The hot keys reach the game's KeyState through the page's key events.
  const setTrue = line => line === "log: DEBUG: SetVSyncState(true)";
  const setFalse = line => line === "log: DEBUG: SetVSyncState(false)";
  await pressUntilLine(page, VK_F3, setTrue, "for F3: SetVSyncState(true)");
  await pressUntilLine(page, VK_F2, setFalse, "for F2 after F3: SetVSyncState(false)");
  const vsync = page.console.filter(line => setTrue(line) || setFalse(line));

  await pressHotKey(page, VK_ESCAPE);
  await page.waitFor(`!document.getElementById("statistics").hidden`, 10000);
  const lines = await page.evaluate(
    `[...document.querySelectorAll("#statistics-lines p")].map(p => p.textContent)`);
  assert.equal(lines.length, 3, `three statistics lines: ${lines.join(" | ")}`);
  const frames = /^Frames: (\d+)$/.exec(lines[0]);
  assert.ok(frames && Number(frames[1]) > 10, `frames were counted: ${lines[0]}`);
  assert.match(lines[1], /^Average FPS: \d+\.\d{6}$/);
  assert.equal(lines[2], "Program terminated.");
  assert.equal(await page.evaluate(`document.activeElement.id`), "again", "Play again has the keyboard");

  assert.deepEqual(page.errors, [], "no uncaught error");
  assert.deepEqual(page.dialogs, [], "no dialog came up");
  const errors = page.console.filter(line => line.startsWith("error:"));
  assert.deepEqual(errors, [], "nothing was logged as an error");
  console.log(`plays: ${lines.join(", ")}; the hot keys' lines: ${vsync.length}`);
}

async function replaysFromTheAddress(browser, site) {
  const page = await browser.openPage(site.url + "index.html?seed=7&frames=90&frame-ms=16&random-keys=0.05");
  await page.waitFor(`document.title === "Quarvel: frame 90"`, 30000);
  const picture = await page.evaluate(canvasPicture);
  assert.ok(picture.lit > 200 && picture.scoreWhite > 20,
            `frame 90 stays on the canvas: ${JSON.stringify(picture)}`);
  assert.deepEqual(page.errors, [], "no uncaught error in the replay");

  // An address the tool would refuse is refused the same way, in words.
  const bad = await browser.openPage(site.url + "index.html?seed=seven&frames=10");
  await bad.waitFor(`document.getElementById("message").textContent !== ""`, 30000);
  assert.ok(bad.console.some(line => line.includes("Replay: --seed needs a whole number")),
            `the parser's reason is in the console: ${bad.console.join(" | ")}`);
  assert.equal(await bad.evaluate("document.title"), "Quarvel");
  assert.deepEqual(bad.errors, []);
  console.log(`replays: ${JSON.stringify(picture)}`);
}

// The zip's root: the page, the game's .js and .wasm, the licence.
function unpack(zip) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "quarvel-page-"));
  execFileSync("python3", ["-m", "zipfile", "-e", zip, folder]);
  assert.deepEqual(fs.readdirSync(folder).sort(), ["LICENSE", "index.html", "quarvel.js", "quarvel.wasm"]);
  return folder;
}

// A pad of the browser's standard layout, held by the test: this machine
// has none, so navigator.getGamepads answers with it.
const fakePad = `
  window.fakePad = {buttons: new Array(17).fill(false), axes: [0, 0, 0, 0]};
  navigator.getGamepads = () => [{
    id: "test pad", index: 0, connected: true, mapping: "standard", timestamp: performance.now(),
    axes: fakePad.axes.slice(),
    buttons: fakePad.buttons.map(pressed => ({pressed, touched: pressed, value: pressed ? 1 : 0})),
  }];`;

// The pad plays through the Gamepad API: its Back button ends the game as
// Escape does.
async function padsBackButtonEndsTheGame(browser, site) {
  const page = await browser.openPage(site.url + "index.html", fakePad);
  await page.waitFor(`${canvasPicture}.scoreWhite > 20`, 30000);
  // A screen of twice the pixels: the drawing buffer follows, the page's
  // 800 x 600 canvas stays sharp.
  await page.send("Emulation.setDeviceMetricsOverride",
                  {width: 1024, height: 900, deviceScaleFactor: 2, mobile: false});
  await page.waitFor(`document.getElementById("canvas").width === 1600 &&
                      document.getElementById("canvas").height === 1200`, 10000);
  // The score too, in a font twice as tall (the game asks for one).
  await page.waitFor(`${canvasPicture}.scoreWhite > 80`, 30000);
  await sleep(300);
  assert.equal(await page.evaluate(`document.getElementById("statistics").hidden`), true,
               "a pad at rest presses nothing");
  await page.evaluate(`fakePad.buttons[8] = true`);
  await page.waitFor(`!document.getElementById("statistics").hidden`, 10000);
  assert.deepEqual(page.errors, []);
}

// A page the browser refuses the full screen (an iframe without
// allowfullscreen, say): F1 asks the game's question, and No ends it with
// the game's words on the page.
async function fullScreenRefusedAsksTheQuestion(browser, site) {
  const refuse = `Element.prototype.requestFullscreen = () => Promise.reject(new TypeError("refused"));`;
  const page = await browser.openPage(site.url + "index.html", refuse);
  await page.waitFor(`${canvasPicture}.scoreWhite > 20`, 30000);
  await pressF1(page);
  await page.waitFor(`document.getElementById("message").textContent === "ERROR: Program Will Now Close."`, 10000);
  assert.equal(page.dialogs.length, 1, `one question: ${page.dialogs.join(" | ")}`);
  assert.match(page.dialogs[0], /Use Windowed Mode Instead\?$/);
  assert.deepEqual(page.errors, []);
}

// A browser without WebGL gets the page's message instead of the game.
async function withoutWebGlThePageSaysSo(browser, site) {
  const plain = await startChromium({flags: ["--disable-webgl"]});
  try {
    const page = await plain.openPage(site.url + "index.html");
    await page.waitFor(`document.getElementById("message").textContent.includes("needs WebGL")`, 30000);
    assert.equal(await page.evaluate(`typeof Module.calledRun`), "undefined", "the game was not started");
    assert.deepEqual(page.errors, []);
  } finally {
    await plain.close();
  }
}

(async () => {
  const folder = unpack(process.argv[2]);
  const site = await servePage(folder);
  const browser = await startChromium();
  let failed = false;
  for (const test of [playsAndEndsOnEscape, replaysFromTheAddress, padsBackButtonEndsTheGame,
                      fullScreenRefusedAsksTheQuestion, withoutWebGlThePageSaysSo]) {
    try {
      await test(browser, site);
      console.log(`ok ${test.name}`);
    } catch (error) {
      failed = true;
      console.log(`FAILED ${test.name}: ${error.stack}`);
    }
  }
  await browser.close();
  site.close();
  fs.rmSync(folder, {recursive: true, force: true});
  process.exitCode = failed ? 1 : 0;
})();
