// The server binary as a client starts it, with its standard streams handed
// over in the ways a client may hand them; fake apps on loopback; and the
// server's memory as the system counts it.
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
export const ping = '{"jsonrpc":"2.0","id":1,"method":"ping"}\n';

// Starts the server with `env` added to this process's environment, with
// pipes on its standard streams. `nonBlocking` hands its input and output
// over in non-blocking mode (Node's spawn makes them blocking, so perl, on
// every Linux and Mac, sets the flag and runs the server), `redirect` is a
// shell redirection applied before it starts (">&-" closes descriptor 1),
// and `measured` runs it under the system's
// time(1) where /proc cannot tell its peak memory (macOS). Lines of standard
// output come from `nextLine()`.
export function startServer({ env = {}, nonBlocking = false, redirect = "", measured = false } = {}) {
  let command = [serverPath];
  if (measured && process.platform === "darwin") command = ["/usr/bin/time", "-l", ...command];
  if (nonBlocking) {
    command = ["perl", "-MFcntl", "-e",
      "fcntl($_, F_SETFL, fcntl($_, F_GETFL, 0) | O_NONBLOCK) for *STDIN, *STDOUT; exec @ARGV or die",
      ...command];
  }
  if (redirect) command = ["/bin/sh", "-c", `exec "$@" ${redirect}`, "sh", ...command];
  const child = spawn(command[0], command.slice(1), { env: { ...process.env, ...env } });
  running.push(() => child.kill("SIGKILL"));
  // A server that ends before reading all its input (as it does when its
  // answers cannot be written) closes the pipe under writes still queued:
  // what it did not read is for the test to judge, not an error of Node's.
  child.stdin.on("error", () => {});
  let stderr = "";
  child.stderr.on("data", (chunk) => (stderr += chunk));
  const exited = once(child, "exit").then(([code, signal]) => code ?? 128 + signal);
  // Its streams are drained only at "close": "exit" may come first.
  const closed = once(child, "close");
  const lines = createInterface({ input: child.stdout })[Symbol.asyncIterator]();
  return {
    child,
    write: (text) => child.stdin.write(text),
    end: () => child.stdin.end(),
    stopReading: () => child.stdout.destroy(),
    async nextLine() {
      const { value, done } = await lines.next();
      return done ? undefined : value;
    },
    exited,
    closed,
    stderr: () => stderr,
  };
}

// Resolves with the exit status, or rejects once `ms` pass without one.
export function exitWithin(server, ms) {
  return Promise.race([server.exited, new Promise((_, reject) =>
    setTimeout(() => reject(new Error(`still running after ${ms} ms`)), ms).unref())]);
}

// The memory of a running server in kilobytes: `resident` now (ps, the same
// on Linux and macOS), and the `peak` so far where /proc tells it (Linux).
export function memoryOf(server) {
  const resident = Number(execFileSync("ps", ["-o", "rss=", "-p", String(server.child.pid)]));
  let peak;
  if (process.platform === "linux") {
    peak = Number(/VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${server.child.pid}/status`, "utf8"))[1]);
  }
  return { resident, peak };
}

// The peak memory in kilobytes of a server started `measured`, once it has
// ended: /proc before the end on Linux, time(1)'s report on macOS.
export async function peakOf(server) {
  if (process.platform === "linux") {
    const { peak } = memoryOf(server);
    server.end();
    await server.exited;
    return peak;
  }
  server.end();
  // time(1) reports on standard error as the server ends.
  await server.closed;
  return Number(/(\d+)\s+maximum resident set size/.exec(server.stderr())[1]) / 1024;
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
  server.listen(port, "127.0.0.1");
  await once(server, "listening");
  const close = () => { server.closeAllConnections(); server.close(); };
  running.push(close);
  return { port: server.address().port, requests, connections: () => connections, close };
}

// A handler that answers the host information as the app does, and every
// other request with `namespace(request, response)`.
export const asTheApp = (namespace) => (request, response) =>
  request.url === "/?HOST_INFO"
    ? response.end(JSON.stringify({ NAME: "ZindleRecorder", OSC_PORT: 9000 }))
    : namespace(request, response);

// A bare server listening on `port` (0: any free one), or null when some
// other socket holds it.
const listening = (port) => new Promise((resolve) => {
  const server = createServer().listen(port, "127.0.0.1");
  server.once("listening", () => resolve(server)).once("error", () => resolve(null));
});

// Sixteen consecutive free ports from the returned one.
export async function freePortRange() {
  for (let attempt = 0; attempt < 50; attempt++) {
    const taken = [await listening(0)];
    const first = taken[0].address().port;
    while (taken.length < 16 && taken.at(-1) && first + taken.length <= 65535) {
      taken.push(await listening(first + taken.length));
    }
    taken.forEach((server) => server?.close());
    if (taken.length === 16 && taken.at(-1)) return first;
  }
  throw new Error("no free range of ports");
}
