// The server reading the app through real HTTP, one session of calls against
// one fake app whose answer each step sets: what it asks, what counts as an
// answer, how long it waits, and what a call may cost in memory and in the
// length of its answer.
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import { test } from "node:test";

import { freePortRange, hostInfo, peakOf, request, startFakeApp, startServer } from "../support/processes.mjs";

const cap = 4 << 20;  // link::kMaxBodyBytes
const node = (path, value, more = "") => `{"FULL_PATH":"${path}","VALUE":[${value}]${more}}`;
const titles = (count, title) =>
  node("/source", '""', `,"RANGE":[{"VALS":[${`"${title}",`.repeat(count - 1)}"${title}"]}]`);
const quotes = (bytes) => `"${'\\"'.repeat(bytes / 2)}"`;
const configureAll = { codec: "h264", fps: 30, bitrate: 10, output: "separate", layout: "row", gap: 1,
  width: 100, height: 100, sound: "", performance: true, folder: "/tmp", name: "x" };

test("one session of tool calls against an app that answers each step its own way", async (t) => {
  // On the first of sixteen free ports, so that nothing else is found.
  const first = await freePortRange();
  const unreachable = new RegExp(`^ZindleRecorder is not running, .* on ports ${first}\u2013${first + 15}\\. `);
  let answer;  // (request, response) for every request but the host information
  let hostInfoToo = false;  // the step's answer is given to that request too
  const app = await startFakeApp((request, response) =>
    (request.url === "/?HOST_INFO" && !hostInfoToo ? response.end(hostInfo) : answer(request, response)), first);
  // Proxy variables would send every request to a port nobody listens on;
  // libcurl once opened the key log file it was given.
  const proxy = "http://127.0.0.1:1";
  const keyLog = `/tmp/zindle-keys-${process.pid}`;
  const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: String(first),
    http_proxy: proxy, HTTP_PROXY: proxy, ALL_PROXY: proxy, SSLKEYLOGFILE: keyLog } });
  // One call: its answer's line, result and time.
  const call = async (params = { name: "recorder_status" }, to = server) => {
    const began = Date.now();
    const { result: { isError, content }, line } = await request(to, "tools/call", params);
    return { line, isError, text: content[0].text, took: Date.now() - began };
  };

  // Read afresh, with plain GETs, over one kept connection.
  let reads = 0;
  answer = (request, response) => response.end(node("/status/elapsed", ++reads));
  const elapsed = [JSON.parse((await call()).text).elapsed, JSON.parse((await call()).text).elapsed];
  assert.deepEqual(elapsed, [1, 2]);
  assert.deepEqual(app.requests.map((r) => r.line), ["GET /?HOST_INFO", "GET /", "GET /?HOST_INFO", "GET /"]);
  assert.deepEqual(app.requests[1].headers, { host: `127.0.0.1:${first}`, accept: "*/*" });
  assert.equal(app.connections(), 1);

  // An answer that is no namespace is no answer at all: a status but 200
  // (a redirect is not followed), JSON that is no object, no JSON, a body
  // past the cap (kept alive, or closed after it). A port that never
  // answers, not even its host information, costs its half-second time-out
  // and no more; an app that stalls in the middle of an answer, its two
  // seconds. The bounds are generous, as the machine may be busy.
  const tooLong = `{"a":"${" ".repeat(cap)}"}`;
  const noNamespaces = [[404, {}, "{}"], [201, {}, "{}"], [302, { Location: "/?HOST_INFO" }, "{}"], [200, {}, "[]"],
    [200, {}, "not json"], [200, {}, tooLong], [200, { Connection: "close" }, tooLong]]
    .map(([code, headers, body]) => [false, (request, response) => response.writeHead(code, headers).end(body)]);
  const stall = (request, response) => response.writeHead(200, { "Content-Length": 100 }).write('{"FULL_PATH":"/",');
  for (const [at, [everything, noNamespace, least = 0, most = Infinity]] of
    [...noNamespaces, [true, () => {}, 450, 3000], [false, stall, 1900, 5000]].entries()) {
    [hostInfoToo, answer] = [everything, noNamespace];
    const { text, took } = await call();
    assert.match(text, unreachable, `no namespace ${at}`);
    assert.ok(took >= least && took < most, `no namespace ${at}: ${took} ms`);
  }
  hostInfoToo = false;

  // A setting the app never takes is read back every 50 ms for a second:
  // about twenty reads, not as many as the app can answer in that time.
  const before = app.requests.length;
  answer = (request, response) => response.end(node("/fps", 25));
  assert.match((await call({ name: "recorder_configure", arguments: { fps: 30 } })).text, /^Some settings were not taken/);
  const readBacks = app.requests.slice(before).filter((r) => r.line === "GET /").length;
  assert.ok(readBacks >= 2 && readBacks <= 25, `${readBacks} reads`);

  // The memory of a call is bounded by the body cap, and the length of its
  // answer by the result limit, whatever shape the namespace takes: a
  // million empty arrays (the parser's tape takes many times their bytes);
  // a million one-letter titles (once a 68 MB answer, and half a gigabyte),
  // too many to keep; as many titles as are kept, as long as the cap
  // allows; as many empty titles as are kept, each written as a whole
  // object, and the rest one string of escaped quotes, each written as four
  // bytes (once 12.4 MB); quotes at all twelve setting addresses, each value
  // written in the status and again in notApplied (once 16.1 MB). Each is
  // padded to the cap exactly, which is still read; past it, reading stops.
  const empties = titles(65530, "");
  const keys = Object.keys(configureAll);
  const shapes = [
    ["arrays", node("/status/version", `[[]${",[]".repeat((cap - 60) / 3)}]`)],
    ["letters", titles((cap - 80) / 4, "a")],
    ["kept", titles(65000, "t".repeat(60))],
    ["status", `{"CONTENTS":{"s":${empties},"e":${node("/status/error", quotes(cap - empties.length - 100))}}}`,
      { name: "recorder_status" }],
    ["configure", `{"CONTENTS":{${keys.map((key) => `"${key}":${node(`/${key}`, quotes(cap / 12 - 100))}`).join(",")}}}`,
      { name: "recorder_configure", arguments: configureAll }],
  ];
  // Twenty times the cap; AddressSanitizer's redzones and shadow double it.
  // The peak counts a process's whole life, and calls of different shapes
  // fragment the heap each their own way: each of the first three shapes is
  // read by a server of its own too.
  const limitKb = (process.env.ZINDLE_SANITIZED === "1" ? 40 : 20) * (cap / 1024);
  for (const [shape, namespace, params] of shapes) {
    answer = (request, response) => response.end(namespace.padEnd(cap));
    if (!params) {
      const alone = startServer({ measured: true, env: { ZINDLE_OSCQUERY_PORT: String(first) } });
      await call(params, alone);
      const peakKb = await peakOf(alone);
      t.diagnostic(`${shape}: ${peakKb} KB at most`);
      assert.ok(peakKb > 0 && peakKb < limitKb, `${shape}: ${peakKb} KB`);
    }
    const { line, isError, text } = await call(params);
    // Within server::kMaxResultBytes, and the few bytes around the result.
    assert.ok(line.length < (1 << 20) + 100, `${shape}: ${line.length} bytes`);
    if (shape === "letters") assert.deepEqual(JSON.parse(text).sourcesAvailable, []);
    // Those two are too large to show: their length is told instead.
    if (params) assert.match(text, /^The answer is too large to show: \d+ bytes/, shape);
    assert.equal(isError, shape === "configure", shape);
  }
  server.end();
  // Nor does libcurl print a word, or write a key log.
  assert.deepEqual([await server.exited, server.stderr(), existsSync(keyLog)], [0, "", false]);
});
