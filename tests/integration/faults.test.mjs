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
const resultLimit = 1 << 20;  // server::kMaxResultBytes

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

// The memory of a call is bounded by the body cap, and the length of its
// answer by the result limit, whatever shape the namespace takes: a million
// empty arrays (the parser's tape takes many times their bytes); a million
// one-letter titles (once a 68 MB answer, and half a gigabyte), too many to
// keep; as many titles as are kept, as long as the cap allows. Each is
// padded to the cap exactly, which is still read; past it, reading stops.
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
    assert.ok(peakKb > 0 && peakKb < limitKb && line.length < resultLimit + 100, `${shape}: ${peakKb} KB, ${line.length} bytes`);
  }
});

// What lands in the assistant's context is bounded too, at its worst shapes:
// as many empty titles as are kept, each written as a whole object, and the
// rest one string of escaped quotes, each written as four bytes (once 12.4
// MB); quotes at all twelve setting addresses, each value written in the
// status and again in notApplied (once 16.1 MB).
test("an answer holds at most the result limit, whatever the app publishes", async (t) => {
  const cap = 4 << 20;  // link::kMaxBodyBytes
  const node = (path, value, more = "") => `{"FULL_PATH":"${path}","VALUE":[${value}]${more}}`;
  const quotes = (bytes) => `"${'\\"'.repeat(bytes / 2)}"`;
  const titles = node("/source", '""', `,"RANGE":[{"VALS":[${'"",'.repeat(65529)}""]}]`);
  const keys = ["codec", "fps", "bitrate", "output", "layout", "gap", "width", "height", "sound",
    "performance", "folder", "name"];
  const shapes = [
    ["status", { name: "recorder_status" }, false,
      `{"CONTENTS":{"s":${titles},"e":${node("/status/error", quotes(cap - titles.length - 100))}}}`],
    ["configure", { name: "recorder_configure", arguments: { codec: "h264", fps: 30, bitrate: 10,
      output: "separate", layout: "row", gap: 1, width: 100, height: 100, sound: "", performance: true,
      folder: "/tmp", name: "x" } }, true,
    `{"CONTENTS":{${keys.map((key) => `"${key}":${node(`/${key}`, quotes(cap / 12 - 100))}`).join(",")}}}`],
  ];
  for (const [shape, params, failed, namespace] of shapes) {
    const app = await appOnFreeRange((request, response) => response.end(namespace.padEnd(cap)));
    const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: String(app.port) } });
    server.write(`${JSON.stringify({ jsonrpc: "2.0", id: 1, method: "tools/call", params })}\n`);
    const line = await server.nextLine();
    server.end();
    app.close();
    t.diagnostic(`${shape}: an answer of ${line.length} bytes`);
    const { isError, content } = JSON.parse(line).result;
    assert.equal(isError, failed, shape);
    assert.match(content[0].text, /^The answer is too large to show: \d+ bytes, past the 1048576 /, shape);
    assert.ok(line.length < resultLimit + 100, `${shape}: ${line.length} bytes`);
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
