// How the server reads the app, through real HTTP: what it asks, what counts
// as an answer, and how long it waits.
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import { test } from "node:test";

import { asTheApp, freePortRange, startFakeApp, startServer } from "./support.mjs";

const status = '{"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"recorder_status"}}\n';

// The text of each recorder_status answer, one call each.
async function statusTexts(port, calls, env = {}) {
  const server = startServer({ env: { ZINDLE_OSCQUERY_PORT: String(port), ...env } });
  const texts = [];
  for (let i = 0; i < calls; i++) {
    server.write(status);
    texts.push(JSON.parse(await server.nextLine()).result.content[0].text);
  }
  server.end();
  assert.equal(await server.exited, 0);
  assert.equal(server.stderr(), "");  // nor does libcurl print a word
  return texts;
}

test("reads the app afresh with plain GETs over one kept connection, whatever the environment", async () => {
  let reads = 0;
  const app = await startFakeApp(asTheApp((request, response) =>
    response.end(JSON.stringify({ FULL_PATH: "/status/elapsed", VALUE: [++reads] }))));
  // Proxy variables would send every request to a port nobody listens on;
  // libcurl once opened the key log file it was given.
  const proxy = "http://127.0.0.1:1";
  const keyLog = `/tmp/zindle-keys-${process.pid}`;
  const texts = await statusTexts(app.port, 2,
    { http_proxy: proxy, HTTP_PROXY: proxy, ALL_PROXY: proxy, SSLKEYLOGFILE: keyLog });
  app.close();
  assert.equal(existsSync(keyLog), false);
  assert.deepEqual(texts.map((text) => JSON.parse(text).elapsed), [1, 2]);
  assert.deepEqual(app.requests.map((r) => r.line), ["GET /?HOST_INFO", "GET /", "GET /?HOST_INFO", "GET /"]);
  assert.deepEqual(app.requests[1].headers, { host: `127.0.0.1:${app.port}`, accept: "*/*" });
  assert.equal(app.connections(), 1);
});

test("an answer that is no namespace is no answer at all", async () => {
  const cap = 4 << 20;  // link::kMaxBodyBytes
  const answers = [
    (response) => response.writeHead(404).end("{}"),
    (response) => response.writeHead(201).end("{}"),
    (response) => response.writeHead(302, { Location: "/?HOST_INFO" }).end("{}"),
    (response) => response.end("[]"),
    (response) => response.end("not json"),
    (response) => response.end(`{"a":"${" ".repeat(cap)}"}`),
    (response) => { response.writeHead(200, { Connection: "close" }); response.end(`{"a":"${" ".repeat(cap)}"}`); },
  ];
  const first = await freePortRange();
  for (const answer of answers) {
    const app = await startFakeApp(asTheApp((request, response) => answer(response)), first);
    const [text] = await statusTexts(first, 1);
    app.close();
    assert.match(text, new RegExp(`^ZindleRecorder is not running, or its OSCQuery server is not on ports ${first}`));
  }
});

test("a port that never answers costs its half-second time-out and no more", async () => {
  const app = await startFakeApp(() => {}, await freePortRange());
  const began = Date.now();
  await statusTexts(app.port, 1);
  const took = Date.now() - began;
  app.close();
  // A generous bound, as the machine may be busy.
  assert.ok(took >= 450 && took < 3000, `${took} ms`);
});
