// The command-line clients take the README's lines as written: each line run
// in a home of its own, the entry it writes compared with the README's, the
// server started by the client itself and connected (which needs no app, so
// that the README's port stays as written), and the Uninstalling section's
// line taking it away again. Claude Code's CLI is pinned with the
// tests; Codex's and Gemini's by tests/clients/<name>/package-lock.json, each
// installed apart, into a cache folder (scripts/setup.sh clients). Nothing
// here needs an account or a model; what the CLIs would send all the same is
// turned off, a proxy that refuses everything stands in for the way out, and
// on Linux every connect() of theirs and of their children is watched: one
// past loopback fails the test.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { homedir, tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { promisify } from "node:util";

import { request, startProcess } from "../support/processes.mjs";
import { readme, readmeLines, serverPath } from "./support.mjs";

const run = promisify(execFile);
const { ZINDLE_CLIENTS_CACHE, XDG_CACHE_HOME = join(homedir(), ".cache") } = process.env;
const cache = ZINDLE_CLIENTS_CACHE ?? join(XDG_CACHE_HOME, "zindle-clients");
const proxies = Object.fromEntries(["HTTPS_PROXY", "https_proxy", "HTTP_PROXY", "http_proxy", "ALL_PROXY", "all_proxy"]
  .map((name) => [name, "http://127.0.0.1:9"]).concat([["NO_PROXY", ""], ["no_proxy", ""]]));

// Under strace where there is one (on Linux, where the set-up installs it),
// every connect() of `argv` and of its children added to `log`; the
// addresses in it past loopback.
const tracer = ["/usr/bin/strace", "/bin/strace"].find(existsSync);
assert.ok(tracer || process.platform !== "linux", "strace is missing: run make setup");
const watched = (argv, log) =>
  (tracer ? [tracer, ["-f", "-qq", "-e", "trace=connect", "-A", "-o", log, ...argv]] : [argv[0], argv.slice(1)]);
const connects = /inet_addr\("([^"]+)"\)|inet_pton\(AF_INET6, "([^"]+)"/g;
const pastLoopback = (log) => [...readFileSync(log, "utf8").matchAll(connects)]
  .map((match) => match[1] ?? match[2]).filter((address) => !/^(127\.|::1$|::ffff:127\.)/.test(address));

// The README's line as it runs here: the program as built in place of the
// installed path.
const local = (text) => text.replaceAll("/usr/local/bin/zindle_recorder_mcp", serverPath);
const readmeRemove = (cli) => new RegExp(`\`(${cli} mcp remove [^\`]*)\``).exec(readme)?.[1] ?? assert.fail(cli);
// The README's block of `language` that follows the first line of `cli`.
const readmeBlock = (cli, language) => new RegExp(`\`\`\`${language}\\n([\\s\\S]*?)\\s*\`\`\``)
  .exec(readme.slice(readme.indexOf(readmeLines(`${cli} mcp add`)[0])))[1].replace(/^ +/gm, "");
const entryIn = (file) => JSON.parse(readFileSync(file, "utf8")).mcpServers?.["zindle-recorder"];
const listed = (pattern) => ({ name, shell }) =>
  shell(`${name} mcp list`).then(({ stdout, stderr }) => assert.match(stdout + stderr, pattern));

// Codex lists its servers without starting them; its app server, asked over
// its JSON-RPC for the servers' status, starts each and lists its tools.
async function codexStatus({ bin, home, log }) {
  const [command, args] = watched([join(bin, "codex"), "-c", "check_for_update_on_startup=false",
    "-c", "analytics.enabled=false", "-c", "feedback.enabled=false", "app-server"], log);
  const codex = startProcess(command, args, { cwd: home, timeout: 120_000,
    env: { PATH: process.env.PATH, HOME: home, ...proxies } });
  await request(codex, "initialize", { clientInfo: { name: "zindle-e2e", version: "1" } }, 1);
  codex.write(`${JSON.stringify({ jsonrpc: "2.0", method: "initialized" })}\n`);
  const { result, line } = await request(codex, "mcpServerStatus/list", {}, 2);
  codex.end();
  await codex.exited;
  const server = (result ?? assert.fail(line)).data.find((entry) => entry.name === "zindle-recorder");
  assert.deepEqual(Object.keys(server.tools).sort(),
    ["recorder_configure", "recorder_start", "recorder_status", "recorder_stop"]);
}

// Each CLI: where it is, its environment, the file it writes, how that file
// is checked, and how the CLI shows that it started the server. Claude Code
// writes its entry as it likes: only the environment given is the README's.
// Gemini CLI starts servers only in a folder the user trusts, which its
// documented variable grants here; its settings turn off updates and usage
// statistics, its variable telemetry. It would restart itself with a larger
// heap first, which only costs time here.
const clis = {
  claude: {
    title: "Claude Code", bin: new URL("../../node_modules/.bin", import.meta.url).pathname, file: ".claude.json",
    env: { DISABLE_AUTOUPDATER: "1", CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC: "1", DISABLE_TELEMETRY: "1",
      DISABLE_ERROR_REPORTING: "1" },
    written: (file, withPort) => assert.deepEqual(entryIn(file).env, withPort ? { ZINDLE_OSCQUERY_PORT: "9300" } : {}),
    connected: listed(/^zindle-recorder: .* Connected$/m),
  },
  codex: {
    title: "Codex", bin: join(cache, "codex", "node_modules", ".bin"), file: ".codex/config.toml",
    // The file is the README's, its env table only with the port.
    written: (file, withPort) => {
      const toml = local(readmeBlock("codex", "toml"));
      assert.equal(readFileSync(file, "utf8").trim(), withPort ? toml : toml.split("\n\n")[0]);
    },
    connected: codexStatus,
  },
  gemini: {
    title: "Gemini CLI", bin: join(cache, "gemini", "node_modules", ".bin"), file: ".gemini/settings.json",
    env: { GEMINI_CLI_TRUST_WORKSPACE: "true", GEMINI_TELEMETRY_ENABLED: "false", GEMINI_CLI_NO_RELAUNCH: "true" },
    settings: { general: { enableAutoUpdate: false, enableAutoUpdateNotification: false },
      privacy: { usageStatisticsEnabled: false }, telemetry: { enabled: false } },
    // The entry is the README's, its env only with the port.
    written: (file, withPort) => {
      const { env, ...entry } = JSON.parse(local(readmeBlock("gemini", "json"))).mcpServers["zindle-recorder"];
      assert.deepEqual(entryIn(file), withPort ? { ...entry, env } : entry);
    },
    // It prints the list on standard error.
    connected: listed(/^✓ zindle-recorder: .* - Connected$/m),
  },
};

test("the README gives each CLI's line, one with another port, and its removal", () => {
  for (const name of Object.keys(clis)) {
    assert.deepEqual(readmeLines(`${name} mcp add`).map((line) => line.includes("PORT=9300")), [false, true], name);
    readmeRemove(name);
  }
});

for (const [name, { title, bin, file, env, settings, written, connected }] of Object.entries(clis)) {
  for (const line of readmeLines(`${name} mcp add`)) {
    test(`${title} takes the README's line and connects: ${line}`, async (t) => {
      assert.ok(existsSync(join(bin, name)), `${join(bin, name)} is missing: run scripts/setup.sh clients`);
      const home = mkdtempSync(join(tmpdir(), `zindle-${name}-`));
      t.after(() => rmSync(home, { recursive: true, force: true }));
      const log = join(home, "connects.log");
      const shell = (text) => run(...watched(["sh", "-c", text], log),
        { cwd: home, timeout: 240_000, env: { PATH: `${bin}:${process.env.PATH}`, HOME: home, ...proxies, ...env } });
      if (settings) {
        mkdirSync(join(home, file, ".."));
        writeFileSync(join(home, file), JSON.stringify(settings));
      }
      await shell(local(line));
      written(join(home, file), line.includes("ZINDLE_OSCQUERY_PORT="));
      await connected({ name, bin, home, log, shell });
      await shell(readmeRemove(name));
      assert.doesNotMatch(readFileSync(join(home, file), "utf8"), /zindle-recorder/);
      if (tracer) assert.deepEqual(pastLoopback(log), [], `${name} stayed on loopback`);
    });
  }
}
