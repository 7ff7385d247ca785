// Starts the built server and the simulator the way a user would, and
// connects the official MCP client to the server.
import { spawn } from "node:child_process";
import { once } from "node:events";
import { createInterface } from "node:readline";

import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

export const serverPath = process.env.ZINDLE_SERVER;
export const simPath = process.env.ZINDLE_SIM;
if (!serverPath || !simPath) {
  throw new Error("set ZINDLE_SERVER and ZINDLE_SIM to the built programs");
}

// Starts the simulator on free ports and resolves once it is listening.
export async function startSimulator(args = []) {
  const child = spawn(simPath, ["--port", "0", ...args], {
    stdio: ["ignore", "pipe", "inherit"],
  });
  const lines = createInterface({ input: child.stdout });
  const [line] = await Promise.race([
    once(lines, "line"),
    once(child, "exit").then(() => {
      throw new Error("the simulator ended before it was ready");
    }),
  ]);
  const match = /query port (\d+), osc port (\d+)/.exec(line);
  if (!match) throw new Error(`unexpected first line: ${line}`);
  return {
    queryPort: Number(match[1]),
    oscPort: Number(match[2]),
    async stop() {
      if (child.exitCode === null) {
        child.kill("SIGTERM");
        await once(child, "exit");
      }
    },
  };
}

// Connects a client to a fresh server process. The server's standard error
// is collected: it must stay empty.
export async function connect({ command = serverPath, env = {} } = {}) {
  const transport = new StdioClientTransport({
    command,
    args: [],
    env: { PATH: process.env.PATH, ...env },
    stderr: "pipe",
  });
  let stderr = "";
  transport.stderr.on("data", (chunk) => (stderr += chunk));
  let negotiated;
  transport.setProtocolVersion = (version) => (negotiated = version);
  const client = new Client({ name: "zindle-e2e", version: "1.0.0" });
  await client.connect(transport);
  return {
    client,
    protocolVersion: () => negotiated,
    stderr: () => stderr,
    close: () => client.close(),
  };
}

// The status dictionary from a successful tool result.
export function statusOf(result) {
  if (result.isError) throw new Error(result.content[0].text);
  return JSON.parse(result.content[0].text);
}
