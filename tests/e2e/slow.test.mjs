// The one check of the real clock, outside the default run (make
// test-slow): a stop gives up after thirty seconds. The fake clock's unit
// tests check the same wait to the tick.
import assert from "node:assert/strict";
import { test } from "node:test";

import { connect, errorOf, startSimulator } from "./support.mjs";

test("a stop that never finishes gives up after thirty seconds", async () => {
  const sim = await startSimulator(["--finish-seconds", "100"]);
  const session = await connect({ env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } });
  try {
    await session.call("recorder_start", { source: "main" });
    const began = Date.now();
    const text = errorOf(await session.call("recorder_stop"));
    assert.match(text, /^The movie is still being finished\.\n\{/);
    assert.ok(Date.now() - began >= 30000 && Date.now() - began < 35000);
  } finally {
    await session.close();
    await sim.stop();
  }
});
