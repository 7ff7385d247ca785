// A problem report made reproducible, as the README tells it: the user's app
// saved with its two curl lines, then served by the simulator in its place,
// so that the server reads here what the user's server read.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { promisify } from "node:util";

import { connect, startSimulator, statusOf } from "./support.mjs";

const run = promisify(execFile);
const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");
const section = readme.slice(readme.indexOf("## Reporting a problem"));
const shellLines = (start) => [...section.matchAll(/```sh\n([\s\S]*?)```/g)]
  .flatMap((match) => match[1].split("\n")).map((line) => line.trim())
  .filter((line) => line.startsWith(start));

const statusAt = async (port) => {
  const session = await connect({ env: { ZINDLE_OSCQUERY_PORT: String(port) } });
  try {
    return statusOf(await session.call("recorder_status"));
  } finally {
    await session.close();
  }
};

test("a saved app, served by the simulator, reads as the user's app", async () => {
  const folder = mkdtempSync(join(tmpdir(), "zindle-report-"));
  const saved = (name) => join(folder, name);
  const original = await startSimulator();
  let replay;
  try {
    // The README's two lines, against the app's port; then the state the
    // user's app was in, which no simulator run of its own would show.
    const saves = shellLines("curl");
    assert.equal(saves.length, 2);
    for (const line of saves) {
      await run("sh", ["-c", line.replaceAll("9231", String(original.queryPort))], { cwd: folder });
    }
    const before = await statusAt(original.queryPort);
    await original.stop();
    const tree = JSON.parse(readFileSync(saved("namespace.json"), "utf8"));
    tree.CONTENTS.codec.VALUE = ["prores4444"];
    tree.CONTENTS.status.CONTENTS.error.VALUE = ["The disk is full."];
    writeFileSync(saved("namespace.json"), JSON.stringify(tree));

    // The README's replay line, its files where they were saved.
    const [program, ...args] = shellLines("zindle_recorder_sim")[0].split(/\s+/);
    assert.equal(program, "zindle_recorder_sim");
    replay = await startSimulator([...args.map((word) => (word.endsWith(".json") ? saved(word) : word)),
      "--verbose"]);

    const after = await statusAt(replay.queryPort);
    assert.deepEqual(after, { ...before, error: "The disk is full.",
      settings: { ...before.settings, codec: "prores4444" } });

    // A node of its own, from the saved tree.
    const node = await (await fetch(`http://127.0.0.1:${replay.queryPort}/status/error?VALUE`)).json();
    assert.deepEqual(node, { VALUE: ["The disk is full."] });

    // Commands reach this simulator, not the port the user's app took them
    // on, and change nothing it serves.
    const session = await connect({ env: { ZINDLE_OSCQUERY_PORT: String(replay.queryPort) } });
    try {
      await session.call("recorder_configure", { codec: "hevc" });
    } finally {
      await session.close();
    }
    assert.ok(replay.oscLog().some((message) => message.startsWith("/codec")), replay.oscLog().join("\n"));
    assert.equal((await statusAt(replay.queryPort)).settings.codec, "prores4444");
  } finally {
    await original.stop();
    await replay?.stop();
    rmSync(folder, { recursive: true, force: true });
  }
});
