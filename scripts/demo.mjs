#!/usr/bin/env node
// A whole recording session: the simulator stands in for the app, and the
// server is driven over its standard input and output exactly as an MCP
// client drives it; the simulator's window shows it in a browser.
// Usage: demo.mjs <build dir> [--full] [--watch]
// --watch waits a moment before each tool call, so a person can follow.
import { spawn } from "node:child_process";
import { once } from "node:events";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createInterface } from "node:readline";

const buildDir = process.argv[2] ?? "build/release";
const full = process.argv.includes("--full");
const watch = process.argv.includes("--watch");
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const watchPause = 3000;
const server = join(buildDir, "zindle_recorder_mcp");
const simulator = join(buildDir, "sim", "zindle_recorder_sim");

const bold = (text) => (process.stdout.isTTY ? `\x1b[1m${text}\x1b[0m` : text);
const dim = (text) => (process.stdout.isTTY ? `\x1b[2m${text}\x1b[0m` : text);

const children = [];
const folder = mkdtempSync(join(tmpdir(), "zindle-demo-"));
function cleanUp() {
  for (const child of children) if (child.exitCode === null) child.kill("SIGTERM");
  rmSync(folder, { recursive: true, force: true });
}
process.on("exit", cleanUp);
for (const signal of ["SIGINT", "SIGTERM"]) {
  process.on(signal, () => process.exit(130));
}

function start(command, args, env) {
  const child = spawn(command, args, { stdio: ["pipe", "pipe", "inherit"], env });
  children.push(child);
  child.on("error", (error) => {
    console.error(`cannot start ${command}: ${error.message}`);
    process.exit(1);
  });
  return { child, lines: createInterface({ input: child.stdout })[Symbol.asyncIterator]() };
}

async function nextLine(lines, what) {
  const { value, done } = await lines.next();
  if (done) throw new Error(`${what} ended unexpectedly`);
  return value;
}

// The simulator announces its ports and its window on its first line.
const sim = start(simulator, ["--port", "0", "--view", "0"], process.env);
const ready = /query port (\d+), osc port (\d+), view (\S+)/.exec(await nextLine(sim.lines, "the simulator"));
const queryPort = Number(ready[1]);
console.log(bold("Watch it in a browser: ") + ready[3] +
  dim(watch ? `  (a pause of ${watchPause / 1000} s before each step; the page ends with the demo)`
    : "  (the page ends with the demo, in a few seconds: make demo WATCH=1 to follow it)"));
console.log(bold("ZindleRecorder simulator") + ` on http://127.0.0.1:${queryPort}/ (OSC on UDP ${ready[2]})`);
console.log(bold("zindle_recorder_mcp") + ` started with ZINDLE_OSCQUERY_PORT=${queryPort}\n`);

const mcp = start(server, [], { ...process.env, ZINDLE_OSCQUERY_PORT: String(queryPort) });
let nextId = 1;

async function call(method, params, summarise) {
  const request = { jsonrpc: "2.0", id: nextId++, method, ...(params && { params }) };
  const line = JSON.stringify(request);
  console.log(bold("→ ") + (line.length > 160 && !full ? line.slice(0, 157) + "..." : line));
  const started = process.hrtime.bigint();
  mcp.child.stdin.write(line + "\n");
  const answer = JSON.parse(await nextLine(mcp.lines, "the server"));
  const ms = Number(process.hrtime.bigint() - started) / 1e6;
  console.log(bold("← ") + summarise(answer) + dim(`  (${ms.toFixed(1)} ms)`));
  if (full) console.log(dim(JSON.stringify(answer, null, 2)));
  console.log();
  return answer;
}

async function tool(name, args = {}) {
  if (watch) await pause(watchPause);
  return call("tools/call", { name, arguments: args }, (answer) => {
    const { isError, content } = answer.result;
    const text = content[0].text;
    if (isError) return `error: ${text.split("\n")[0]}`;
    return describe(JSON.parse(text));
  });
}

function describe(status) {
  const chosen = status.sources.map((s) => `${s.place}. ${s.title} (${s.kind}, ${s.width}x${s.height})`);
  const lines = [
    `state ${status.state}` + (status.state === "idle" ? "" : `, ${Number(status.elapsed).toFixed(1)} s`),
    `sources: ${chosen.length ? chosen.join("; ") : "none chosen"}`,
    `available: ${status.sourcesAvailable.map((s) => `${s.title} (${s.kind})`).join(", ")}`,
    `settings: ${status.settings.codec}, ${status.settings.output}, ${status.settings.layout}, gap ${status.settings.gap}`,
    `assembled: ${status.assembled.width}x${status.assembled.height}` +
      (status.assembled.file ? `, ${status.assembled.file} (${status.assembled.frames} frames)` : ""),
  ];
  for (const source of status.sources) {
    if (source.file) lines.push(`movie ${source.place}: ${source.file} (${source.frames} frames)`);
  }
  if (status.error) lines.push(`last error: ${status.error}`);
  return lines.join("\n  ");
}

try {
  await call("initialize", { protocolVersion: "2025-06-18", capabilities: {}, clientInfo: { name: "demo", version: "1" } },
    (a) => `${a.result.serverInfo.name} ${a.result.serverInfo.version}, protocol ${a.result.protocolVersion}`);
  await call("tools/list", undefined, (a) => `tools: ${a.result.tools.map((t) => t.name).join(", ")}`);
  await call("ping", undefined, (a) => `pong ${JSON.stringify(a.result)}`);
  await tool("recorder_status");
  await tool("recorder_configure", {
    sources: ["camera", "screen"], layout: "row", gap: 8, codec: "hevc", output: "both", folder, name: "demo",
  });
  await tool("recorder_start");
  await pause(watch ? 2 * watchPause : 1500);
  await tool("recorder_status");
  await tool("recorder_stop");
  await tool("recorder_stop");
  console.log(full ? "" : dim("make demo FULL=1 shows every answer in full."));
  if (watch) await pause(watchPause);
  mcp.child.stdin.end();
  await once(mcp.child, "exit");
} catch (error) {
  console.error(`demo failed: ${error.message}`);
  process.exitCode = 1;
}
// The simulator would keep running: the exit handler stops it.
process.exit();
