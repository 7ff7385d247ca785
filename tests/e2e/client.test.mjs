// The official client against the server: a session through the four tools
// against the simulator, and an app that dies or moves. (Connecting as a
// desktop client does: the README's test.)
import assert from "node:assert/strict";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { connect, errorOf, startSimulator, statusOf } from "./support.mjs";

test("a whole recording, with its refusals, titles found by Unicode's rules", async () => {
  const folder = mkdtempSync(join(tmpdir(), "zindle-e2e-"));
  const sim = await startSimulator(["--verbose", "--source", "Main Camera:syphon:1920x1080@30",
    "--source", "\u00c9cran Principal:syphon:2560x1440@60", "--source", "STUDIO (Stage):ndi:1280x720@25:sound"]);
  const session = await connect({ env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } });
  try {
    const configured = statusOf(await session.call("recorder_configure", {
      sources: ["camera", "\u00e9cran"], layout: "column", gap: 4, codec: "HEVC", folder, name: "take",
    }));
    assert.deepEqual(configured.sources.map((s) => s.title), ["Main Camera", "\u00c9cran Principal"]);
    assert.deepEqual(sim.oscLog(), [...Array(8).fill('/source/1 ,s ""'), '/source/1 ,s "camera"',
      '/source/2 ,s "\u00e9cran"', '/source/3 ,s ""', '/codec ,s "HEVC"', '/layout ,s "column"',
      "/gap ,i 4", `/folder ,s "${folder}"`, '/name ,s "take"']);
    assert.equal(configured.settings.codec, "hevc");
    assert.deepEqual([configured.assembled.width, configured.assembled.height], [2560, 1080 + 4 + 1440]);

    const started = statusOf(await session.call("recorder_start", { sources: ["studio"], sound: "studio" }));
    assert.equal(started.state, "recording");
    assert.equal(started.settings.sound, "STUDIO (Stage)");
    assert.match(errorOf(await session.call("recorder_start")), /^A recording is already in progress\. Stop it first\.\n\{/);
    const stopped = statusOf(await session.call("recorder_stop"));
    assert.equal(stopped.state, "idle");
    assert.equal(stopped.sources[0].file, join(folder, "take STUDIO (Stage).mov"));
    assert.equal(stopped.assembled.file, join(folder, "take.mov"));
    assert.match(errorOf(await session.call("recorder_stop")), /^There is no recording in progress\.\n\{/);
    // The refusals sent nothing: one start, one stop.
    assert.deepEqual(sim.oscLog().filter((m) => m.startsWith("/record")), ["/record ,i 1", "/record ,i 0"]);
  } finally {
    await session.close();
    await sim.stop();
    rmSync(folder, { recursive: true, force: true });
  }
});

test("an app that dies during a stop ends it at once; one that moves is found again", async () => {
  const sim = await startSimulator(["--finish-seconds", "100"]);
  const session = await connect({ env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } });
  try {
    statusOf(await session.call("recorder_start", { source: "main" }));
    setTimeout(() => sim.kill(), 300);
    const began = Date.now();
    assert.match(errorOf(await session.call("recorder_stop")), /^ZindleRecorder is not running/);
    assert.ok(Date.now() - began < 5000);
    const moved = await startSimulator([], sim.queryPort + 5);
    assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
    await moved.stop();
  } finally {
    await session.close();
    await sim.stop();
  }
});
