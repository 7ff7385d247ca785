// A problem report made reproducible, as the README tells it: the user's app
// saved with its two curl lines, then served by the simulator in its place,
// so that the server reads here what the user's server read.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { inSession, readmeLines, statusOf } from "./support.mjs";

test("a saved app, served by the simulator, reads as the user's app", async (t) => {
  const folder = mkdtempSync(join(tmpdir(), "zindle-report-"));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  const saved = (name) => join(folder, name);
  // The README's two lines, against the app's port; then the state the
  // user's app was in, which no simulator run of its own would show.
  const original = await inSession();
  const saves = readmeLines("curl");
  assert.equal(saves.length, 2);
  saves.forEach((line) => execFileSync("sh", ["-c", line.replaceAll("9231", String(original.sim.queryPort))],
    { cwd: folder }));
  const before = statusOf(await original.call("recorder_status"));
  await original.sim.stop();
  const tree = JSON.parse(readFileSync(saved("namespace.json"), "utf8"));
  tree.CONTENTS.codec.VALUE = ["prores4444"];
  tree.CONTENTS.status.CONTENTS.error.VALUE = ["The disk is full."];
  writeFileSync(saved("namespace.json"), JSON.stringify(tree));

  // The README's replay line, its files where they were saved.
  const [program, ...args] = readmeLines("zindle_recorder_sim")[0].split(/\s+/);
  assert.equal(program, "zindle_recorder_sim");
  const { call, sim } = await inSession([...args.map((word) => (word.endsWith(".json") ? saved(word) : word)),
    "--verbose"]);
  const expected = { ...before, error: "The disk is full.", settings: { ...before.settings, codec: "prores4444" } };
  assert.deepEqual(statusOf(await call("recorder_status")), expected);
  const node = await (await fetch(`http://127.0.0.1:${sim.queryPort}/status/error?VALUE`)).json();
  assert.deepEqual(node, { VALUE: ["The disk is full."] });

  // A command reaches this simulator, not the port the user's app took it
  // on, and changes nothing it serves.
  await call("recorder_configure", { codec: "hevc" });
  assert.ok(sim.oscLog().some((message) => message.startsWith("/codec")), sim.oscLog().join("\n"));
  assert.deepEqual(statusOf(await call("recorder_status")), expected);
});
