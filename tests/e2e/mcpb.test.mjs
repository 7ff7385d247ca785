// The MCP Bundle as a desktop client meets it after a one-click install:
// packed by the format's own packer (which validates it), unpacked, and its
// server started as the manifest says, with the user's settings filled in.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { chmodSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";

import { getMcpConfigForManifest } from "@anthropic-ai/mcpb";

import { connect, serverPath, startSimulator, statusOf } from "./support.mjs";

const mcpb = (...args) => execFileSync("node", ["node_modules/@anthropic-ai/mcpb/dist/cli/cli.js", ...args]);

// Every file of the unpacked folder as the desktop app on macOS writes it:
// read and write for its owner alone, whatever the bundle stores.
function dropModes(folder) {
  for (const entry of readdirSync(folder, { recursive: true, withFileTypes: true })) {
    if (entry.isFile()) chmodSync(join(entry.parentPath ?? entry.path, entry.name), 0o600);
  }
}

// The README's remedy for a bundle installed before its server was started
// through the shell, run in `home`.
const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");
const remedy = /```sh\n\s*(find ~\/Library.*)\n/.exec(readme)[1];
const runRemedy = (home) => execFileSync("sh", ["-c", remedy], { env: { ...process.env, HOME: home } });

// As the client installs it: `modes` lays the unpacked files out. A bundle
// from before named the server as the command: the desktop app cannot start
// it until the README's remedy has been run.
const installs = [
  { name: "with the modes the bundle stores, as unzip restores them", modes: () => {} },
  { name: "with every file 0600, as the desktop app on macOS unpacks it", modes: dropModes },
  { name: "from an older bundle's command, every file 0600, after the README's remedy", modes: dropModes,
    config: (config) => ({ ...config, command: "${__dirname}/server/zindle_recorder_mcp", args: [] }) },
];

let folder;
let packed;
before(() => {
  folder = mkdtempSync(join(tmpdir(), "zindle-mcpb-"));
  packed = execFileSync("scripts/mcpb.sh", [serverPath, process.env.ZINDLE_MANIFEST, folder])
    .toString().trim().split("\n").pop();
});
after(() => rmSync(folder, { recursive: true, force: true }));

for (const [index, install] of installs.entries()) {
  test(`the bundle's server starts ${install.name}`, async () => {
    // Where the desktop app on macOS keeps its extensions, in a home of the
    // test's own.
    const home = join(folder, `home-${index}`);
    const unpacked = join(home, "Library/Application Support/Claude/Claude Extensions/zindle-recorder-mcp");
    mkdirSync(unpacked, { recursive: true });
    mcpb("unpack", packed, unpacked);
    install.modes(unpacked);
    const manifest = JSON.parse(readFileSync(join(unpacked, "manifest.json"), "utf8"));
    assert.equal(manifest.version, process.env.ZINDLE_VERSION);
    assert.deepEqual(manifest.compatibility.platforms, [process.platform]);
    const sim = await startSimulator();
    try {
      // The command, its arguments and its environment, filled in by the
      // format's own code as a client built on it fills them in: the
      // install folder and the user's settings (here, the port).
      const config = install.config ?? ((same) => same);
      const started = await getMcpConfigForManifest({
        manifest: { ...manifest, server: { ...manifest.server, mcp_config: config(manifest.server.mcp_config) } },
        extensionPath: unpacked, systemDirs: {}, pathSeparator: "/",
        userConfig: { oscquery_port: sim.queryPort } });
      assert.doesNotMatch(JSON.stringify(started), /\$\{/);
      const start = () => connect(started);
      if (install.config) {
        await assert.rejects(start(), /EACCES/);
        runRemedy(home);
      }
      const session = await start();
      try {
        assert.equal(session.client.getServerVersion().version, process.env.ZINDLE_VERSION);
        assert.deepEqual((await session.client.listTools()).tools.map((tool) => tool.name),
          manifest.tools.map((tool) => tool.name));
        assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
        assert.equal(session.stderr(), "");
      } finally {
        await session.close();
      }
    } finally {
      await sim.stop();
    }
  });
}
