// The Codex and Gemini CLIs take the README's lines as written: each line
// run in a home of its own, the file it writes compared with the README's,
// the server started by the client itself and connected, and the
// Uninstalling section's line taking it away again. Each CLI is pinned by
// tests/clients/<name>/package-lock.json and installed apart, into a cache
// folder (scripts/setup.sh clients). Nothing here needs an account or a
// model; what the CLIs would send all the same is turned off, a proxy that
// refuses everything stands in for the way out, and on Linux every connect()
// of theirs and of their children is watched: one past loopback fails the
// test.
import assert from "node:assert/strict";
import { execFile, spawn } from "node:child_process";
import { once } from "node:events";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { homedir, tmpdir } from "node:os";
import { join } from "node:path";
import { createInterface } from "node:readline";
import { test } from "node:test";
import { promisify } from "node:util";

import { connect, pastLoopback, readme, readmeLines, serverPath, startSimulator, statusOf, tracer, watched }
  from "./support.mjs";

const run = promisify(execFile);
const cache = process.env.ZINDLE_CLIENTS_CACHE ??
  join(process.env.XDG_CACHE_HOME ?? join(homedir(), ".cache"), "zindle-clients");
const bin = (client) => {
  const path = join(cache, client, "node_modules", ".bin", client);
  assert.ok(existsSync(path), `${path} is missing: run scripts/setup.sh clients`);
  return path;
};
const closed = "http://127.0.0.1:9";
const proxies = { HTTPS_PROXY: closed, https_proxy: closed, HTTP_PROXY: closed,
  http_proxy: closed, ALL_PROXY: closed, all_proxy: closed, NO_PROXY: "", no_proxy: "" };
// A home of its own for each line, with the simulator on a free port.
async function inHome(client, body) {
  const home = mkdtempSync(join(tmpdir(), `zindle-${client}-`));
  const log = join(home, "connects.log");
  const sim = await startSimulator();
  try {
    await body({ home, sim, log });
  } finally {
    await sim.stop();
    if (tracer) assert.deepEqual(pastLoopback(log), [], `${client} stayed on loopback`);
    rmSync(home, { recursive: true, force: true });
  }
}

// The README's line as it runs here: the program as built in place of the
// installed path, and the simulator's free port in place of the README's.
const local = (text, sim) => text.replaceAll("/usr/local/bin/zindle_recorder_mcp", serverPath)
  .replaceAll("ZINDLE_OSCQUERY_PORT=9300", `ZINDLE_OSCQUERY_PORT=${sim.queryPort}`)
  .replaceAll('ZINDLE_OSCQUERY_PORT = "9300"', `ZINDLE_OSCQUERY_PORT = "${sim.queryPort}"`)
  .replaceAll('"ZINDLE_OSCQUERY_PORT": "9300"', `"ZINDLE_OSCQUERY_PORT": "${sim.queryPort}"`);

// A shell line as the user types it, the client's bin folder first on PATH.
const shell = (client, env, log) => async (line) => {
  bin(client);
  const [command, args] = watched(["sh", "-c", line], log);
  return run(command, args, { cwd: env.HOME, timeout: 240_000,
    env: { PATH: `${join(cache, client, "node_modules", ".bin")}:${process.env.PATH}`, ...proxies, ...env } });
};
const readmeRemove = (client) => new RegExp(`\`(${client} mcp remove [^\`]*)\``).exec(readme)?.[1] ?? assert.fail(client);

// The README's block of `language` that follows the first line of `client`.
const readmeBlock = (client, language) => {
  const from = readme.indexOf(readmeLines(`${client} mcp add`)[0]);
  return new RegExp(`\`\`\`${language}\\n([\\s\\S]*?)\\s*\`\`\``).exec(readme.slice(from))[1]
    .split("\n").map((line) => line.trim()).join("\n");
};

for (const client of ["codex", "gemini"]) {
  test(`the README gives ${client}'s line, one with another port, and its removal`, () => {
    const adds = readmeLines(`${client} mcp add`);
    assert.equal(adds.length, 2);
    assert.deepEqual(adds.map((line) => line.includes("ZINDLE_OSCQUERY_PORT=9300")), [false, true]);
    readmeRemove(client);
  });
}

// Codex lists its servers without starting them; its app server, asked over
// its JSON-RPC for the servers' status, starts each and lists its tools.
async function codexStatus(home, log) {
  const [command, args] = watched([bin("codex"), "-c", "check_for_update_on_startup=false",
    "-c", "analytics.enabled=false", "-c", "feedback.enabled=false", "app-server"], log);
  const child = spawn(command, args, { cwd: home, env: { PATH: process.env.PATH, HOME: home, ...proxies },
    stdio: ["pipe", "pipe", "ignore"] });
  const request = (id, method, params) => `${JSON.stringify({ jsonrpc: "2.0", id, method, params })}\n`;
  child.stdin.write(request(1, "initialize", { clientInfo: { name: "zindle-e2e", version: "1" } }));
  child.stdin.write(`${JSON.stringify({ jsonrpc: "2.0", method: "initialized" })}\n`);
  child.stdin.write(request(2, "mcpServerStatus/list", {}));
  const timer = setTimeout(() => child.kill("SIGKILL"), 120_000);
  try {
    for await (const line of createInterface({ input: child.stdout })) {
      const message = JSON.parse(line);
      if (message.id === 2) return message.result ?? assert.fail(line);
    }
    return assert.fail("codex app-server gave no status");
  } finally {
    clearTimeout(timer);
    child.stdin.end();
    if (child.exitCode === null) await once(child, "exit");
  }
}

for (const line of readmeLines("codex mcp add")) {
  test(`Codex takes the README's line and connects: ${line}`, async () => {
    await inHome("codex", async ({ home, sim, log }) => {
      const codex = shell("codex", { HOME: home }, log);
      await codex(local(line, sim));
      // The file is the README's, its env table only with the port.
      const toml = local(readmeBlock("codex", "toml"), sim);
      const written = readFileSync(join(home, ".codex", "config.toml"), "utf8").trim();
      assert.equal(written, line.includes("ZINDLE_OSCQUERY_PORT=") ? toml : toml.split("\n\n")[0]);

      const { data } = await codexStatus(home, log);
      const server = data.find((entry) => entry.name === "zindle-recorder");
      assert.equal(server.serverInfo.name, "zindle-recorder");
      assert.deepEqual(Object.keys(server.tools).sort(),
        ["recorder_configure", "recorder_start", "recorder_status", "recorder_stop"]);

      await codex(readmeRemove("codex"));
      assert.doesNotMatch(readFileSync(join(home, ".codex", "config.toml"), "utf8"), /zindle-recorder/);
    });
  });
}

// Gemini CLI starts servers only in a folder the user trusts, which its
// documented variable grants here; its settings turn off updates and usage
// statistics, its variable telemetry. It would restart itself with a larger
// heap first, which only costs time here.
const geminiEnv = (home) => ({ HOME: home, GEMINI_CLI_TRUST_WORKSPACE: "true",
  GEMINI_TELEMETRY_ENABLED: "false", GEMINI_CLI_NO_RELAUNCH: "true" });
const geminiSettings = { general: { enableAutoUpdate: false, enableAutoUpdateNotification: false },
  privacy: { usageStatisticsEnabled: false }, telemetry: { enabled: false } };

for (const line of readmeLines("gemini mcp add")) {
  test(`Gemini CLI takes the README's line and connects: ${line}`, async () => {
    await inHome("gemini", async ({ home, sim, log }) => {
      const settings = join(home, ".gemini", "settings.json");
      mkdirSync(join(home, ".gemini"));
      writeFileSync(settings, JSON.stringify(geminiSettings));
      const gemini = shell("gemini", geminiEnv(home), log);
      await gemini(local(line, sim));
      // The entry is the README's, its env only with the port.
      const { env, ...entry } = JSON.parse(local(readmeBlock("gemini", "json"), sim)).mcpServers["zindle-recorder"];
      const withPort = line.includes("ZINDLE_OSCQUERY_PORT=");
      const written = JSON.parse(readFileSync(settings, "utf8")).mcpServers["zindle-recorder"];
      assert.deepEqual(written, withPort ? { ...entry, env } : entry);

      // It prints the list on standard error.
      const { stdout, stderr } = await gemini("gemini mcp list");
      assert.match(stdout + stderr, /^✓ zindle-recorder: .* - Connected$/m);
      if (withPort) {
        const session = await connect({ command: written.command, args: written.args, env: written.env });
        try {
          assert.equal(statusOf(await session.call("recorder_status")).state, "idle");
        } finally {
          await session.close();
        }
      }

      await gemini(readmeRemove("gemini"));
      assert.equal(JSON.parse(readFileSync(settings, "utf8")).mcpServers?.["zindle-recorder"], undefined);
    });
  });
}
