// Starts the built server and the simulator the way a user would, and
// connects the official MCP client to the server.
import { spawn } from "node:child_process";
import { once } from "node:events";
import { existsSync, readFileSync } from "node:fs";
import { createInterface } from "node:readline";

import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";

export const serverPath = process.env.ZINDLE_SERVER;
export const simPath = process.env.ZINDLE_SIM;

// Starts the simulator on free ports (or `port`) and resolves once it
// listens. With --verbose it logs each OSC message it takes: `oscLog()`;
// with --view, its window is at `viewUrl`.
export async function startSimulator(args = [], port = 0) {
  const child = spawn(simPath, ["--port", String(port), ...args], {
    stdio: ["ignore", "pipe", "pipe"],
  });
  let log = "";
  child.stderr.on("data", (chunk) => (log += chunk));
  const [line] = await once(createInterface({ input: child.stdout }), "line");
  const queryPort = Number(/query port (\d+)/.exec(line)[1]);
  return {
    queryPort,
    viewUrl: /view (\S+)/.exec(line)?.[1],
    oscLog: () => log.split("\n").filter((l) => l.startsWith("osc ")).map((l) => l.slice(4)),
    kill: () => child.kill("SIGKILL"),
    async stop() {
      if (child.exitCode === null && child.signalCode === null) {
        child.kill("SIGTERM");
        await once(child, "exit");
      }
    },
  };
}

// Connects a client to a fresh server process, with `env` as its whole
// environment, as a desktop client starts it. Its standard error must stay
// empty.
export async function connect({ command = serverPath, args = [], env = {} } = {}) {
  const transport = new StdioClientTransport({ command, args, env, stderr: "pipe" });
  let stderr = "";
  transport.stderr.on("data", (chunk) => (stderr += chunk));
  const client = new Client({ name: "zindle-e2e", version: "1.0.0" });
  await client.connect(transport);
  const call = (name, args = {}) => client.callTool({ name, arguments: args });
  return { client, call, stderr: () => stderr, close: () => client.close() };
}

// The status dictionary of a successful tool result; the text of a failed
// one.
export const statusOf = (result) => {
  if (result.isError) throw new Error(result.content[0].text);
  return JSON.parse(result.content[0].text);
};
export const errorOf = (result) => {
  if (!result.isError) throw new Error("the tool did not fail");
  return result.content[0].text;
};

// The README's text, and every shell line of it that starts with `start`
// (continuations joined).
export const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");
export const readmeLines = (start) => [...readme.matchAll(/```sh\n([\s\S]*?)```/g)]
  .flatMap((match) => match[1].replace(/\\\n\s*/g, "").split("\n"))
  .map((text) => text.trim()).filter((text) => text.startsWith(start));

// The command-line clients run under strace where there is one (on Linux,
// where the set-up installs it), every connect() of theirs and of their
// children added to `log`; the addresses in it past loopback.
export const tracer = ["/usr/bin/strace", "/bin/strace"].find(existsSync);
export const watched = (argv, log) => {
  if (tracer) return [tracer, ["-f", "-qq", "-e", "trace=connect", "-A", "-o", log, ...argv]];
  if (process.platform === "linux") throw new Error("strace is missing: run make setup");
  return [argv[0], argv.slice(1)];
};
export const pastLoopback = (log) => readFileSync(log, "utf8").split("\n")
  .flatMap((line) => [...line.matchAll(/inet_addr\("([^"]+)"\)|inet_pton\(AF_INET6, "([^"]+)"/g)])
  .map((match) => match[1] ?? match[2])
  .filter((address) => !/^127\./.test(address) && !/^(::1|::ffff:127\..*)$/.test(address));
