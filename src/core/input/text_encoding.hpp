// How a file's bytes become UTF-8 text: decided once for the whole file, so
// that a read going on piece by piece (batches, partitions) decodes every
// piece the way the whole file would be decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/result.hpp"
#include "input/encoding/encoding.hpp"

namespace brelt {

struct TextEncoding {
    Encoding encoding = Encoding::Utf8;
    // Bytes of a byte-order mark that come before the text.
    std::size_t mark_size = 0;
    // Malformed input fails the read instead of becoming U+FFFD (UTF-16
    // chosen by its mark).
    bool strict = false;
    // The bytes after the mark are known to be valid UTF-8: they are the text
    // as they stand, with nothing to decode.
    bool in_place = false;
};

// Whether `bytes` begin with a UTF-8 or UTF-16 byte-order mark.
bool starts_with_byte_order_mark(std::span<const std::uint8_t> bytes);

// The rules of decode_to_utf8 (decode.hpp), first match wins: a UTF-16
// byte-order mark; the label (after a UTF-8 mark, only whether there is one);
// without either, UTF-8 read in place when all of `whole` (every byte of the
// file) is valid UTF-8, windows-1252 otherwise. Without a label, a file with
// a UTF-8 mark is read in place when valid too. "Unknown encoding: <label>"
// for a label the table lacks.
Result<TextEncoding> choose_text_encoding(std::span<const std::uint8_t> whole,
                                          std::optional<std::string_view> label);

// Whether the choice rests on the whole file being valid UTF-8, given its
// first bytes (at least 3, or all of a shorter file) and the label: true
// without a label and without a UTF-16 mark.
bool text_encoding_needs_whole_file(std::span<const std::uint8_t> start,
                                    std::optional<std::string_view> label);

// The same choice from the first bytes, told whether the whole file is valid
// UTF-8 (looked at only when text_encoding_needs_whole_file).
Result<TextEncoding> choose_text_encoding(std::span<const std::uint8_t> start,
                                          std::optional<std::string_view> label,
                                          bool whole_is_utf8);

// Appends the text of `bytes` under `encoding` to `out`: all of a file after
// its mark, or a run of it that begins and ends between characters. Strict
// decoding fails with "Failed to decode UTF-16LE" ("...BE") on malformed
// input.
Result<bool> decode_text(std::span<const std::uint8_t> bytes, const TextEncoding& encoding,
                         std::string& out);

}  // namespace brelt
