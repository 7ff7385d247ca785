// The MCP Bundle as a desktop client meets it after a one-click install:
// packed by the format's own packer (which validates it), unpacked, and its
// server started as the manifest says, with the user's settings filled in.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, test } from "node:test";

import { getMcpConfigForManifest } from "@anthropic-ai/mcpb";

import { connect, readme, serverPath, startSimulator, statusOf } from "./support.mjs";

// As the client installs it: with the modes the bundle stores, or every file
// 0600 (as the desktop app on macOS unpacks it). A bundle from before named
// the server as the command: the desktop app cannot start it until the
// README's remedy has been run.
const installs = [
  { name: "with the modes the bundle stores, as unzip restores them" },
  { name: "with every file 0600, as the desktop app on macOS unpacks it", only0600: true },
  { name: "from an older bundle's command, every file 0600, after the README's remedy", only0600: true,
    older: (config) => ({ ...config, command: "${__dirname}/server/zindle_recorder_mcp", args: [] }) },
];
const remedy = /```sh\n\s*(find ~\/Library.*)\n/.exec(readme)[1];

const folder = mkdtempSync(join(tmpdir(), "zindle-mcpb-"));
after(() => rmSync(folder, { recursive: true, force: true }));
const packed = execFileSync("scripts/mcpb.sh", [serverPath, process.env.ZINDLE_MANIFEST, folder])
  .toString().trim().split("\n").pop();

for (const [index, { name, only0600, older }] of installs.entries()) {
  test(`the bundle's server starts ${name}`, async () => {
    // Where the desktop app on macOS keeps its extensions, in a home of the
    // test's own.
    const home = join(folder, `home-${index}`);
    const unpacked = join(home, "Library/Application Support/Claude/Claude Extensions/zindle-recorder-mcp");
    execFileSync("node", ["node_modules/@anthropic-ai/mcpb/dist/cli/cli.js", "unpack", packed, unpacked]);
    if (only0600) execFileSync("find", [unpacked, "-type", "f", "-exec", "chmod", "600", "{}", "+"]);
    const manifest = JSON.parse(readFileSync(join(unpacked, "manifest.json"), "utf8"));
    assert.deepEqual([manifest.version, manifest.compatibility.platforms],
      [process.env.ZINDLE_VERSION, [process.platform]]);
    // The desktop app links to where the README sends reports, and to the
    // project's home (cmake/packaging.cmake names both).
    assert.ok(readme.includes(`## Reporting a problem\n\nReport it at <${manifest.support}>`), manifest.support);
    assert.ok(readme.includes(`<${manifest.homepage}>`), manifest.homepage);
    // The command, its arguments and its environment, filled in by the
    // format's own code as a client built on it fills them in: the install
    // folder and the user's settings (here, the port).
    const { mcp_config: mcpConfig } = manifest.server;
    const started = await getMcpConfigForManifest({
      manifest: { ...manifest, server: { ...manifest.server, mcp_config: older?.(mcpConfig) ?? mcpConfig } },
      extensionPath: unpacked, systemDirs: {}, pathSeparator: "/",
      userConfig: { oscquery_port: (await startSimulator()).queryPort } });
    assert.doesNotMatch(JSON.stringify(started), /\$\{/);
    if (older) {
      await assert.rejects(connect(started), /EACCES/);
      execFileSync("sh", ["-c", remedy], { env: { ...process.env, HOME: home } });
    }
    const session = await connect(started);
    assert.deepEqual((await session.client.listTools()).tools.map((tool) => tool.name),
      manifest.tools.map((tool) => tool.name));
    assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
    assert.equal(session.stderr(), "");
  });
}
