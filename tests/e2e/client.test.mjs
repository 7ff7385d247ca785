// The official client against the server and the simulator: a recording
// through the four tools, and an app that dies or moves. Which messages a
// call sends, and the refusals of a start or stop that send none, are the
// unit tests' (tests/operations); here, that the simulator takes them as the
// app does. (Connecting as a desktop client does: the README's test.)
import assert from "node:assert/strict";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { errorOf, inSession, startSimulator, statusOf } from "./support.mjs";

test("a whole recording, titles found by Unicode's rules", async (t) => {
  const folder = mkdtempSync(join(tmpdir(), "zindle-e2e-"));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  const { call } = await inSession(["Main Camera:syphon:1920x1080@30", "\u00c9cran Principal:syphon:2560x1440@60",
    "STUDIO (Stage):ndi:1280x720@25:sound"].flatMap((source) => ["--source", source]));
  const configured = statusOf(await call("recorder_configure",
    { sources: ["camera", "\u00e9cran"], layout: "column", gap: 4, codec: "HEVC", folder, name: "take" }));
  assert.deepEqual(configured.sources.map((s) => s.title), ["Main Camera", "\u00c9cran Principal"]);
  assert.deepEqual([configured.settings.codec, configured.assembled.width, configured.assembled.height],
    ["hevc", 2560, 1080 + 4 + 1440]);
  const started = statusOf(await call("recorder_start", { sources: ["studio"], sound: "studio" }));
  assert.deepEqual([started.state, started.settings.sound], ["recording", "STUDIO (Stage)"]);
  const stopped = statusOf(await call("recorder_stop"));
  assert.deepEqual([stopped.state, stopped.sources[0].file, stopped.assembled.file],
    ["idle", join(folder, "take STUDIO (Stage).mov"), join(folder, "take.mov")]);
});

test("an app that dies during a stop ends it at once; one that moves is found again", async () => {
  const { call, sim } = await inSession(["--finish-seconds", "100"]);
  statusOf(await call("recorder_start", { source: "main" }));
  setTimeout(() => sim.kill(), 300);
  const began = Date.now();
  assert.match(errorOf(await call("recorder_stop")), /^ZindleRecorder is not running/);
  assert.ok(Date.now() - began < 5000);
  await startSimulator([], sim.queryPort + 5);
  assert.equal(statusOf(await call("recorder_status")).state, "idle");
});
