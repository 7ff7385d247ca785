import assert from "node:assert/strict";
import { test } from "node:test";

import { LATEST_PROTOCOL_VERSION } from "@modelcontextprotocol/sdk/types.js";

import { connect } from "./support.mjs";

test("the official client connects, lists the four tools and pings", async () => {
  const session = await connect();
  try {
    assert.equal(session.protocolVersion(), LATEST_PROTOCOL_VERSION);
    assert.deepEqual(session.client.getServerVersion(), {
      name: "zindle-recorder",
      version: process.env.ZINDLE_VERSION,
    });
    assert.match(session.client.getInstructions(), /^Controls the ZindleRecorder app/);
    assert.deepEqual(session.client.getServerCapabilities(), { tools: {} });

    const { tools } = await session.client.listTools();
    assert.deepEqual(
      tools.map((tool) => tool.name),
      ["recorder_status", "recorder_configure", "recorder_start", "recorder_stop"],
    );
    assert.equal(Object.keys(tools[1].inputSchema.properties).length, 14);
    assert.deepEqual(tools[1].inputSchema.properties, tools[2].inputSchema.properties);

    assert.deepEqual(await session.client.ping(), {});
  } finally {
    await session.close();
  }
  assert.equal(session.stderr(), "");
});

test("a tool call without the app is an error result naming the ports", async () => {
  // Port 1 is privileged and nothing of ours listens on 1 to 16.
  const session = await connect({ env: { ZINDLE_OSCQUERY_PORT: "1" } });
  try {
    const result = await session.client.callTool({ name: "recorder_status", arguments: {} });
    assert.equal(result.isError, true);
    assert.equal(
      result.content[0].text,
      "ZindleRecorder is not running, or its OSCQuery server is not on ports 1\u201316. " +
        "Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it uses another port).",
    );
  } finally {
    await session.close();
  }
  assert.equal(session.stderr(), "");
});
