// The page's pictures against Mesa's: replayed frames drawn in the browser
// by the game's own OpenGL over WebGL must look like the same frames drawn
// by Mesa natively (quarvel-sim --draw --png).
//   node tests/web/picture_test.js build-web/site build/tools/quarvel-sim [OUT_DIR]
//
// The measure, per frame: at least 99.99 % of the pixels within 3 levels
// (of 255) in every channel, and the score's glyphs the same pixels: the
// page's glyphs are baked at build time from the same face and the same
// FreeType code as the Linux game's. What may differ: single pixels along
// the edges of triangles and of round points, where two rasterisers round
// differently, and where two faces of a rock nearly meet in depth (Mesa's
// depth buffer has 16 bits here, WebGL's 24). Measured on Debian 12's
// chromium: 99.996 to 99.999 %, about 20 pixels of 480,000 at most. Stars
// drawn one pixel wide instead of Mesa's smooth points of at least two
// come to 99.96 %, a light without its quadratic attenuation to 96.9 %.

"use strict";
const assert = require("assert/strict");
const fs = require("fs");
const os = require("os");
const path = require("path");
const zlib = require("zlib");
const {execFileSync} = require("child_process");
const {servePage, startChromium} = require("./chromium.js");

// The start of a game; bullets in flight; a rock just shot apart by the
// shield: debris, an explosion light, the translucent sphere, score 20.
const replays = [
  {seed: 1, frames: 100, randomKeys: 0},
  {seed: 7, frames: 134, randomKeys: 0.3},
  {seed: 7, frames: 440, randomKeys: 0.3},
];
const withinLevels = 3;
const leastShareWithin = 0.9999;
// The score's corner: "Score: N" at (3, 3) of the 640 x 480 overlay.
const scoreBox = {x: 0, y: 540, width: 240, height: 60};

// An 8-bit RGB or RGBA PNG, not interlaced, as {width, height, rgb}.
function decodePng(file) {
  assert.equal(file.subarray(1, 4).toString("latin1"), "PNG", "a PNG file");
  let at = 8, width = 0, height = 0, channels = 0;
  const data = [];
  while (at < file.length) {
    const length = file.readUInt32BE(at);
    const type = file.subarray(at + 4, at + 8).toString("latin1");
    const body = file.subarray(at + 8, at + 8 + length);
    if (type === "IHDR") {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      assert.equal(body[8], 8, "8 bits a channel");
      assert.equal(body[12], 0, "not interlaced");
      channels = {2: 3, 6: 4}[body[9]];
      assert.ok(channels, `colour type ${body[9]} is RGB or RGBA`);
    } else if (type === "IDAT") {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? rows[y * stride + x - channels] : 0;
      const b = y > 0 ? rows[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? rows[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c;
      const predictor = [0, a, b, (a + b) >> 1,
        Math.abs(p - a) <= Math.abs(p - b) && Math.abs(p - a) <= Math.abs(p - c) ? a
          : Math.abs(p - b) <= Math.abs(p - c) ? b : c][filter];
      rows[y * stride + x] = (line[x] + predictor) & 255;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; ++i)
    rows.copy(rgb, i * 3, i * channels, i * channels + 3);
  return {width, height, rgb};
}

function compare(web, mesa) {
  assert.equal(web.width, mesa.width, "the same width");
  assert.equal(web.height, mesa.height, "the same height");
  let within = 0, worst = 0, glyphsBoth = 0;
  const glyphsOnlyWeb = [], glyphsOnlyMesa = [];
  for (let i = 0; i < web.width * web.height; ++i) {
    const o = i * 3;
    const difference = Math.max(Math.abs(web.rgb[o] - mesa.rgb[o]), Math.abs(web.rgb[o + 1] - mesa.rgb[o + 1]),
                                Math.abs(web.rgb[o + 2] - mesa.rgb[o + 2]));
    if (difference <= withinLevels)
      ++within;
    worst = Math.max(worst, difference);
    const x = i % web.width, y = Math.floor(i / web.width);
    if (x >= scoreBox.x && x < scoreBox.x + scoreBox.width && y >= scoreBox.y && y < scoreBox.y + scoreBox.height) {
      const white = picture => picture.rgb[o] === 255 && picture.rgb[o + 1] === 255 && picture.rgb[o + 2] === 255;
      if (white(web) && !white(mesa))
        glyphsOnlyWeb.push([x, y]);
      if (white(mesa) && !white(web))
        glyphsOnlyMesa.push([x, y]);
      if (white(web) && white(mesa))
        ++glyphsBoth;
    }
  }
  return {share: within / (web.width * web.height), worst, glyphsBoth, glyphsOnlyWeb, glyphsOnlyMesa};
}

async function main() {
  const [site, sim, given] = process.argv.slice(2);
  assert.ok(site && sim, "usage: picture_test.js SITE_DIR NATIVE_QUARVEL_SIM [OUT_DIR]");
  assert.ok(fs.existsSync(sim), `no quarvel-sim at ${sim}: the Linux build draws Mesa's pictures (make build)`);
  // The pictures stay where they were asked for, or where a failure is.
  const outDir = given || fs.mkdtempSync(path.join(os.tmpdir(), "quarvel-pictures-"));
  const server = await servePage(site);
  const browser = await startChromium();
  let failures = 0;
  try {
    for (const {seed, frames, randomKeys} of replays) {
      const name = `seed ${seed}, frame ${frames}, random keys ${randomKeys}`;
      const mesaFile = path.join(outDir, `mesa-${seed}-${frames}.png`);
      const webFile = path.join(outDir, `web-${seed}-${frames}.png`);
      execFileSync(sim, ["--seed", `${seed}`, "--frames", `${frames}`, "--random-keys", `${randomKeys}`,
                         "--draw", "--png", mesaFile], {stdio: ["ignore", "ignore", "pipe"]});

      const page = await browser.openPage(`${server.url}index.html?seed=${seed}&frames=${frames}&random-keys=${randomKeys}`);
      await page.waitFor(`document.title === "Quarvel: frame ${frames}"`, 120000);
      const dataUrl = await page.evaluate(`document.getElementById("canvas").toDataURL("image/png")`);
      fs.writeFileSync(webFile, Buffer.from(dataUrl.slice(dataUrl.indexOf(",") + 1), "base64"));
      const refusals = page.console.filter(line => line.includes("Quarvel WebGL:"));
      await page.send("Page.close").catch(() => {});

      const result = compare(decodePng(fs.readFileSync(webFile)), decodePng(fs.readFileSync(mesaFile)));
      console.log(`${name}: ${(100 * result.share).toFixed(3)} % of pixels within ${withinLevels} levels ` +
                  `(largest difference ${result.worst}); score glyph pixels in both ${result.glyphsBoth}, only in the page ` +
                  `${result.glyphsOnlyWeb.length}, only in Mesa's ${result.glyphsOnlyMesa.length}`);
      const problems = [];
      if (page.errors.length)
        problems.push(`errors in the page: ${page.errors.join("; ")}`);
      if (refusals.length)
        problems.push(`the game called what the page's OpenGL refuses: ${refusals.join("; ")}`);
      if (result.share < leastShareWithin)
        problems.push(`only ${(100 * result.share).toFixed(3)} % of pixels within ${withinLevels} levels`);
      // "Score: 0" alone is some 200 white pixels: none means no text at all.
      if (result.glyphsBoth < 100)
        problems.push(`the score is missing: ${result.glyphsBoth} white pixels in both pictures' corner`);
      if (result.glyphsOnlyWeb.length || result.glyphsOnlyMesa.length)
        problems.push(`the score's glyphs differ, e.g. at ${JSON.stringify((result.glyphsOnlyWeb.length ? result.glyphsOnlyWeb : result.glyphsOnlyMesa)[0])}`);
      for (const problem of problems)
        console.log(`FAIL ${name}: ${problem} (pictures: ${webFile}, ${mesaFile})`);
      failures += problems.length;
    }
  } finally {
    await browser.close();
    server.close();
  }
  if (failures)
    process.exit(1);
  if (!given)
    fs.rmSync(outDir, {recursive: true, force: true});
}

main().catch(error => {
  console.log(`FAIL: ${error.stack || error}`);
  process.exit(1);
});
