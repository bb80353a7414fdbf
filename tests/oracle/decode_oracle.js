#!/usr/bin/env node
// The oracle brelt's decoders are compared with, written by nobody here: the
// npm package text-encoding 0.7.0, a pure-JS implementation of the WHATWG
// Encoding Standard by its editor, used only here.
//
//   node tests/oracle/decode_oracle.js --package DIR --tool PATH [--write-digests]
//
// DIR holds node_modules/text-encoding (make oracle puts it there); PATH is the
// test-only brelt_decode_tool, which lists the input sets of
// tests/support/decode_input_sets.hpp, writes their inputs and digests
// outputs. The oracle's digest of each set must be the one in
// tests/data/decode_oracle_digests.txt (--write-digests rewrites it), which
// tests/core/encoding_decode_test.cpp checks brelt's decoders against.
//
// The package predates three changes of the standard and has three bugs of its
// own; each correction below is checked to apply exactly once.
"use strict";

const fs = require("fs");
const path = require("path");
const { spawnSync } = require("child_process");

const REPO = path.resolve(__dirname, "..", "..");
const DIGESTS = path.join(REPO, "tests", "data", "decode_oracle_digests.txt");

// Textual corrections to lib/encoding.js: [why, the package's text, the fix].
const SOURCE_CORRECTIONS = [
  ["EUC-JP: after a bad pair only an ASCII byte is put back (2017 change)",
   "        if (!inRange(bite, 0xA1, 0xFE))\n          stream.prepend(bite);",
   "        if (code_point === null && isASCIIByte(bite))\n          stream.prepend(bite);"],
  ["gb18030: nothing is put back when the fourth byte is a digit (2017 change)",
   "        if (code_point === null) {\n          stream.prepend(buffer);",
   "        if (code_point === null) {\n          if (!inRange(bite, 0x30, 0x39)) stream.prepend(buffer);"],
  ["EUC-KR: the trail is put back when the code point is null, not the pointer (bug)",
   "if (pointer === null && isASCIIByte(bite))",
   "if (code_point === null && isASCIIByte(bite))"],
  ["ISO-2022-JP: a valid escape sets the output state too (bug)",
   "iso2022jp_decoder_state = iso2022jp_decoder_state = state;",
   "iso2022jp_decoder_state = iso2022jp_decoder_output_state = state;"],
];

// GB18030-2022 (in the index since 2024) moved these out of the Private Use Area: [pointer, old, new].
const GB18030_2022_CHANGES = [
  [7182, 0xe78d, 0xfe10], [7183, 0xe78e, 0xfe12], [7184, 0xe78f, 0xfe11],
  [7185, 0xe790, 0xfe13], [7186, 0xe791, 0xfe14], [7187, 0xe792, 0xfe15],
  [7188, 0xe793, 0xfe16], [7201, 0xe794, 0xfe17], [7202, 0xe795, 0xfe18],
  [7208, 0xe796, 0xfe19], [23775, 0xe81e, 0x9fb4], [23783, 0xe826, 0x9fb5],
  [23788, 0xe82b, 0x9fb6], [23789, 0xe82c, 0x9fb7], [23795, 0xe832, 0x9fb8],
  [23812, 0xe843, 0x9fb9], [23829, 0xe854, 0x9fba], [23845, 0xe864, 0x9fbb],
];

// ISO-8859-8-I decodes as ISO-8859-8; the package has no index for it.
const ORACLE_LABEL = { "ISO-8859-8-I": "iso-8859-8" };

const fail = (message) => { console.error("decode oracle: " + message); process.exit(1); };

function loadCorrectedOracle(packageDir) {
  const lib = path.resolve(packageDir, "node_modules", "text-encoding", "lib");
  const version = require(path.join(lib, "..", "package.json")).version;
  if (version !== "0.7.0") fail("expected text-encoding 0.7.0, found " + version);

  const indexes = require(path.join(lib, "encoding-indexes.js"))["encoding-indexes"];
  for (const [pointer, before, after] of GB18030_2022_CHANGES) {
    if (indexes.gb18030[pointer] !== before) fail("gb18030 index differs at " + pointer);
    indexes.gb18030[pointer] = after;
  }

  let source = fs.readFileSync(path.join(lib, "encoding.js"), "utf8");
  for (const [why, before, after] of SOURCE_CORRECTIONS) {
    if (source.split(before).length !== 2) fail("correction does not apply once: " + why);
    source = source.replace(before, () => after);
  }
  // Run as a CommonJS module whose only dependency is the corrected indexes.
  const module = { exports: {} };
  const requireIndexes = () => ({ "encoding-indexes": indexes });
  new Function("module", "require", source).call({}, module, requireIndexes);
  return module.exports.TextDecoder;
}

// Records of a 4-byte little-endian length and that many bytes.
function frame(inputs) {
  return Buffer.concat(inputs.flatMap((input) => {
    const length = Buffer.alloc(4);
    length.writeUInt32LE(input.length);
    return [length, input];
  }));
}

function unframe(buffer) {
  const records = [];
  for (let at = 0; at < buffer.length; at += 4 + buffer.readUInt32LE(at))
    records.push(buffer.subarray(at + 4, at + 4 + buffer.readUInt32LE(at)));
  return records;
}

// Runs the decode tool; its stdout as a Buffer.
function tool(options, args, input) {
  const run = spawnSync(options.tool, args, { input, maxBuffer: 1 << 30 });
  return run.status === 0 ? run.stdout : fail("tool " + args.join(" ") + " failed: " + run.stderr);
}

function main() {
  const options = { writeDigests: process.argv.includes("--write-digests") };
  for (const [flag, key] of [["--package", "packageDir"], ["--tool", "tool"]]) {
    const at = process.argv.indexOf(flag);
    if (at < 0 || at + 1 >= process.argv.length) fail("need --package DIR and --tool PATH");
    options[key] = process.argv[at + 1];
  }
  const TextDecoder = loadCorrectedOracle(options.packageDir);

  const digests = [];
  const sets = tool(options, ["--sets"]).toString().trim().split("\n").map((l) => l.split("\t"));
  for (const [encoding, set] of sets) {
    if (encoding === "replacement") continue;  // the package refuses to construct it
    const decoder = new TextDecoder(ORACLE_LABEL[encoding] || encoding, { ignoreBOM: true });
    const inputs = unframe(tool(options, ["--inputs", encoding, set]));
    const outputs = inputs.map((input) => Buffer.from(decoder.decode(input), "utf8"));
    const digest = tool(options, ["--digest"], frame(outputs)).toString().trim();
    digests.push([encoding, set, inputs.length, digest]);
  }
  const written = "# Digests (FNV-1a 64 of each output's 4-byte little-endian length and bytes, in\n" +
    "# input order) of the oracle's decodings, written by tests/oracle/decode_oracle.js\n" +
    "# --write-digests and checked by tests/core/encoding_decode_test.cpp.\n" +
    "# encoding\tinput set\tinputs\tdigest\n" + digests.map((d) => d.join("\t") + "\n").join("");
  if (options.writeDigests) {
    fs.writeFileSync(DIGESTS, written);
  } else if (!fs.existsSync(DIGESTS) || fs.readFileSync(DIGESTS, "utf8") !== written) {
    fail("the oracle's digests differ from " + path.relative(REPO, DIGESTS) +
         " (rerun with --write-digests if the input sets changed)");
  }
  console.log("decode oracle: " + digests.length + " input sets, the digests agree");
}

main();
