// The one check of the real clock, outside the default run (make
// test-slow): a stop gives up after thirty seconds. The fake clock's unit
// tests check the same wait to the tick.
import assert from "node:assert/strict";
import { test } from "node:test";

import { errorOf, inSession } from "./support.mjs";

test("a stop that never finishes gives up after thirty seconds", async () => {
  const { call } = await inSession(["--finish-seconds", "100"]);
  await call("recorder_start", { source: "main" });
  const began = Date.now();
  assert.match(errorOf(await call("recorder_stop")), /^The movie is still being finished\.\n\{/);
  assert.ok(Date.now() - began >= 30000 && Date.now() - began < 35000);
});
