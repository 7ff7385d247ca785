// The server binary as a client meets it: what it answers, what it drops,
// how it ends, and its standard streams as a client may hand them over. No
// app is needed for any of this.
import assert from "node:assert/strict";
import { readlinkSync } from "node:fs";
import { test } from "node:test";

import { asTheApp, exitWithin, memoryOf, ping, startFakeApp, startServer } from "./support.mjs";

// Which lines get which answer is the unit tests'; here, the process: its
// answers in order, its version, its end, and nothing on standard error.
test("answers only requests, in order, and ends with status 0", async () => {
  // Nothing listens on ports 1 to 16: a tool call fails at once.
  const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: "+1" } });
  server.write('\nnot json\n{"method":"tools/call"}\n{"id":"a/b","method":"initialize"}\r\n' +
    '{"id":4,"method":"tools/call"}\n{"id":7,"method":"ping"}');
  server.end();
  const initialized = JSON.parse(await server.nextLine());
  // The build's version: on a Mac, from the information dictionary linked
  // into the binary.
  assert.equal(initialized.result.serverInfo.version, process.env.ZINDLE_VERSION);
  assert.match(JSON.parse(await server.nextLine()).result.content[0].text, /ports 1\u201316\./);
  assert.equal(await server.nextLine(), '{"id":7,"jsonrpc":"2.0","result":{}}');
  assert.equal(await server.nextLine(), undefined);
  assert.equal(await server.exited, 0);
  assert.equal(server.stderr(), "");
});

// An answer that cannot be written in full (a closed pipe, as here, or a
// full disk) once ended the server with status 0, as if all had been
// answered.
test("ends with status 1 when an answer cannot be written, its input unread", async () => {
  const server = startServer();
  server.stopReading();
  // The answers have nowhere to go; the server must not die of SIGPIPE, nor
  // wait for the end of its input.
  for (let i = 0; i < 100; i++) server.write(ping);
  assert.equal(await exitWithin(server, 5000), 1);
  assert.equal(server.stderr(), "");
});

// "Nothing to read yet" and "no room to write yet" are not the end: handed
// non-blocking pipes, the server once left at once, or after some 1,700 of
// 20,000 answers, with status 0.
test("answers every request on non-blocking standard streams", async () => {
  const pause = () => new Promise((resolve) => setTimeout(resolve, 300));
  const server = startServer({ nonBlocking: true });
  let answered = 0;
  for (const batch of [1, 2]) {
    await pause();  // the server finds its input empty
    server.write(ping.repeat(10000));
    if (batch === 2) {
      await pause();  // nobody reads: the server finds its output full
      server.end();
    }
    while (answered < batch * 10000 && (await server.nextLine()) !== undefined) answered++;
  }
  assert.equal(answered, 20000);
  assert.equal(await server.nextLine(), undefined);
  assert.equal(await server.exited, 0);
});

// Started with descriptor 1 closed, the server once wrote its answers to
// /dev/null, ended with status 0, and acted all the same: a recorder_start
// sent /record. Nobody can read an answer then, so it ends at once, its
// input still open and unread. A directory as input is input that cannot be
// read: the end of it, not a reason to try again for ever.
test("ends at once with status 1, acting on nothing, when its answers cannot be read", async () => {
  const app = await startFakeApp(asTheApp((request, response) => response.end('{"FULL_PATH":"/"}')));
  const cases = [[">&-", 1], ["1</dev/null", 1], ["</", 0]];
  for (const [redirect, status] of cases) {
    const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: String(app.port) }, redirect });
    server.write('{"id":1,"method":"tools/call","params":{"name":"recorder_status"}}\n' + ping);
    try {
      assert.equal(await exitWithin(server, 5000), status, redirect);
    } finally {
      server.child.kill("SIGKILL");
    }
    assert.equal(server.stderr(), "", redirect);
  }
  app.close();
  assert.deepEqual(app.requests, []);
});

// A closed standard error is given /dev/null before anything opens a file,
// so that no socket of libcurl's takes its number, and whatever might be
// written there (a sanitizer's report) cannot reach the app. /proc tells
// where it leads on Linux.
test("a closed standard error leads to /dev/null, never to the app", async (t) => {
  if (process.platform !== "linux") return t.skip("no /proc here");
  const app = await startFakeApp(asTheApp((request, response) => response.end('{"FULL_PATH":"/"}')));
  const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: String(app.port) }, redirect: "2>&-" });
  server.write('{"id":1,"method":"tools/call","params":{"name":"recorder_status"}}\n');
  assert.equal(JSON.parse(await server.nextLine()).result.isError, false);
  assert.equal(readlinkSync(`/proc/${server.child.pid}/fd/2`), "/dev/null");
  server.end();
  assert.equal(await server.exited, 0);
  app.close();
});

test("10,000 requests among junk are each answered once, in order", async () => {
  // Nothing listens on ports 1 to 16: every tool call fails fast. Freed
  // memory is not held back under AddressSanitizer, so that what is
  // measured is what the server keeps.
  const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: "1",
    ASAN_OPTIONS: `${process.env.ASAN_OPTIONS ?? ""}:quarantine_size_mb=0` } });
  const junk = ["not json", '[{"id":0,"method":"ping"}]', '{"jsonrpc":"2.0","method":"notifications/initialized"}',
    `{"id":0,"method":"ping","pad":"${"x".repeat(1 << 16)}"}x`, "[".repeat(10000) + "]".repeat(10000),
    '{"id":0,"method":"ping"}}', ""];
  const methods = ["ping", "tools/list", "initialize", "no/such"];
  const requests = (from, to) => {
    let input = "";
    for (let id = from; id <= to; id++) {
      // A tool call probes sixteen ports; a few of them are enough here.
      const method = id % 100 === 0 ? "tools/call" : methods[id % methods.length];
      input += `{"jsonrpc":"2.0","id":${id},"method":"${method}"}\n`;
      if (id % 3 === 0) input += junk[(id / 3) % junk.length] + "\n";
    }
    return input;
  };
  let answered = 0;
  const answerAll = async (to) => {
    while (answered < to) assert.equal(JSON.parse(await server.nextLine()).id, ++answered);
  };
  // First a line past the cap, and nesting past the depth limit.
  server.write(`${"[".repeat(100000)}\n{"id":0,"pad":"${"x".repeat(3 << 20)}"}\n${requests(1, 5000)}`);
  await answerAll(5000);
  const halfway = memoryOf(server).resident;
  server.write(requests(5001, 10000));
  await answerAll(10000);
  // Flat: the second half of the run adds nothing to the first's.
  assert.ok(memoryOf(server).resident <= halfway + 1024, `${halfway} KB, then more`);
  server.end();
  assert.equal(await server.nextLine(), undefined);
  assert.equal(answered, 10000);
  assert.equal(await server.exited, 0);
  assert.equal(server.stderr(), "");
});
