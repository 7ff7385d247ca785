// The server binary as a client meets it: what it answers, how it ends, and
// its standard streams as a client may hand them over. Which lines get which
// answer is the unit tests' (tests/server); here, the process: its answers
// in order, its version, its end, and nothing on standard error.
import assert from "node:assert/strict";
import { readlinkSync } from "node:fs";
import { test } from "node:test";

import { hostInfo, ping, residentOf, startFakeApp, startServer } from "../support/processes.mjs";

const status = '{"id":1,"method":"tools/call","params":{"name":"recorder_status"}}\n';

// Each way a client may hand the standard streams over, what it does then,
// and the status the server ends with, nothing on standard error.
const handings = [
  // An answer that cannot be written in full (a closed pipe, as here, or a
  // full disk) once ended the server with status 0, as if all had been
  // answered. It ends at once with status 1, its input unread, and does not
  // die of SIGPIPE.
  ["the client stops reading", {}, (server) => { server.child.stdout.destroy(); server.write(ping.repeat(100)); }, 1],
  // Started with descriptor 1 closed, the server once wrote its answers to
  // /dev/null and acted all the same: a recorder_start sent /record. Nobody
  // can read an answer then, so it ends at once, acting on nothing, its
  // input still open.
  ["descriptor 1 closed", { redirect: ">&-" }, (server) => server.write(status + ping), 1],
  ["descriptor 1 open only for reading", { redirect: "1</dev/null" }, (server) => server.write(status + ping), 1],
  // Input that cannot be read is the end of it, not a reason to try again
  // for ever.
  ["a directory as input", { redirect: "</" }, (server) => server.write(status + ping), 0],
  // A closed standard error is given /dev/null before anything opens a
  // file, so that no socket of libcurl's takes its number, and whatever
  // might be written there (a sanitizer's report) cannot reach the app.
  // /proc tells where it leads on Linux.
  ["standard error closed", { redirect: "2>&-" }, async (server) => {
    server.write(status);
    assert.equal(JSON.parse(await server.nextLine()).result.isError, false);
    if (process.platform === "linux") assert.equal(readlinkSync(`/proc/${server.child.pid}/fd/2`), "/dev/null");
    server.end();
  }, 0],
  // "Nothing to read yet" and "no room to write yet" are not the end:
  // handed non-blocking pipes, the server once left at once, or after some
  // 1,700 of 20,000 answers, with status 0.
  ["non-blocking pipes", { nonBlocking: true }, async (server) => {
    let answered = 0;
    for (const batch of [1, 2]) {
      await new Promise((resolve) => setTimeout(resolve, 300));  // the server finds its input empty
      server.write(ping.repeat(10000));
      if (batch === 2) {
        // Nobody reads: the server finds its output full.
        await new Promise((resolve) => setTimeout(resolve, 300));
        server.end();
      }
      while (answered < batch * 10000 && (await server.nextLine()) !== undefined) answered++;
    }
    assert.equal(answered, 20000);
    assert.equal(await server.nextLine(), undefined);
  }, 0],
];
test("ends as its standard streams allow, answering all it can", { timeout: 60_000 }, async () => {
  const app = await startFakeApp((request, response) =>
    response.end(request.url === "/?HOST_INFO" ? hostInfo : '{"FULL_PATH":"/"}'));
  for (const [name, options, act, code] of handings) {
    const server = startServer({ ...options, env: { ZINDLE_OSCQUERY_PORT: String(app.port) } });
    await act(server);
    assert.deepEqual([await server.exited, server.stderr()], [code, ""], name);
  }
  // The one read of the app: the session whose answers could be read.
  assert.deepEqual(app.requests.map((r) => r.line), ["GET /?HOST_INFO", "GET /"]);
});

test("10,000 requests among junk are each answered once, in order, and it ends with status 0", async () => {
  // Nothing listens on ports 1 to 16: every tool call fails fast.
  const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: "1" } });
  const junk = ["not json", '[{"id":0,"method":"ping"}]', '{"jsonrpc":"2.0","method":"notifications/initialized"}',
    `{"id":0,"method":"ping","pad":"${"x".repeat(1 << 16)}"}x`, "[".repeat(10000) + "]".repeat(10000),
    '{"id":0,"method":"ping"}}', ""];
  const methods = ["ping", "tools/list", "initialize", "no/such"];
  // A tool call probes sixteen ports; a few of them are enough here. The
  // last request has no LF.
  const requests = (from, to) => Array.from({ length: to - from + 1 }, (_, i) => from + i).map((id) =>
    `{"jsonrpc":"2.0","id":${id},"method":"${id % 100 ? methods[id % 4] : "tools/call"}"}\n` +
    (id % 3 ? "" : `${junk[(id / 3) % junk.length]}\n`)).join("").slice(0, -1);
  let answered = 0;
  const answerAll = async (to) => {
    while (answered < to) {
      const { id, result } = JSON.parse(await server.nextLine());
      assert.equal(id, ++answered);
      // The build's version: on a Mac, from the information dictionary
      // linked into the binary.
      if (id % 100 && id % 4 === 2) assert.equal(result.serverInfo.version, process.env.ZINDLE_VERSION);
      if (id % 100 === 0) assert.match(result.content[0].text, /ports 1\u201316\./);
    }
  };
  // First a line past the cap, and nesting past the depth limit.
  server.write(`${"[".repeat(100000)}\n{"id":0,"pad":"${"x".repeat(3 << 20)}"}\n${requests(1, 5000)}\n`);
  await answerAll(5000);
  const halfway = residentOf(server);
  server.write(requests(5001, 10000));
  await answerAll(9999);
  // Flat: the second half of the run adds nothing to the first's.
  assert.ok(residentOf(server) <= halfway + 1024, `${halfway} KB, then more`);
  server.end();
  await answerAll(10000);
  assert.deepEqual([await server.nextLine(), await server.exited, server.stderr()], [undefined, 0, ""]);
});
