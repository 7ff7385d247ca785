// The simulator's window in a real browser: headless Chromium, driven by
// playwright-core (which uses the system's browser and never downloads one),
// watches the server drive the simulator through a configure, a start and a
// stop, and reads each step off the page. One screenshot a step goes to a
// temporary folder; ZINDLE_VIEW_SCREENSHOT=FILE also writes the recording's
// there (the README's picture).
import assert from "node:assert/strict";
import { existsSync, mkdtempSync, rmSync } from "node:fs";
import { homedir, tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { chromium } from "playwright-core";

import { connect, startSimulator, statusOf } from "./support.mjs";

const chrome = "Google Chrome.app/Contents/MacOS/Google Chrome";
const browsers = process.env.ZINDLE_BROWSER ? [process.env.ZINDLE_BROWSER]
  : process.platform === "darwin" ? [join("/Applications", chrome), join(homedir(), "Applications", chrome),
    "/Applications/Chromium.app/Contents/MacOS/Chromium"] : ["/usr/bin/chromium"];
// Chromium run as root, with no GPU, in a container's small /dev/shm, and kept from reaching
// for Google's hosts: the network of the tests is loopback only.
const flags = ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync"];

// Retries `check` until it passes, for up to 5 s; resolves to the ms it took.
async function eventually(check, began = Date.now()) {
  for (;; await new Promise((resolve) => setTimeout(resolve, 10))) {
    try { return await check(), Date.now() - began; } catch (failed) { if (Date.now() - began > 5000) throw failed; }
  }
}

test("the window shows each step of a session as the server drives the simulator", async (t) => {
  const executablePath = browsers.find((path) => existsSync(path));
  assert.ok(executablePath, `no browser at ${browsers.join(", ")}: run scripts/setup.sh or set ZINDLE_BROWSER`);
  const [folder, shots] = ["zindle-view-", "zindle-view-shots-"].map((name) => mkdtempSync(join(tmpdir(), name)));
  const sim = await startSimulator(["--verbose", "--view", "0"]);
  const session = await connect({ env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } });
  const browser = await chromium.launch({ executablePath, args: flags });
  try {
    const page = await browser.newPage({ viewport: { width: 1280, height: 800 }, colorScheme: "dark",
      reducedMotion: "reduce" });  // the recording light steady in the pictures
    await page.goto(sim.viewUrl);
    const text = (selector) => page.$$eval(selector, (nodes) => nodes.map((node) => node.textContent));
    const data = (selector, key) => page.$$eval(selector, (nodes, k) => nodes.map((node) => node.dataset[k]), key);
    // Each step: the page shows the state and every OSC message so far, newest first, as the log has them.
    const step = async (name, status, more) => {
      const delay = await eventually(async () => {
        assert.deepEqual(await data("#state", "state"), [status.state]);
        assert.deepEqual(await page.$$eval("#messages li[data-address]", (items) => items.map((item) =>
          [...item.querySelectorAll("code")].map((code) => code.textContent).join(" "))), sim.oscLog().reverse());
        await more?.();
      });
      t.diagnostic(`${name}: the page showed it ${delay} ms after the tool answered`);
      await page.screenshot({ path: join(shots, `${name}.png`) });
    };

    await step("configured", statusOf(await session.call("recorder_configure", { sources: ["camera", "screen"],
      layout: "row", gap: 200, codec: "hevc", sound: "computer", folder, name: "take" })), async () => {
      assert.deepEqual(await text(".source .place, .source .title"), ["1", "Main Camera", "2", "Screen"]);
      assert.deepEqual(await data("#others li", "title"), ["STUDIO (Stage)"]);
      assert.deepEqual(await text("#settings dd"), ["HEVC", "every frame", "automatic",
        "each source and assembled", "this computer", "off", folder, "take"]);
    });
    // Two boxes side by side, the gap between them, in a picture of 1920 + 200 + 2560 by 1440.
    const frame = await page.locator("#picture").boundingBox();
    const [camera, screen] = await Promise.all([0, 1].map((i) => page.locator(".source").nth(i).boundingBox()));
    assert.ok(Math.abs(frame.width / frame.height - 4680 / 1440) < 0.01);
    assert.ok(Math.abs(screen.x - camera.x - camera.width - (200 * frame.width) / 4680) < 1);
    assert.ok(Math.abs(camera.height / screen.height - 1080 / 1440) < 0.01 && camera.y > screen.y);

    await step("recording", statusOf(await session.call("recorder_start")), async () => {
      assert.deepEqual(await text("#movies .name"), ["take.mov", "take Main Camera.mov", "take Screen.mov"]);
      assert.notEqual((await text("#clock"))[0], "00:00:00.0");
    });
    if (process.env.ZINDLE_VIEW_SCREENSHOT) {  // a second and a half into the take
      await new Promise((resolve) => setTimeout(resolve, 1500));
      await page.screenshot({ path: process.env.ZINDLE_VIEW_SCREENSHOT });
    }

    await page.emulateMedia({ colorScheme: "light" });
    const stopped = statusOf(await session.call("recorder_stop"));
    await step("stopped", stopped, async () => {
      assert.deepEqual(await text("#movies td:nth-child(2)"),
        [stopped.assembled, ...stopped.sources].map((movie) => String(movie.frames)));
    });
    await session.call("recorder_configure", { folder: "/nonexistent" });
    await step("refused", { state: "idle" }, async () => assert.deepEqual(await text("#problem"),
      ['Error: folder must be an existing folder; "/nonexistent" is not one.']));
    await page.setViewportSize({ width: 400, height: 800 });
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth), "fits a narrow window");
    await page.screenshot({ path: join(shots, "narrow.png"), fullPage: true });
    t.diagnostic(`screenshots in ${shots}`);
  } finally {
    await browser.close();
    await session.close();
    await sim.stop();
    rmSync(folder, { recursive: true, force: true });
  }
});
