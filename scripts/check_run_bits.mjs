#!/usr/bin/env node
// Fails when a script that is run directly, by path, is not executable as
// git records it: a clone would then stop with "Permission denied" where the
// Makefile, the workflow or another script runs it. Run directly means in
// the place of a command (a recipe line, a `run:` step, after ; && || | $(
// exec then do else), or handed to execFileSync or spawn; `sh script` and
// `node script` need no run bit and are not counted.
//
// Usage: scripts/check_run_bits.mjs   (make test)
import { execFileSync } from "node:child_process";
import { existsSync, readFileSync, statSync } from "node:fs";
import { dirname, join, normalize } from "node:path";

const root = join(dirname(new URL(import.meta.url).pathname), "..");
const git = (...args) => execFileSync("git", ["-C", root, ...args], { encoding: "utf8" });

// Mode by path, of every file git tracks.
const modes = new Map();
for (const line of git("ls-files", "-s").split("\n")) {
  const match = /^(\d+) \S+ \d+\t(.*)$/.exec(line);
  if (match) modes.set(match[2], match[1]);
}
const tracked = [...modes.keys()];
const shebang = (path) => readFileSync(join(root, path), "utf8").startsWith("#!");
const readers = [
  "Makefile",
  ...tracked.filter((path) => path.startsWith(".github/workflows/")),
  ...tracked.filter((path) => /^(\.ci|scripts|tests)\//.test(path) && shebang(path)),
  ...tracked.filter((path) => /^(scripts|tests)\//.test(path) && path.endsWith(".mjs")),
];

const path = String.raw`"?((?:\$\{?(?:root|here)\}?\/|\.\/)?(?:[\w.-]+\/)*[\w.-]+\.(?:sh|mjs|js|py)|(?:\.ci|scripts|tests)\/[\w./-]+)`;
const command = new RegExp(
  String.raw`(?:^|[;&|(]|\$\(|\b(?:exec|then|do|else)\s|run:\s)\s*(?:[A-Z_]+=\S*\s+)*` + path,
  "g",
);
const handed = new RegExp(String.raw`\b(?:execFileSync|execFile|spawnSync|spawn)\(\s*` + path.replace("\"?", `["'\`]`), "g");

const problems = new Set();
for (const reader of readers) {
  // A line continued is one command with the next: numbered by its first.
  const lines = [];
  let continued = false;
  readFileSync(join(root, reader), "utf8")
    .split("\n")
    .forEach((text, index) => {
      if (continued) lines.at(-1).text += ` ${text}`;
      else lines.push({ text, number: index + 1 });
      continued = text.endsWith("\\");
    });
  for (const { text: raw, number } of lines) {
    if (/^\s*(#|\/\/)/.test(raw)) continue;
    // A recipe line's @ and - are make's, not the command's.
    const line = reader === "Makefile" ? raw.replace(/^\t[@-]*/, "") : raw;
    for (const match of [...line.matchAll(command), ...line.matchAll(handed)]) {
      const named = match[1]
        .replace(/^\$\{?root\}?\//, "")
        .replace(/^\$\{?here\}?\//, `${dirname(reader)}/`);
      const target = normalize(named);
      const where = `${reader}:${number}`;
      if (!existsSync(join(root, target)) || !statSync(join(root, target)).isFile()) continue;
      if (modes.get(target) !== "100755") {
        problems.add(`${where} runs ${target}, which git records without its run bit`);
      }
    }
  }
}
if (problems.size > 0) {
  console.error([...problems].join("\n"));
  console.error("Fix with: git update-index --chmod=+x <script> (and chmod +x)");
  process.exit(1);
}
