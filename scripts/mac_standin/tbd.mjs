// Writes a text-based stub (.tbd, version 4) of a Mac library for both
// architectures: its install name, and as its exports what the ELF
// libraries named after it define (nm -D), with the leading underscore that
// Mach-O adds to every C name. The linker needs no more of a library it only
// links against.
//
// Usage: node tbd.mjs <install name> <library.so>... > stub.tbd
import { execFileSync } from "node:child_process";

const [installName, ...libraries] = process.argv.slice(2);
const strong = new Set();
const weak = new Set();
for (const library of libraries) {
  const listing = execFileSync("llvm-nm-19", ["-D", "--defined-only", library], {
    encoding: "utf8",
    maxBuffer: 64 << 20,
  });
  for (const line of listing.split("\n")) {
    const [, type, name] = line.trim().split(/\s+/);
    // Absolute symbols name ELF's symbol versions, not code or data.
    if (!name || type === "A") continue;
    // A symbol version (name@@VERS) is ELF's alone.
    const symbol = `_${name.replace(/@.*$/, "")}`;
    (type === "W" || type === "V" ? weak : strong).add(symbol);
  }
}
for (const symbol of strong) weak.delete(symbol);
if (strong.size === 0) {
  console.error(`tbd: no exports read from ${libraries.join(" ")}`);
  process.exit(1);
}

const targets = "[ x86_64-macos, arm64-macos ]";
const list = (symbols) =>
  [...symbols]
    .sort()
    .map((s) => `"${s}"`)
    .join(", ");
let text = `--- !tapi-tbd
tbd-version: 4
targets: ${targets}
install-name: "${installName}"
exports:
  - targets: ${targets}
    symbols: [ ${list(strong)} ]
`;
if (weak.size > 0) text += `    weak-symbols: [ ${list(weak)} ]\n`;
process.stdout.write(`${text}...\n`);
