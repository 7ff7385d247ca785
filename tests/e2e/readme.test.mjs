// Follows the README to the letter: the mcpServers entry of a desktop app
// (and Cursor) and the servers entry of VS Code, each started as such a
// client starts it, Claude Code's own command lines, the Inspector's command
// line and the version check, all against the simulator; and the
// simulator's manual page against its --help.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { promisify } from "node:util";

import { connect, serverPath, simPath, startSimulator, statusOf } from "./support.mjs";

const run = promisify(execFile);
const readme = readFileSync(new URL("../../README.md", import.meta.url), "utf8");

// Every shell line of the README that starts with `start`, continuations
// joined; the first of them.
const readmeLines = (start) => [...readme.matchAll(/```sh\n([\s\S]*?)```/g)]
  .flatMap((match) => match[1].replace(/\\\n\s*/g, "").split("\n"))
  .map((text) => text.trim()).filter((text) => text.startsWith(start));
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

// Claude Code's command line as the README gives it, pinned with the tests,
// in a home of its own. Nothing it does here needs an account or the
// network; what it would send all the same is turned off, and a proxy that
// refuses everything stands in for the way out.
const claudeBin = new URL("../../node_modules/.bin", import.meta.url).pathname;
const claudeIn = (home) => (line) => run("sh", ["-c", line], {
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
