// Checks an MCP Bundle (.mcpb, a zip) from its bytes: its
// server/zindle_recorder_mcp is the given binary, byte for byte, with its run
// bit, as a Mac's unzip restores it; its manifest starts the server through
// the system's shell, which needs no run bit of the bundle's files; and
// unpacks it into the given folder as the desktop app on macOS does, every
// file 0600, for the packer to validate the manifest with the files it names.
//
// Usage: node check_bundle.mjs <bundle.mcpb> <binary> <folder>
import { mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { inflateRawSync } from "node:zlib";

const [bundlePath, binaryPath, folder] = process.argv.slice(2);
const zip = readFileSync(bundlePath);
function fail(message) {
  console.error(`check_bundle: ${bundlePath}: ${message}`);
  process.exit(1);
}

// name -> { mode, data } of every entry, from the central directory.
function entries() {
  const end = zip.lastIndexOf(Buffer.from([0x50, 0x4b, 0x05, 0x06]));
  if (end < 0) fail("not a zip");
  const found = new Map();
  let at = zip.readUInt32LE(end + 16);
  for (let i = 0; i < zip.readUInt16LE(end + 10); i++) {
    if (zip.readUInt32LE(at) !== 0x02014b50) fail("a broken central directory");
    const method = zip.readUInt16LE(at + 10);
    const size = zip.readUInt32LE(at + 20);
    const nameLength = zip.readUInt16LE(at + 28);
    const skip = nameLength + zip.readUInt16LE(at + 30) + zip.readUInt16LE(at + 32);
    const unix = zip.readUInt8(at + 5) === 3;
    const mode = unix ? zip.readUInt32LE(at + 38) >>> 16 : 0;
    const local = zip.readUInt32LE(at + 42);
    const name = zip.toString("utf8", at + 46, at + 46 + nameLength);
    const start = local + 30 + zip.readUInt16LE(local + 26) + zip.readUInt16LE(local + 28);
    const stored = zip.subarray(start, start + size);
    found.set(name, { mode, data: method === 8 ? inflateRawSync(stored) : stored });
    at += 46 + skip;
  }
  return found;
}

const files = entries();
const server = files.get("server/zindle_recorder_mcp");
if (server === undefined) fail("no server/zindle_recorder_mcp");
if (!server.data.equals(readFileSync(binaryPath))) {
  fail(`server/zindle_recorder_mcp is not ${binaryPath}`);
}
if ((server.mode & 0o111) === 0) {
  fail(`server/zindle_recorder_mcp has no run bit (mode ${server.mode.toString(8)})`);
}
const manifest = files.get("manifest.json");
if (manifest === undefined) fail("no manifest.json");
const { command } = JSON.parse(manifest.data.toString("utf8")).server.mcp_config;
if (command.includes("${__dirname}")) {
  fail(`the manifest starts ${command}, which the desktop app unpacks without its run bit`);
}
rmSync(folder, { recursive: true, force: true });
for (const [name, file] of files) {
  if (name.endsWith("/")) continue;
  const path = join(folder, name);
  if (!path.startsWith(`${folder}/`)) fail(`${name} would land outside`);
  mkdirSync(dirname(path), { recursive: true });
  writeFileSync(path, file.data, { mode: 0o600 });
}
