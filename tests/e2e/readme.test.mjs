// Follows the README to the letter: each client's snippet, in the file and
// under the keys its documentation gives, started as that client starts it;
// the Inspector's command line and the version check, against the
// simulator; and the simulator's manual page against its --help. (The
// command-line clients' lines: clients.test.mjs.)
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import { promisify } from "node:util";

import { connect, readme, readmeLines, serverPath, simPath, startSimulator, statusOf } from "./support.mjs";

const run = promisify(execFile);
const readmeLine = (start) => readmeLines(start)[0] ?? assert.fail(start);
const section = (from, to) => readme.slice(readme.indexOf(from), readme.indexOf(to));

// Each client of the README's list, in its order: its name there and under
// "Uninstalling", and, from its own documentation, the file it reads, the
// key that holds the servers and the keys of a local server's entry. The
// command-line clients' snippets are what the clients themselves write
// (clients.test.mjs); Cursor's is the desktop app's, in a file of its own.
const clients = [
  ["A desktop assistant app", "the desktop app", "~/Library/Application Support/Claude/claude_desktop_config.json",
    "mcpServers", ["command", "args", "env"]],
  ["Claude Code", "Claude Code"],
  ["Codex CLI", "Codex CLI", "~/.codex/config.toml"],
  ["Gemini CLI", "Gemini CLI", "~/.gemini/settings.json"],
  ["VS Code", "VS Code", ".vscode/mcp.json", "servers", ["type", "command", "args", "env"]],
  ["Cursor", "Cursor", "~/.cursor/mcp.json"],
  ["Windsurf", "Windsurf", "~/.codeium/windsurf/mcp_config.json", "mcpServers", ["command", "args", "env"]],
  ["Zed", "Zed", "~/.config/zed/settings.json", "context_servers", ["command", "args", "env"]],
];

test("the README registers the server with each client as its documentation says", async () => {
  const registering = section("## Registering it with a client", "## Uninstalling");
  const uninstalling = section("Then take the `zindle-recorder` entry", "## The tools");
  for (const [text, names] of [[registering, clients.map(([name]) => `\n- **${name}`)],
    [uninstalling, clients.map(([, name]) => `\n- ${name}:`)]]) {
    const at = names.map((name) => text.indexOf(name));
    assert.ok(at.every((place, i) => place >= 0 && place > (at[i - 1] ?? -1)), names.join());
  }
  const sim = await startSimulator();
  for (const [name, , file, key, keys] of clients) {
    const bullet = registering.split(/\n- \*\*/).find((text) => text.startsWith(name));
    assert.ok(!file || bullet.includes(`\`${file}\``), `${name}: ${file}`);
    for (const [, text] of key ? bullet.matchAll(/```json\n([\s\S]*?)```/g) : []) {
      const document = JSON.parse(text);
      assert.deepEqual(Object.keys(document), [key], name);
      const entry = document[key]["zindle-recorder"];
      assert.ok(Object.keys(entry).every((k) => keys.includes(k)), `${name}: ${Object.keys(entry)}`);
      assert.equal(entry.command, "/usr/local/bin/zindle_recorder_mcp", name);
      assert.equal(entry.type, key === "servers" ? "stdio" : undefined, name);
      assert.ok(Object.values(entry.env ?? {}).every((value) => typeof value === "string"), name);
      // Started as written, but for the program as built in place of the
      // installed one, and the simulator's free port.
      const env = { ...entry.env, ZINDLE_OSCQUERY_PORT: String(sim.queryPort) };
      const { call } = await connect({ command: serverPath, args: entry.args, env });
      assert.equal(statusOf(await call("recorder_status")).state, "idle", name);
    }
  }
});

// The README's commands against the simulator, and what each prints. The
// installed path and the README's port (which may be taken here) are what
// differ: the program as built, and the simulator's free port.
const commands = [
  // Installed with the tests: the registry is never asked.
  ["npx @modelcontextprotocol/inspector --cli", (stdout) => assert.equal(statusOf(JSON.parse(stdout)).state, "idle")],
  ["echo", (stdout) => assert.deepEqual(JSON.parse(stdout).result.serverInfo,
    { name: "zindle-recorder", version: process.env.ZINDLE_VERSION })],
];
test("the README's Inspector command line reads the simulator, and its version check prints the version", async () => {
  const port = /--port (\d+)/.exec(readmeLine("build/release/sim/zindle_recorder_sim"))[1];
  const sim = await startSimulator();
  for (const [start, prints] of commands) {
    const line = readmeLine(start).replace(/\S*\/zindle_recorder_mcp/, serverPath).replaceAll(port, sim.queryPort);
    prints((await run("sh", ["-c", line], { env: { ...process.env, npm_config_offline: "true" } })).stdout);
  }
});

test("the simulator's manual page names every option of its --help", async () => {
  const page = readFileSync(new URL("../../packaging/man/zindle_recorder_sim.1", import.meta.url), "utf8");
  for (const [, option] of (await run(simPath, ["--help"])).stdout.matchAll(/^ {2}(--[a-z-]+)/gm)) {
    assert.ok(page.includes(option.replaceAll("-", "\\-")), `${option} is in the manual page`);
  }
});
