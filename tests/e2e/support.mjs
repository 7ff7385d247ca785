// The official MCP client connected to the built server, started the way a
// user would, with the simulator (tests/support/processes.mjs) in the app's
// place; and the README these tests follow.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { after } from "node:test";

import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

import { serverPath, startSimulator } from "../support/processes.mjs";

export { serverPath, simPath, startSimulator } from "../support/processes.mjs";

// Whatever session a test left open is closed with its file.
const sessions = [];
after(() => Promise.all(sessions.map((close) => close())));

// Connects a client to a fresh server process, with `env` as its whole
// environment, as a desktop client starts it.
export async function connect({ command = serverPath, args = [], env = {} } = {}) {
  const transport = new StdioClientTransport({ command, args, env, stderr: "pipe" });
  let stderr = "";
  transport.stderr.on("data", (chunk) => (stderr += chunk));
  const client = new Client({ name: "zindle-e2e", version: "1.0.0" });
  await client.connect(transport);
  sessions.push(() => client.close());
  const call = (name, args = {}) => client.callTool({ name, arguments: args });
  return { client, call, stderr: () => stderr, close: () => client.close() };
}

// The simulator started with `args`, and a session with a server that finds
// it.
export async function inSession(args = []) {
  const sim = await startSimulator(args);
  return { sim, call: (await connect({ env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } })).call };
}

// The status dictionary of a successful tool result; the text of a failed
// one.
export const statusOf = ({ isError, content }) => JSON.parse(isError ? assert.fail(content[0].text) : content[0].text);
export const errorOf = ({ isError, content }) => (isError ? content[0].text : assert.fail("the tool did not fail"));

// The README's text, and every shell line of it that starts with `start`
// (continuations joined).
export const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");
export const readmeLines = (start) => [...readme.matchAll(/```sh\n([\s\S]*?)```/g)]
  .flatMap((match) => match[1].replace(/\\\n\s*/g, "").split("\n"))
  .map((text) => text.trim()).filter((text) => text.startsWith(start));
