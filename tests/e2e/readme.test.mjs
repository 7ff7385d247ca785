// Follows the README to the letter: the mcpServers entry of a desktop app
// (and Cursor) and the servers entry of VS Code, each started as such a
// client starts it, Claude Code's own command lines, the Inspector's command
// line and the version check, all against the simulator; every client's
// snippet against the keys its documentation gives (Codex's and Gemini's
// lines: clients.test.mjs); and the simulator's manual page against its
// --help.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { promisify } from "node:util";

import { connect, pastLoopback, readme, readmeLines, serverPath, simPath, startSimulator, statusOf, tracer, watched }
  from "./support.mjs";

const run = promisify(execFile);

// The first of the README's shell lines that start with `start`.
const readmeLine = (start) => readmeLines(start)[0] ?? assert.fail(start);

// The zindle-recorder entry under `key` in the README's JSON blocks.
const readmeEntry = (key) => JSON.parse([...readme.matchAll(/```json\n([\s\S]*?)```/g)]
  .map((match) => match[1]).find((text) => text.includes(`"${key}"`)) ?? assert.fail(key))[key]["zindle-recorder"];

for (const [key, type] of [["mcpServers", undefined], ["servers", "stdio"]]) {
  test(`the README's ${key} entry works with the official client`, async () => {
    const entry = readmeEntry(key);
    assert.equal(entry.type, type);
    assert.equal(entry.command, "/usr/local/bin/zindle_recorder_mcp");
    assert.deepEqual(entry.args, []);
    assert.equal(entry.env, undefined);  // the app's own port needs none
    // The installed path and the app's port are what differ here: the
    // program as built, and the simulator's free port.
    const sim = await startSimulator();
    const session = await connect({ command: serverPath, args: entry.args,
      env: { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } });
    try {
      assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
    } finally {
      await session.close();
      await sim.stop();
    }
  });
}

// Each client of the README's list, in its order: its name there and under
// "Uninstalling", and, from its own documentation, the file it reads, the
// key that holds the servers and the keys of a local server's entry. Claude
// Code's entry is written by its command line alone; Cursor's is the desktop
// app's, in a file of its own.
const clients = [
  ["A desktop assistant app", "the desktop app", "~/Library/Application Support/Claude/claude_desktop_config.json", "json", "mcpServers", ["command", "args", "env"]],
  ["Claude Code", "Claude Code"],
  ["Codex CLI", "Codex CLI", "~/.codex/config.toml", "toml", "mcp_servers", ["command", "args", "env", "cwd"]],
  ["Gemini CLI", "Gemini CLI", "~/.gemini/settings.json", "json", "mcpServers", ["command", "args", "env", "cwd", "timeout", "trust"]],
  ["VS Code", "VS Code", ".vscode/mcp.json", "json", "servers", ["type", "command", "args", "env"]],
  ["Cursor", "Cursor", "~/.cursor/mcp.json"],
  ["Windsurf", "Windsurf", "~/.codeium/windsurf/mcp_config.json", "json", "mcpServers", ["command", "args", "env"]],
  ["Zed", "Zed", "~/.config/zed/settings.json", "json", "context_servers", ["command", "args", "env"]],
];
const section = (from, to) => readme.slice(readme.indexOf(from), readme.indexOf(to));
const registering = section("## Registering it with a client", "## Uninstalling");
const blocks = (text) => [...text.matchAll(/```(json|toml)\n([\s\S]*?)```/g)];

// The TOML of a configuration snippet: tables, and keys whose values are
// strings or arrays of them, written as JSON writes them.
const parseToml = (text) => {
  const root = {};
  let table = root;
  for (const line of text.split("\n").map((l) => l.trim()).filter(Boolean)) {
    const header = /^\[([\w.-]+)\]$/.exec(line);
    if (header) {
      table = header[1].split(".").reduce((at, name) => (at[name] ??= {}), root);
      continue;
    }
    const [, key, value] = /^([\w-]+|"[^"]+") = (.+)$/.exec(line) ?? assert.fail(line);
    table[key.replaceAll('"', "")] = JSON.parse(value);
  }
  return root;
};

test("the README registers the server with each client as its documentation says", () => {
  const bullets = registering.split(/\n- \*\*/).slice(1);
  const order = (text, names) => names.map((name) => text.indexOf(name));
  const uninstalling = section("Then take the `zindle-recorder` entry", "## The tools");
  for (const [names, text] of [[clients.map(([name]) => `\n- **${name}`), registering],
    [clients.map(([, name]) => `\n- ${name}:`), uninstalling]]) {
    const at = order(text, names);
    assert.ok(at.every((place, i) => place >= 0 && (i === 0 || place > at[i - 1])), names.join());
  }
  let snippets = 0;
  for (const [name, , file, language, key, keys] of clients) {
    const bullet = bullets.find((text) => text.startsWith(name));
    if (file) assert.ok(bullet.includes(`\`${file}\``), `${name}: ${file}`);
    for (const [, kind, text] of blocks(bullet)) {
      snippets += 1;
      assert.equal(kind, language, name);
      const document = kind === "json" ? JSON.parse(text) : parseToml(text);
      assert.deepEqual(Object.keys(document), [key], name);
      const entry = document[key]["zindle-recorder"];
      assert.ok(Object.keys(entry).every((k) => keys.includes(k)), `${name}: ${Object.keys(entry)}`);
      assert.equal(entry.command, "/usr/local/bin/zindle_recorder_mcp", name);
      if (key === "servers") assert.equal(entry.type, "stdio");
      if ("args" in entry) assert.ok(entry.args.every((arg) => typeof arg === "string"), name);
      if ("env" in entry) {
        assert.equal(Object.getPrototypeOf(entry.env), Object.prototype, name);
        assert.ok(Object.values(entry.env).every((value) => typeof value === "string"), name);
      }
    }
  }
  assert.equal(snippets, blocks(registering).length, "every snippet is a client's");
});

// Claude Code's command line as the README gives it, pinned with the tests,
// in a home of its own. Nothing it does here needs an account or the
// network; what it would send all the same is turned off, and a proxy that
// refuses everything stands in for the way out; on Linux a connection past
// loopback fails the test.
const claudeBin = new URL("../../node_modules/.bin", import.meta.url).pathname;
const claudeIn = (home) => (line) => run(...watched(["sh", "-c", line], join(home, "connects.log")), {
  cwd: home,
  env: { PATH: `${claudeBin}:${process.env.PATH}`, HOME: home,
    DISABLE_AUTOUPDATER: "1", CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC: "1",
    DISABLE_TELEMETRY: "1", DISABLE_ERROR_REPORTING: "1",
    HTTPS_PROXY: "http://127.0.0.1:9", https_proxy: "http://127.0.0.1:9" },
});

const claudeAdds = readmeLines("claude mcp add");
test("the README gives Claude Code's line, and one with another port", () => {
  assert.equal(claudeAdds.length, 2);
  assert.equal(claudeAdds.filter((line) => line.includes("ZINDLE_OSCQUERY_PORT=")).length, 1);
});

for (const line of claudeAdds) {
  test(`Claude Code takes the README's line and connects: ${line}`, async () => {
    const home = mkdtempSync(join(tmpdir(), "zindle-claude-"));
    const sim = await startSimulator();
    const claude = claudeIn(home);
    try {
      // The installed path and the README's port (9300) are what differ
      // here: the program as built, and the simulator's free port.
      await claude(line.replace("/usr/local/bin/zindle_recorder_mcp", serverPath)
        .replace("ZINDLE_OSCQUERY_PORT=9300", `ZINDLE_OSCQUERY_PORT=${sim.queryPort}`));
      const { stdout } = await claude("claude mcp list");
      assert.match(stdout, /^zindle-recorder: .* Connected$/m);

      // The entry as Claude Code starts it reaches the app on the port given.
      const entry = JSON.parse(readFileSync(join(home, ".claude.json"), "utf8")).mcpServers["zindle-recorder"];
      assert.equal(entry.command, serverPath);
      const withPort = line.includes("ZINDLE_OSCQUERY_PORT=");
      assert.deepEqual(entry.env, withPort ? { ZINDLE_OSCQUERY_PORT: String(sim.queryPort) } : {});
      if (withPort) {
        const session = await connect({ command: entry.command, args: entry.args, env: entry.env });
        try {
          assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
        } finally {
          await session.close();
        }
      }

      // And the Uninstalling section's line takes it away again.
      await claude(/`(claude mcp remove [^`]*)`/.exec(readme)[1]);
      assert.doesNotMatch((await claude("claude mcp list")).stdout, /zindle-recorder/);
    } finally {
      await sim.stop();
      if (tracer) assert.deepEqual(pastLoopback(join(home, "connects.log")), [], "Claude Code stayed on loopback");
      rmSync(home, { recursive: true, force: true });
    }
  });
}

test("the README's Inspector command line reads the simulator", async () => {
  // The README's port may be taken here: a free one stands in for it.
  const port = /--port (\d+)/.exec(readmeLine("build/release/sim/zindle_recorder_sim"))[1];
  const sim = await startSimulator();
  const [command, ...args] = readmeLine("npx @modelcontextprotocol/inspector --cli")
    .replaceAll(port, sim.queryPort).split(/\s+/)
    .map((word) => (word === "build/release/zindle_recorder_mcp" ? serverPath : word));
  // Installed with the tests: the registry is never asked.
  const { stdout } = await run(command, args, { env: { ...process.env, npm_config_offline: "true" } })
    .finally(() => sim.stop());
  assert.equal(statusOf(JSON.parse(stdout)).state, "idle");
});

test("the README's version check prints the version", async () => {
  const line = readmeLine("echo").replace("/usr/local/bin/zindle_recorder_mcp", serverPath);
  assert.deepEqual(JSON.parse((await run("sh", ["-c", line])).stdout).result.serverInfo,
    { name: "zindle-recorder", version: process.env.ZINDLE_VERSION });
});

test("the README reports problems where the packages say the project lives", () => {
  const packaging = readFileSync(new URL("../../cmake/packaging.cmake", import.meta.url), "utf8");
  const address = (name) => new RegExp(`set\\(${name} "([^"]+)"\\)`).exec(packaging)[1];
  const section = readme.slice(readme.indexOf("## Reporting a problem"));
  assert.ok(section.startsWith(`## Reporting a problem\n\nReport it at <${address("ZINDLE_SUPPORT")}>`));
  assert.ok(section.includes(`<${address("ZINDLE_HOMEPAGE")}>`));
});

test("the simulator's manual page names every option of its --help", async () => {
  const page = readFileSync(new URL("../../packaging/man/zindle_recorder_sim.1", import.meta.url), "utf8");
  for (const [, option] of (await run(simPath, ["--help"])).stdout.matchAll(/^ {2}(--[a-z-]+)/gm)) {
    assert.ok(page.includes(option.replaceAll("-", "\\-")), `${option} is in the manual page`);
  }
});
