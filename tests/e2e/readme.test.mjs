// Follows the README to the letter: the mcpServers entry of a desktop app
// (and Cursor) and the servers entry of VS Code, each started as such a
// client starts it, the Inspector's command line and the version check, all
// against the simulator; and the simulator's manual page against its --help.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import { promisify } from "node:util";

import { connect, serverPath, simPath, startSimulator, statusOf } from "./support.mjs";

const run = promisify(execFile);
const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");

// The README's first shell line that starts with `start`, continuations
// joined.
const readmeLine = (start) => [...readme.matchAll(/```sh\n([\s\S]*?)```/g)]
  .flatMap((match) => match[1].replace(/\\\n\s*/g, "").split("\n"))
  .map((text) => text.trim()).find((text) => text.startsWith(start)) ?? assert.fail(start);

// The zindle-recorder entry under `key` in the README's JSON blocks.
const readmeEntry = (key) => JSON.parse([...readme.matchAll(/```json\n([\s\S]*?)```/g)]
  .map((match) => match[1]).find((text) => text.includes(`"${key}"`)) ?? assert.fail(key))[key]["zindle-recorder"];

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
      assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
    } finally {
      await session.close();
      await sim.stop();
    }
  });
}

test("the README's Inspector command line reads the simulator", async () => {
  // The README's port may be taken here: a free one stands in for it.
  const port = /--port (\d+)/.exec(readmeLine("build/release/sim/zindle_recorder_sim"))[1];
  const sim = await startSimulator();
  const [command, ...args] = readmeLine("npx @modelcontextprotocol/inspector --cli")
    .replaceAll(port, sim.queryPort).split(/\s+/)
    .map((word) => (word === "build/release/zindle_recorder_mcp" ? serverPath : word));
  // Installed with the tests: the registry is never asked.
  const { stdout } = await run(command, args, { env: { ...process.env, npm_config_offline: "true" } })
    .finally(() => sim.stop());
  assert.equal(statusOf(JSON.parse(stdout)).state, "idle");
});

test("the README's version check prints the version", async () => {
  const line = readmeLine("echo").replace("/usr/local/bin/zindle_recorder_mcp", serverPath);
  assert.deepEqual(JSON.parse((await run("sh", ["-c", line])).stdout).result.serverInfo,
    { name: "zindle-recorder", version: process.env.ZINDLE_VERSION });
});

test("the simulator's manual page names every option of its --help", async () => {
  const page = readFileSync(new URL("../../packaging/man/zindle_recorder_sim.1", import.meta.url), "utf8");
  for (const [, option] of (await run(simPath, ["--help"])).stdout.matchAll(/^ {2}(--[a-z-]+)/gm)) {
    assert.ok(page.includes(option.replaceAll("-", "\\-")), `${option} is in the manual page`);
  }
});
