// The MCP Bundle as a desktop client meets it after a one-click install:
// packed by the format's own packer (which validates it), unpacked, and its
// server started as the manifest says.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { connect, serverPath, startSimulator, statusOf } from "./support.mjs";

const mcpb = (...args) => execFileSync("node", ["node_modules/@anthropic-ai/mcpb/dist/cli/cli.js", ...args]);

test("the bundle unpacks into a server the client can use", async () => {
  const folder = mkdtempSync(join(tmpdir(), "zindle-mcpb-"));
  const sim = await startSimulator();
  try {
    const packed = execFileSync("scripts/mcpb.sh", [serverPath, process.env.ZINDLE_MANIFEST, folder]);
    const unpacked = join(folder, "installed");
    mcpb("unpack", packed.toString().trim().split("\n").pop(), unpacked);
    const manifest = JSON.parse(readFileSync(join(unpacked, "manifest.json"), "utf8"));
    assert.equal(manifest.version, process.env.ZINDLE_VERSION);
    assert.deepEqual(manifest.compatibility.platforms, [process.platform]);
    // As a client fills in the user's settings: here, the port.
    const filled = (text) => text.replace("${__dirname}", unpacked)
      .replace("${user_config.oscquery_port}", String(sim.queryPort));
    const { command, args, env } = manifest.server.mcp_config;
    const session = await connect({ command: filled(command), args,
      env: Object.fromEntries(Object.entries(env).map(([name, value]) => [name, filled(value)])) });
    try {
      assert.deepEqual((await session.client.listTools()).tools.map((tool) => tool.name),
        manifest.tools.map((tool) => tool.name));
      assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
    } finally {
      await session.close();
    }
  } finally {
    await sim.stop();
    rmSync(folder, { recursive: true, force: true });
  }
});
