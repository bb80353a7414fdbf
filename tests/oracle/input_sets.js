// The inputs compared with the oracle, per encoding, and the digest of a set's
// outputs. tests/support/decode_input_sets.hpp builds the same inputs in the
// same order for the C++ tests; the committed digests tie the two together.
"use strict";

// The standard's encoding names, as the decode tool's labels.
const ENCODINGS = [
  "UTF-8", "IBM866", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6",
  "ISO-8859-7", "ISO-8859-8", "ISO-8859-8-I", "ISO-8859-10", "ISO-8859-13", "ISO-8859-14",
  "ISO-8859-15", "ISO-8859-16", "KOI8-R", "KOI8-U", "macintosh", "windows-874",
  "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
  "windows-1255", "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic", "GBK",
  "gb18030", "Big5", "EUC-JP", "ISO-2022-JP", "Shift_JIS", "EUC-KR", "replacement",
  "UTF-16BE", "UTF-16LE", "x-user-defined",
];

// Put before every pair of bytes for ISO-2022-JP: each escape (and some that
// are not), so every mode meets every pair and every escape meets every byte.
const ISO_2022_JP_PREFIXES = [
  [0x1b], [0x1b, 0x28], [0x1b, 0x24], [0x1b, 0x28, 0x42], [0x1b, 0x28, 0x4a],
  [0x1b, 0x28, 0x49], [0x1b, 0x24, 0x40], [0x1b, 0x24, 0x42],
];

// Bytes that start, continue or end sequences somewhere: escapes and their
// finals, shifts, the 0x5C/0x7E Roman bytes, EUC-JP's 0x8E/0x8F, lead-range
// edges, and bytes no encoding accepts as a lead.
const SPECIAL_BYTES = [
  0x1b, 0x24, 0x28, 0x40, 0x42, 0x49, 0x4a, 0x0e, 0x0f, 0x5c, 0x7e, 0x21,
  0x80, 0x81, 0x8e, 0x8f, 0xa0, 0xa1, 0xdf, 0xe0, 0xfc, 0xfe, 0xff, 0x9f,
];

const RANDOM_COUNT = 20000;
const RANDOM_SEED = 0x2545f491;

function everyByteString(prefix, length) {
  const inputs = [];
  const count = 1 << (8 * length);
  for (let value = 0; value < count; value++) {
    const input = new Uint8Array(prefix.length + length);
    input.set(prefix);
    for (let k = 0; k < length; k++) input[prefix.length + k] = (value >> (8 * (length - 1 - k))) & 0xff;
    inputs.push(input);
  }
  return inputs;
}

function gb18030FourByteSequences() {
  const inputs = [];
  for (let first = 0x81; first <= 0xfe; first++)
    for (let second = 0x30; second <= 0x39; second++)
      for (let third = 0x81; third <= 0xfe; third++)
        for (let fourth = 0x30; fourth <= 0x39; fourth++)
          inputs.push(Uint8Array.of(first, second, third, fourth));
  return inputs;
}

// A 32-bit linear congruential generator; the high 24 bits are used.
function randomStrings() {
  let state = RANDOM_SEED;
  const next = () => {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    return state >>> 8;
  };
  const inputs = [];
  for (let n = 0; n < RANDOM_COUNT; n++) {
    const input = new Uint8Array(1 + (next() % 24));
    for (let k = 0; k < input.length; k++) {
      const kind = next() % 8;
      if (kind < 2) input[k] = next() % 0x80;
      else if (kind < 4) input[k] = 0x80 + (next() % 0x80);
      else if (kind === 4) input[k] = 0x30 + (next() % 10);
      else if (kind < 7) input[k] = SPECIAL_BYTES[next() % SPECIAL_BYTES.length];
      else input[k] = 0x40 + (next() % 0xbf);
    }
    inputs.push(input);
  }
  return inputs;
}

function inputSetsFor(encoding) {
  const result = [
    { name: "bytes", inputs: everyByteString([], 1) },
    { name: "pairs", inputs: everyByteString([], 2) },
  ];
  if (encoding === "GBK" || encoding === "gb18030") {
    result.push({ name: "four", inputs: gb18030FourByteSequences() });
  }
  if (encoding === "EUC-JP") {
    result.push({ name: "jis0212", inputs: everyByteString([0x8f], 2) });
  }
  if (encoding === "ISO-2022-JP") {
    const inputs = [];
    for (const prefix of ISO_2022_JP_PREFIXES) inputs.push(...everyByteString(prefix, 2));
    result.push({ name: "escapes", inputs });
  }
  result.push({ name: "random", inputs: randomStrings() });
  return result;
}

// FNV-1a 64 over each output's 4-byte little-endian length and its bytes, in
// 32-bit halves (numbers stay exact below 2^53).
function digestOfOutputs(outputs) {
  let high = 0xcbf29ce4;
  let low = 0x84222325;
  const add = (byte) => {
    low = (low ^ byte) >>> 0;
    // h * 0x100000001B3 = h * 0x1B3 + (h << 40), modulo 2^64.
    const product = low * 0x1b3;
    const carry = Math.floor(product / 0x100000000);
    high = (Math.imul(high, 0x1b3) + carry + (low << 8)) >>> 0;
    low = product >>> 0;
  };
  for (const output of outputs) {
    const n = output.length;
    add(n & 0xff); add((n >>> 8) & 0xff); add((n >>> 16) & 0xff); add(n >>> 24);
    for (const byte of output) add(byte);
  }
  return high.toString(16).padStart(8, "0") + low.toString(16).padStart(8, "0");
}

module.exports = { ENCODINGS, inputSetsFor, digestOfOutputs };
