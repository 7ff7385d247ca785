// Follows the README's client set-up to the letter: the mcpServers entry it
// shows, started the way a client starts it, against the simulator.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";

import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

import { serverPath, startSimulator, statusOf } from "./support.mjs";

function readmeEntry() {
  const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");
  const block = [...readme.matchAll(/```json\n([\s\S]*?)```/g)]
    .map((match) => match[1])
    .find((text) => text.includes('"mcpServers"'));
  assert.ok(block, "the README shows an mcpServers entry");
  const servers = JSON.parse(block).mcpServers;
  assert.deepEqual(Object.keys(servers), ["zindle-recorder"]);
  return servers["zindle-recorder"];
}

test("the README's mcpServers entry works with the official client", async () => {
  const entry = readmeEntry();
  assert.equal(entry.command, "/usr/local/bin/zindle_recorder_mcp");
  assert.deepEqual(entry.args, []);
  assert.deepEqual(Object.keys(entry.env), ["ZINDLE_OSCQUERY_PORT"]);

  const sim = await startSimulator();
  // The installed path and the app's port are the two things that differ
  // here: the program as built, and the simulator's free port.
  const transport = new StdioClientTransport({
    command: serverPath,
    args: entry.args,
    env: { ...entry.env, ZINDLE_OSCQUERY_PORT: String(sim.queryPort) },
    stderr: "pipe",
  });
  let stderr = "";
  transport.stderr.on("data", (chunk) => (stderr += chunk));
  const client = new Client({ name: "readme", version: "1.0.0" });
  try {
    await client.connect(transport);
    const status = statusOf(await client.callTool({ name: "recorder_status", arguments: {} }));
    assert.equal(status.state, "idle");
  } finally {
    await client.close();
    await sim.stop();
  }
  assert.equal(stderr, "");
});
