// The programs the Node tests drive, each a child process with pipes on its
// standard streams that speaks in lines: the server as a client starts it,
// the simulator, a client's CLI. Beside them, fake apps on loopback and a
// process's memory as the system counts it.
import { execFileSync, spawn } from "node:child_process";
import { once } from "node:events";
import { readFileSync } from "node:fs";
import { createServer } from "node:http";
import { createInterface } from "node:readline";
import { after } from "node:test";

// Whatever a failed test left running is ended with its file.
const running = [];
after(() => running.forEach((end) => end()));

export const serverPath = process.env.ZINDLE_SERVER;
export const simPath = process.env.ZINDLE_SIM;
export const ping = '{"jsonrpc":"2.0","id":1,"method":"ping"}\n';
export const hostInfo = JSON.stringify({ NAME: "ZindleRecorder", OSC_PORT: 9000 });

// `command` started with `options`: lines of its standard output come from
// `nextLine()` (undefined at its end).
export function startProcess(command, args, options) {
  const child = spawn(command, args, options);
  running.push(() => child.kill("SIGKILL"));
  // A program that ends before reading all its input closes the pipe under
  // writes still queued: what it did not read is for the test to judge.
  child.stdin.on("error", () => {});
  let stderr = "";
  child.stderr.on("data", (chunk) => (stderr += chunk));
  const lines = createInterface({ input: child.stdout })[Symbol.asyncIterator]();
  return {
    child,
    write: (text) => child.stdin.write(text),
    end: () => child.stdin.end(),
    nextLine: async () => (await lines.next()).value,
    exited: once(child, "exit").then(([code, signal]) => code ?? signal),
    stderr: () => stderr,
  };
}

// A JSON-RPC request to `program`: the answer with its id (other lines are
// notifications), and that answer's line.
export async function request(program, method, params, id = 1) {
  program.write(`${JSON.stringify({ jsonrpc: "2.0", id, method, params })}\n`);
  for (let line; (line = await program.nextLine()) !== undefined;) {
    const answer = JSON.parse(line);
    if (answer.id === id) return { ...answer, line };
  }
  throw new Error(`no answer to ${method}`);
}

// The server with `env` added to this process's environment; freed memory
// is not held back under AddressSanitizer, so that what is measured is what
// the server keeps. `nonBlocking` hands its input and output over in
// non-blocking mode (Node's spawn makes them blocking, so perl sets the flag
// and runs the server), `redirect` is a shell redirection applied before it
// starts (">&-" closes descriptor 1), and `measured` runs it under time(1)
// where /proc cannot tell its peak memory (macOS).
export function startServer({ env = {}, nonBlocking = false, redirect = "", measured = false } = {}) {
  let command = [serverPath];
  if (measured && process.platform === "darwin") command = ["/usr/bin/time", "-l", ...command];
  const flagged = "fcntl($_, F_SETFL, fcntl($_, F_GETFL, 0) | O_NONBLOCK) for *STDIN, *STDOUT; exec @ARGV or die";
  if (nonBlocking) command = ["perl", "-MFcntl", "-e", flagged, ...command];
  if (redirect) command = ["/bin/sh", "-c", `exec "$@" ${redirect}`, "sh", ...command];
  const asan = `${process.env.ASAN_OPTIONS ?? ""}:quarantine_size_mb=0`;
  return startProcess(command[0], command.slice(1), { env: { ...process.env, ASAN_OPTIONS: asan, ...env } });
}

// The simulator on free ports (or `port`), once it listens. With --verbose
// it logs each OSC message it takes: `oscLog()`; with --view, its window is
// at `viewUrl`.
export async function startSimulator(args = [], port = 0) {
  const sim = startProcess(simPath, ["--port", String(port), ...args]);
  const line = await sim.nextLine();
  return {
    queryPort: Number(/query port (\d+)/.exec(line)[1]),
    viewUrl: /view (\S+)/.exec(line)?.[1],
    oscLog: () => sim.stderr().split("\n").filter((l) => l.startsWith("osc ")).map((l) => l.slice(4)),
    kill: () => sim.child.kill("SIGKILL"),
    // Once it has ended, the signal is sent to nobody. Its exit status.
    stop: async () => { sim.child.kill("SIGTERM"); return sim.exited; },
  };
}

// The memory of a running program in kilobytes: resident now (ps, on Linux
// and macOS alike).
export const residentOf = (program) => Number(execFileSync("ps", ["-o", "rss=", "-p", String(program.child.pid)]));

// The peak memory in kilobytes of a server started `measured`, as it ends:
// /proc before the end on Linux, time(1)'s report after it on macOS.
export async function peakOf(server) {
  const status = process.platform === "linux" && readFileSync(`/proc/${server.child.pid}/status`, "utf8");
  server.end();
  // Its standard error is drained only at "close": "exit" may come first.
  await once(server.child, "close");
  return status ? Number(/VmHWM:\s+(\d+)/.exec(status)[1])
    : Number(/(\d+)\s+maximum resident set size/.exec(server.stderr())[1]) / 1024;
}

// A fake app on `port` (0: a free one), answering every request through
// `handle(request, response)`; `requests` holds each one's method, path and
// headers, and `connections` counts the connections it accepted.
export async function startFakeApp(handle, port = 0) {
  const requests = [];
  const server = createServer((request, response) => {
    requests.push({ line: `${request.method} ${request.url}`, headers: request.headers });
    handle(request, response);
  });
  let connections = 0;
  server.on("connection", () => connections++);
  await once(server.listen(port, "127.0.0.1"), "listening");
  const close = () => { server.closeAllConnections(); server.close(); };
  running.push(close);
  return { port: server.address().port, requests, connections: () => connections, close };
}

// Sixteen consecutive free ports from the returned one, so that no other
// test's app is found among them.
export async function freePortRange() {
  const listening = (port) => new Promise((resolve) => {
    const server = createServer().listen(port, "127.0.0.1");
    server.once("listening", () => resolve(server)).once("error", () => resolve(null));
  });
  const taken = [await listening(0)];
  const first = taken[0].address().port;
  while (taken.length < 16 && taken.at(-1) && first <= 65520) taken.push(await listening(first + taken.length));
  taken.forEach((server) => server?.close());
  return taken.length === 16 && taken.at(-1) ? first : freePortRange();
}
