// Follows the README's client set-up to the letter: the mcpServers entry of
// a desktop app (and Cursor) and the servers entry of VS Code, each started
// as such a client starts it, against the simulator.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";

import { connect, serverPath, startSimulator, statusOf } from "./support.mjs";

// The zindle-recorder entry under `key` in the README's JSON blocks.
function readmeEntry(key) {
  const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");
  const block = [...readme.matchAll(/```json\n([\s\S]*?)```/g)]
    .map((match) => match[1])
    .find((text) => text.includes(`"${key}"`));
  assert.ok(block, `the README shows a ${key} entry`);
  return JSON.parse(block)[key]["zindle-recorder"];
}

for (const [key, type] of [["mcpServers", undefined], ["servers", "stdio"]]) {
  test(`the README's ${key} entry works with the official client`, async () => {
    const entry = readmeEntry(key);
    assert.equal(entry.type, type);
    assert.equal(entry.command, "/usr/local/bin/zindle_recorder_mcp");
    assert.deepEqual(entry.args, []);
    assert.equal(entry.env, undefined);  // the app's own port needs none
    // The installed path and the app's port are what differ here: the
    // program as built, and the simulator's free port.
    const sim = await startSimulator();
    const session = await connect({ command: serverPath, args: entry.args,
      env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } });
    try {
      // The exact bytes are the golden file's; here, that the client takes them.
      assert.equal(session.client.getServerVersion().version, process.env.ZINDLE_VERSION);
      assert.deepEqual(await session.client.ping(), {});
      assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
    } finally {
      await session.close();
      await sim.stop();
    }
    assert.equal(session.stderr(), "");
  });
}
