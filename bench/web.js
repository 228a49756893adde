// The page's frame times in headless Chromium (SwiftShader's WebGL on the
// CPU), for bench/run.sh: the first waves played for SECONDS at the
// display's pace (F3: requestAnimationFrame), then as fast as the browser
// lets it draw (F2: the zero-delay loop). Prints "NAME VALUE" lines.
//   node bench/web.js SITE_FOLDER SECONDS

"use strict";
const {servePage, startChromium} = require("../tests/web/chromium.js");

const VK_SPACE = 0x20, VK_LEFT = 0x25, VK_F2 = 0x71, VK_F3 = 0x72;
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// Nearest rank, as bench/pacing.awk takes it.
function percentile(sorted, share) {
  return sorted[Math.max(1, Math.ceil(share * sorted.length)) - 1];
}

// Plays for seconds (turning, firing four times a second) and returns the
// frame times between the page's shown frames.
async function play(page, seconds) {
  await page.evaluate("Module.frameTimes = []");
  await page.keyDown(VK_LEFT);
  const until = Date.now() + seconds * 1000;
  while (Date.now() < until)
    await page.pressKey(VK_SPACE, 40), await sleep(210);
  await page.keyUp(VK_LEFT);
  const times = await page.evaluate("Module.frameTimes");
  const frames = [];
  for (let i = 1; i < times.length; ++i)
    frames.push(times[i] - times[i - 1]);
  return frames;
}

// F3 or F2, pressed until the game's log line says it took.
async function switchPace(page, vk, on) {
  const line = `log: DEBUG: SetVSyncState(${on})`;
  for (let attempt = 0; attempt < 20; ++attempt) {
    const before = page.console.length;
    await page.pressKey(vk);
    await sleep(200);
    if (page.console.slice(before).includes(line))
      return;
  }
  throw new Error(`no "${line}" after pressing the key`);
}

function report(name, frames, seconds) {
  const sorted = [...frames].sort((a, b) => a - b);
  const line = (figure, value) => console.log(`${name}_${figure} ${value}`);
  line("frames", frames.length);
  line("fps", (frames.length / seconds).toFixed(1));
  line("median_ms", percentile(sorted, 0.5).toFixed(3));
  line("p99_ms", percentile(sorted, 0.99).toFixed(3));
  line("worst_ms", sorted[sorted.length - 1].toFixed(3));
}

(async () => {
  const [folder, secondsText] = process.argv.slice(2);
  const seconds = Number(secondsText || 10);
  const site = await servePage(folder);
  const browser = await startChromium();
  try {
    const page = await browser.openPage(site.url + "index.html");
    await page.waitFor(`typeof Module === "object" && Module.calledRun`, 30000);
    await switchPace(page, VK_F3, "true");
    report("raf", await play(page, seconds), seconds);
    await switchPace(page, VK_F2, "false");
    report("free", await play(page, seconds), seconds);
    if (page.errors.length)
      throw new Error(page.errors.join("; "));
  } finally {
    await browser.close();
    site.close();
  }
})().catch(error => {
  console.error(error.stack);
  process.exitCode = 1;
});
