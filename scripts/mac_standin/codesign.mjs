// The stand-in Mac's codesign, for ad hoc signatures alone. LLVM's linker
// writes the ad hoc signature (the stand-in compiler asks it to), so that
// signing here checks what a Mac's codesign would write instead of writing
// it: every slice must carry a code signature whose code directory is ad hoc
// and whose page hashes match the slice, up to the signature itself.
// `--sign -` records the file (by its SHA-256) as signed; `--verify` checks
// the signatures again and that the file is one recorded, so that a build
// that skips signing, or changes the file after, fails as on a Mac.
//
// Usage: codesign.mjs --force --sign - <file>
//        codesign.mjs --verify [--strict] <file>
import { createHash } from "node:crypto";
import { mkdirSync, readFileSync, existsSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const FAT_MAGIC = 0xcafebabe;
const MH_MAGIC_64 = 0xfeedfacf;
const LC_CODE_SIGNATURE = 0x1d;
const CSMAGIC_EMBEDDED_SIGNATURE = 0xfade0cc0;
const CSMAGIC_CODEDIRECTORY = 0xfade0c02;
const CSSLOT_CODEDIRECTORY = 0;
const CS_ADHOC = 0x2;
const HASHES = { 1: "sha1", 2: "sha256" };

function fail(message) {
  console.error(`codesign: ${message}`);
  process.exit(1);
}

// [{ name, bytes }] of each slice: every one of a universal file, or the one.
function slices(file) {
  const data = readFileSync(file);
  if (data.length >= 8 && data.readUInt32BE(0) === FAT_MAGIC) {
    const count = data.readUInt32BE(4);
    const found = [];
    for (let i = 0; i < count; i++) {
      const entry = 8 + i * 20;
      const offset = data.readUInt32BE(entry + 8);
      const size = data.readUInt32BE(entry + 12);
      found.push({ name: `slice ${i}`, bytes: data.subarray(offset, offset + size) });
    }
    return found;
  }
  return [{ name: "the file", bytes: data }];
}

// Throws, naming what is wrong, unless the slice is signed ad hoc and its
// pages are the ones signed. Returns the signature's identifier.
function checkSlice(slice) {
  const bytes = slice.bytes;
  if (bytes.length < 32 || bytes.readUInt32LE(0) !== MH_MAGIC_64) {
    throw new Error(`${slice.name} is not a 64-bit Mach-O`);
  }
  const commands = bytes.readUInt32LE(16);
  let at = 32;
  let signature = null;
  for (let i = 0; i < commands; i++) {
    const command = bytes.readUInt32LE(at);
    if (command === LC_CODE_SIGNATURE) {
      signature = { offset: bytes.readUInt32LE(at + 8), size: bytes.readUInt32LE(at + 12) };
    }
    at += bytes.readUInt32LE(at + 4);
  }
  if (signature === null) throw new Error(`${slice.name} is not signed`);
  const blob = bytes.subarray(signature.offset, signature.offset + signature.size);
  if (blob.readUInt32BE(0) !== CSMAGIC_EMBEDDED_SIGNATURE) {
    throw new Error(`${slice.name}: no embedded signature where its load command points`);
  }
  let directory = null;
  for (let i = 0; i < blob.readUInt32BE(8); i++) {
    if (blob.readUInt32BE(12 + i * 8) === CSSLOT_CODEDIRECTORY) {
      directory = blob.subarray(blob.readUInt32BE(16 + i * 8));
    }
  }
  if (directory === null || directory.readUInt32BE(0) !== CSMAGIC_CODEDIRECTORY) {
    throw new Error(`${slice.name}: the signature has no code directory`);
  }
  const flags = directory.readUInt32BE(12);
  const hashOffset = directory.readUInt32BE(16);
  const identOffset = directory.readUInt32BE(20);
  const codeSlots = directory.readUInt32BE(28);
  const codeLimit = directory.readUInt32BE(32);
  const hashSize = directory.readUInt8(36);
  const hash = HASHES[directory.readUInt8(37)];
  const pageSize = 2 ** directory.readUInt8(39);
  if ((flags & CS_ADHOC) === 0) throw new Error(`${slice.name} is signed, but not ad hoc`);
  if (hash === undefined) throw new Error(`${slice.name}: unknown hash type`);
  if (codeLimit !== signature.offset) {
    throw new Error(`${slice.name}: the signature covers ${codeLimit} bytes of ${signature.offset}`);
  }
  if (codeSlots !== Math.ceil(codeLimit / pageSize)) {
    throw new Error(`${slice.name}: ${codeSlots} pages signed of ${Math.ceil(codeLimit / pageSize)}`);
  }
  for (let page = 0; page < codeSlots; page++) {
    const start = page * pageSize;
    const actual = createHash(hash)
      .update(bytes.subarray(start, Math.min(start + pageSize, codeLimit)))
      .digest();
    const signed = directory.subarray(hashOffset + page * hashSize, hashOffset + (page + 1) * hashSize);
    if (!actual.subarray(0, hashSize).equals(signed)) {
      throw new Error(`${slice.name}: page ${page} changed since it was signed`);
    }
  }
  const end = directory.indexOf(0, identOffset);
  return directory.subarray(identOffset, end).toString("latin1");
}

const args = process.argv.slice(2);
const file = args.at(-1);
const signing = args.includes("--sign") || args.includes("-s");
const verifying = args.includes("--verify") || args.includes("-v");
if (signing === verifying || file === undefined || !existsSync(file)) {
  fail("the stand-in signs (--sign -) or verifies (--verify) one file");
}
if (signing && args[args.indexOf(args.includes("--sign") ? "--sign" : "-s") + 1] !== "-") {
  fail("the stand-in signs ad hoc alone (--sign -)");
}
try {
  for (const slice of slices(file)) checkSlice(slice);
} catch (error) {
  fail(`${file}: ${error.message}`);
}
const records = join(process.env.ZINDLE_MAC_STANDIN ?? fail("no stand-in Mac"), "signed");
const digest = createHash("sha256").update(readFileSync(file)).digest("hex");
if (signing) {
  mkdirSync(records, { recursive: true });
  writeFileSync(join(records, digest), `${file}\n`);
} else if (!existsSync(join(records, digest))) {
  fail(`${file}: code object is not signed at all`);
}
