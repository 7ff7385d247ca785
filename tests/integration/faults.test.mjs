// What the world can do to the server, and what the server must do then: an
// app that stalls or floods it, and a client that sends 10,000 requests
// among junk. (An app that dies or moves: the end-to-end tests.)
import assert from "node:assert/strict";
import { test } from "node:test";

import { asTheApp, freePortRange, memoryOf, peakOf, startFakeApp, startServer } from "./support.mjs";

const unreachable = (first) =>
  `ZindleRecorder is not running, or its OSCQuery server is not on ports ${first}\u2013${first + 15}. ` +
  "Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it uses another port).";
const status = '{"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"recorder_status"}}\n';

// A fake app on the first of sixteen free ports, so that nothing else is
// found on the others.
async function appOnFreeRange(namespace) {
  return startFakeApp(asTheApp(namespace), await freePortRange());
}

test("an app that stalls in the middle of an answer costs its time-out", async () => {
  // Half a body, then nothing more on an open connection.
  const app = await appOnFreeRange((request, response) => {
    response.writeHead(200, { "Content-Length": 100 });
    response.write('{"FULL_PATH":"/",');
  });
  const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: String(app.port) } });
  const began = Date.now();
  server.write(status);
  const answer = JSON.parse(await server.nextLine());
  const took = Date.now() - began;
  server.end();
  app.close();
  assert.equal(answer.result.content[0].text, unreachable(app.port));
  assert.ok(took >= 1900 && took < 5000, `${took} ms`);
});

// The memory of a call, and the length of its answer, are bounded by the
// body cap, whatever shape the namespace takes: a million empty arrays (the
// parser's tape takes many times their bytes); a million one-letter titles
// (once a 68 MB answer, and half a gigabyte), too many to keep; as many
// titles as are kept, as long as the cap allows. Each is padded to the cap
// exactly, which is still read; past it, reading stops.
test("a hostile namespace costs a small multiple of the body cap", async (t) => {
  const cap = 4 << 20;  // link::kMaxBodyBytes
  const node = (path, value, more = "") => `{"FULL_PATH":"${path}","VALUE":[${value}]${more}}`;
  const titles = (count, title) => node("/source", '""', `,"RANGE":[{"VALS":[${`"${title}",`.repeat(count - 1)}"${title}"]}]`);
  const shapes = {
    arrays: node("/status/version", `[[]${",[]".repeat((cap - 60) / 3)}]`),
    letters: titles((cap - 80) / 4, "a"),
    kept: titles(65000, "t".repeat(60)),
  };
  // Twenty times the cap; AddressSanitizer's redzones and shadow double it.
  const limitKb = (process.env.ZINDLE_SANITIZED === "1" ? 40 : 20) * (cap / 1024);
  for (const [shape, namespace] of Object.entries(shapes)) {
    const app = await appOnFreeRange((request, response) => response.end(namespace.padEnd(cap)));
    // Freed memory is not held back under AddressSanitizer, so that what is
    // measured is what the call holds at once.
    const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: String(app.port),
      ASAN_OPTIONS: `${process.env.ASAN_OPTIONS ?? ""}:quarantine_size_mb=0` }, measured: true });
    server.write(status);
    const line = await server.nextLine();
    const { isError, content } = JSON.parse(line).result;
    const peakKb = await peakOf(server);
    app.close();
    t.diagnostic(`${shape}: ${peakKb} KB at most, an answer of ${line.length} bytes`);
    assert.equal(isError, false, shape);
    if (shape === "letters") assert.deepEqual(JSON.parse(content[0].text).sourcesAvailable, []);
    assert.ok(peakKb > 0 && peakKb < limitKb && line.length < 3 * cap, `${shape}: ${peakKb} KB, ${line.length} bytes`);
  }
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
