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

import { simPath, startSimulator } from "./support.mjs";

const viewPort = (sim) => Number(new URL(sim.viewUrl).port);

// A connection to `port` that starts a request and then sends one byte of
// a header every 100 ms for 30 s, never finishing it. `cut` tells whether
// the simulator closed it before it had sent everything.
async function slowClient(port) {
  const socket = connect(port, "127.0.0.1");
  await once(socket, "connect");
  const client = { socket, open: true, cut: false };
  socket.on("error", () => {});
  socket.on("close", () => {
    client.open = false;
    client.cut ||= client.sending;
  });
  client.sending = true;
  socket.write("GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
  client.done = (async () => {
    for (let i = 0; i < 300 && client.open; i++) {
      await new Promise((resolve) => setTimeout(resolve, 100));
      socket.write("a");
    }
    Object.assign(client, { sending: false, open: false });
    socket.destroy();
  })();
  return client;
}

// The status of a GET of `path` on `port`, and how many of `others` were
// still open when it came.
async function getWhile(port, path, others) {
  const answer = await fetch(`http://127.0.0.1:${port}${path}`);
  const stillOpen = others.filter((client) => client.open).length;
  await answer.arrayBuffer();
  return { status: answer.status, stillOpen };
}

for (const [name, portOf, path] of [["view", viewPort, "/state"], ["OSCQuery", (sim) => sim.queryPort, "/?HOST_INFO"]]) {
  test(`on the ${name} port, clients slow to ask are cut off and keep no one waiting`, async () => {
    const sim = await startSimulator(["--view", "0"]);
    try {
      // More than the view once had workers, each holding one.
      const slow = await Promise.all(Array.from({ length: 9 }, () => slowClient(portOf(sim))));
      assert.deepEqual(await getWhile(portOf(sim), path, slow), { status: 200, stillOpen: slow.length });
      await Promise.all(slow.map((client) => client.done));
      assert.deepEqual(slow.map((client) => client.cut), slow.map(() => true));
    } finally {
      await sim.stop();
    }
  });
}

test("idle connections keep the page's poll waiting for none of them", async () => {
  const sim = await startSimulator(["--view", "0"]);
  // More than the view once had workers, each holding one for the second
  // an idle connection is given.
  const idle = await Promise.all(Array.from({ length: 80 }, async () => {
    const client = { socket: connect(viewPort(sim), "127.0.0.1"), open: true };
    client.socket.on("close", () => (client.open = false));
    await once(client.socket, "connect");
    return client;
  }));
  try {
    assert.deepEqual(await getWhile(viewPort(sim), "/state", idle), { status: 200, stillOpen: idle.length });
  } finally {
    idle.forEach((client) => client.socket.destroy());
    await sim.stop();
  }
});

test("a request not sent whole in time is answered 400 and ends its connection", async () => {
  const sim = await startSimulator();
  const socket = connect(sim.queryPort, "127.0.0.1").on("error", () => {});
  let received = "";
  socket.on("data", (chunk) => (received += chunk));
  try {
    socket.write("GET /?HOST_INFO HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: a");
    await once(socket, "data");
    // What follows would be a whole request, were the connection still read.
    socket.write("\r\n\r\nGET /?HOST_INFO HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    await once(socket, "close");
    assert.deepEqual(received.match(/^HTTP\/1\.1 \d+/gm), ["HTTP/1.1 400"]);
  } finally {
    socket.destroy();
    await sim.stop();
  }
});

test("one connection after another, each is answered", { timeout: 60_000 }, async () => {
  const sim = await startSimulator(["--view", "0"]);
  try {
    // More than the threads it keeps: those that ended must serve again.
    for (let i = 0; i < 150; i++) {
      const answer = await new Promise((resolve, reject) => get(`${sim.viewUrl}state`,
        { agent: false, headers: { connection: "close" } }, resolve).on("error", reject));
      answer.resume();
      assert.equal(answer.statusCode, 200);
    }
  } finally {
    await sim.stop();
  }
});

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
  const child = spawn(simPath, ["--port", "0", "--view", "0"], { stdio: ["ignore", "pipe", "inherit"] });
  const [line] = await once(child.stdout, "data");
  const ports = [/query port (\d+)/, /view http:\/\/127\.0\.0\.1:(\d+)/].map((pattern) => Number(pattern.exec(line)[1]));
  const slow = await Promise.all(ports.map(slowClient));
  const idle = connect(ports[1], "127.0.0.1").on("error", () => {});
  await once(idle, "connect");
  child.kill("SIGTERM");
  const [code] = await once(child, "exit");
  idle.destroy();
  // Its ending closed both while they were still sending.
  await Promise.all(slow.map((client) => client.done));
  assert.deepEqual({ code, cut: slow.map((client) => client.cut) }, { code: 0, cut: [true, true] });
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

// A port no one holds now: the system's choice, given back.
async function freePort() {
  const server = createServer().listen(0, "127.0.0.1");
  await once(server, "listening");
  const { port } = server.address();
  await new Promise((done) => server.close(done));
  return port;
}

test("a port another program holds is refused, whoever holds it at whatever address; its own last run's is taken again", async () => {
  const first = await startSimulator();
  const tcp = createServer().listen(0, "0.0.0.0");
  await once(tcp, "listening");
  const udp = createSocket("udp4");
  udp.bind(0, "0.0.0.0");
  await once(udp, "listening");
  const [held, udpHeld] = [tcp.address().port, udp.address().port];
  // A simulator on fixed ports that the server and the page kept a
  // connection to, ended: it closed them on its side, and they wait out
  // TIME_WAIT on its ports when it starts again at once.
  const [query, view] = [await freePort(), await freePort()];
  const last = await startSimulator(["--view", String(view)], query);
  const agent = new Agent({ keepAlive: true });
  for (const port of [query, view]) {
    await new Promise((done, failed) => get({ port, host: "127.0.0.1", path: "/", agent },
      (answer) => answer.resume().on("end", done)).on("error", failed));
  }
  await last.stop();
  agent.destroy();
  // Refused with `message`, or (null) ready, and ended by the test.
  const expected = (message) => message === null ? { code: null, ready: true, stderr: "" }
    : { code: 1, ready: false, stderr: `zindle_recorder_sim: ${message}: Address already in use\n` };
  try {
    for (const [args, message] of [
      // A second simulator: cpp-httplib's own options would let it share.
      [["--port", String(first.queryPort)], `cannot bind the OSCQuery port ${first.queryPort}`],
      [["--port", String(held)], `cannot bind the OSCQuery port ${held}`],
      [["--port", "0", "--view", String(held)], `cannot bind the view port ${held}`],
      [["--port", "0", "--osc-port", String(udpHeld)], `cannot bind the OSC port ${udpHeld}`],
      [["--port", String(query), "--view", String(view)], null],
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
