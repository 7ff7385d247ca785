// The simulator against clients that are slow, idle or in its way: none of
// them keeps another client waiting, none keeps it from ending at SIGTERM,
// a port another program holds is refused, and one its own last run held
// is taken again at once.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { createSocket } from "node:dgram";
import { once } from "node:events";
import { Agent, get } from "node:http";
import { connect, createServer } from "node:net";
import { test } from "node:test";

import { freePortRange, simPath, startSimulator } from "../support/processes.mjs";

const viewPort = (sim) => Number(new URL(sim.viewUrl).port);
const queryPort = (sim) => sim.queryPort;

// A connection to `port`, as `kind` says: "idle" sends nothing; "whole"
// sends a request and waits for the end; "slow" starts one and sends a
// byte of a header every 100 ms for 30 s, never finishing it, and once
// answered what would be a whole request, were the connection still read.
// `statuses` are the status lines it got; `cut`, whether the simulator
// closed it while it was still sending.
async function client(port, kind) {
  const socket = connect(port, "127.0.0.1").on("error", () => {});
  await once(socket, "connect");
  const it = { open: true, sending: kind === "slow", cut: false, received: "" };
  it.statuses = () => it.received.match(/^HTTP\/1\.1 \d+/gm) ?? [];
  socket.on("data", (chunk) => {
    if (kind === "slow" && !it.received) socket.write("\r\n\r\nGET /?HOST_INFO HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    it.received += chunk;
  });
  // Not once(): it rejects at a reset, and an idle client's end is never
  // awaited.
  const closed = new Promise((resolve) => socket.on("close", resolve))
    .then(() => Object.assign(it, { open: false, cut: it.sending }));
  it.close = () => socket.destroy();
  if (kind === "whole") socket.end("GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  if (kind === "whole") await closed;
  if (kind !== "slow") return it;
  socket.write("GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
  it.done = (async () => {
    for (let i = 0; i < 300 && it.open; i++) {
      await new Promise((resolve) => setTimeout(resolve, 100));
      socket.write("a");
    }
    it.sending = false;
    socket.destroy();
    await closed;
  })();
  return it;
}

// Clients of one kind on one port, then a GET there: answered while every
// one that holds its connection still does. The view's threads were once
// fewer than the clients of each row.
for (const [kind, count, portOf, open, each] of [
  // Each is cut off in its time, answered 400, and nothing it sends after
  // is read; the same server serves the view, whose row is left out.
  ["slow", 9, queryPort, 9, { statuses: ["HTTP/1.1 400"], cut: true }],
  // Each holds its connection for the second an idle one is given.
  ["idle", 80, viewPort, 80, { statuses: [], cut: false }],
  // One after another: the threads of those that ended serve again.
  ["whole", 150, viewPort, 0, { statuses: ["HTTP/1.1 200"], cut: false }],
]) {
  test(`${count} ${kind} clients keep no one waiting`, { timeout: 60_000 }, async () => {
    const sim = await startSimulator(["--view", "0"]);
    const clients = [];
    try {
      for (let i = 0; i < count; i++) clients.push(await client(portOf(sim), kind));
      const answer = await fetch(`http://127.0.0.1:${portOf(sim)}${kind === "slow" ? "/?HOST_INFO" : "/state"}`);
      const stillOpen = clients.filter((it) => it.open).length;
      assert.deepEqual({ status: answer.status, stillOpen }, { status: 200, stillOpen: open });
      await Promise.all(clients.map((it) => it.done ?? it.close()));
      for (const it of clients) assert.deepEqual({ statuses: it.statuses(), cut: it.cut }, each);
    } finally {
      clients.forEach((it) => it.close());
      await sim.stop();
    }
  });
}

test("long texts in 64 datagrams leave the page's state small, and whole", async () => {
  const sim = await startSimulator(["--view", "0"]);
  const osc = createSocket("udp4");
  try {
    const { OSC_PORT } = await (await fetch(`http://127.0.0.1:${sim.queryPort}/?HOST_INFO`)).json();
    // "/x" and eight strings of 8,000 control bytes, each written as six in
    // JSON: what is kept still makes an answer longer than a socket takes
    // at once.
    const text = Buffer.concat([Buffer.alloc(8000, 1), Buffer.alloc(4)]);
    const datagram = Buffer.concat([Buffer.from("/x\0\0,ssssssss\0\0\0"), ...Array(8).fill(text)]);
    let state;
    for (let number = 1; number <= 64; number++) {
      osc.send(datagram, OSC_PORT, "127.0.0.1");
      do {
        const answer = await fetch(`${sim.viewUrl}state`);
        state = { size: Number(answer.headers.get("content-length")), ...(await answer.json()) };
      } while (state.messages[0]?.number !== number);
    }
    assert.equal(state.messages.length, 64);
    for (const message of state.messages) assert.deepEqual(message.arguments, Array(8).fill("\x01".repeat(256) + "\u2026"));
    assert.ok(state.size < 64 * 8 * 2000, `${state.size} bytes`);
  } finally {
    osc.close();
    await sim.stop();
  }
});

test("SIGTERM ends the simulator at once, whatever its clients are doing", async () => {
  const sim = await startSimulator(["--view", "0"]);
  const clients = await Promise.all([client(queryPort(sim), "slow"), client(viewPort(sim), "slow"),
    client(viewPort(sim), "idle")]);
  const code = await sim.stop();
  // Its ending closed the slow ones while they were still sending.
  await Promise.all(clients.map((it) => it.done ?? it.close()));
  assert.deepEqual({ code, cut: clients.map((it) => it.cut) }, { code: 0, cut: [true, true, false] });
});

// Runs the simulator with `args` until it ends by itself, or until it is
// ready: then it is ended, with a signal and not a status.
async function outcome(args) {
  const child = spawn(simPath, args, { stdio: ["ignore", "pipe", "pipe"] });
  let [stdout, stderr] = ["", ""];
  child.stdout.on("data", (chunk) => {
    stdout += chunk;
    child.kill("SIGKILL");
  });
  child.stderr.on("data", (chunk) => (stderr += chunk));
  const [code] = await once(child, "close");
  return { code, stdout, stderr };
}

test("a port another program holds is refused, whoever holds it at whatever address; its own last run's is taken again", async () => {
  const first = await startSimulator();
  const tcp = createServer().listen(0, "0.0.0.0");
  await once(tcp, "listening");
  const udp = createSocket("udp4");
  udp.bind(0, "0.0.0.0");
  await once(udp, "listening");
  const [held, udpHeld] = [tcp.address().port, udp.address().port];
  // A simulator on a fixed port that the server kept a connection to,
  // ended: it closed it on its side, and it waits out TIME_WAIT on its port
  // when it starts again at once.
  const fixed = await freePortRange();
  const last = await startSimulator([], fixed);
  const agent = new Agent({ keepAlive: true });
  await new Promise((done, failed) => get({ port: fixed, host: "127.0.0.1", path: "/", agent },
    (answer) => answer.resume().on("end", done)).on("error", failed));
  await last.stop();
  agent.destroy();
  // Refused with `message`, or (null) ready, and ended by the test. The
  // view's port is bound as the OSCQuery port is: its row is left out.
  const expected = (message) => message === null ? { code: null, ready: true, stderr: "" }
    : { code: 1, ready: false, stderr: `zindle_recorder_sim: ${message}: Address already in use\n` };
  try {
    for (const [args, message] of [
      // A second simulator: cpp-httplib's own options would let it share.
      [["--port", String(first.queryPort)], `cannot bind the OSCQuery port ${first.queryPort}`],
      [["--port", String(held)], `cannot bind the OSCQuery port ${held}`],
      [["--port", "0", "--osc-port", String(udpHeld)], `cannot bind the OSC port ${udpHeld}`],
      [["--port", String(fixed)], null],
    ]) {
      const { code, stdout, stderr } = await outcome(args);
      const ready = stdout.startsWith(`zindle_recorder_sim ready: query port ${args[1]},`);
      assert.deepEqual({ code, ready, stderr }, expected(message), args.join(" "));
    }
  } finally {
    tcp.close();
    udp.close();
    await first.stop();
  }
});
