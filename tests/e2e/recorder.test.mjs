import assert from "node:assert/strict";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";

import { connect, startSimulator, statusOf } from "./support.mjs";

let sim;
let session;
const folder = mkdtempSync(join(tmpdir(), "zindle-e2e-"));

before(async () => {
  sim = await startSimulator();
  session = await connect({ env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } });
});

after(async () => {
  await session?.close();
  await sim?.stop();
  rmSync(folder, { recursive: true, force: true });
  assert.equal(session.stderr(), "");
});

test("recorder_status returns the simulator's state", async () => {
  const status = statusOf(await session.client.callTool({ name: "recorder_status", arguments: {} }));
  assert.equal(status.state, "idle");
  assert.equal(status.version, "0.9");
  assert.equal(status.ndi, true);
  assert.deepEqual(status.sourcesAvailable, [
    { title: "Main Camera", kind: "syphon" },
    { title: "Screen", kind: "syphon" },
    { title: "STUDIO (Stage)", kind: "ndi" },
  ]);
  assert.deepEqual(Object.keys(status), [
    "assembled", "dropped", "elapsed", "error", "failure", "ndi", "settings",
    "soundLeftOut", "sources", "sourcesAvailable", "state", "version",
  ]);
});

test("a whole session through the four tools", async () => {
  const call = (name, args = {}) => session.client.callTool({ name, arguments: args });

  const configured = statusOf(await call("recorder_configure", {
    sources: ["camera", "studio"], layout: "column", gap: 4, codec: "HEVC", folder, name: "e2e",
  }));
  assert.deepEqual(configured.sources.map((s) => s.title), ["Main Camera", "STUDIO (Stage)"]);
  assert.equal(configured.settings.codec, "hevc");
  assert.equal(configured.assembled.width, 1920);
  assert.equal(configured.assembled.height, 1080 + 4 + 720);

  const started = statusOf(await call("recorder_start", { sound: "studio" }));
  assert.equal(started.state, "recording");
  assert.equal(started.settings.sound, "STUDIO (Stage)");
  assert.equal(started.assembled.file, join(folder, "e2e.mov"));

  const refused = await call("recorder_start");
  assert.equal(refused.isError, true);
  assert.match(refused.content[0].text, /^A recording is already in progress\. Stop it first\.\n\{/);

  await new Promise((resolve) => setTimeout(resolve, 300));
  const stopped = statusOf(await call("recorder_stop"));
  assert.equal(stopped.state, "idle");
  assert.ok(stopped.elapsed >= 0.3);
  assert.ok(stopped.sources[0].frames > 0);
  assert.equal(stopped.sources[1].file, join(folder, "e2e STUDIO (Stage).mov"));

  const idle = await call("recorder_stop");
  assert.equal(idle.isError, true);
  assert.match(idle.content[0].text, /^There is no recording in progress\.\n/);
});
