// Decoding where every byte stands alone: ASCII bytes are themselves and each
// byte 0x80..0xFF has a fixed BMP code point or none. The single-byte
// encodings and x-user-defined are both this shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/isa.hpp"

namespace brelt::encoding_detail {

// The UTF-8 form of one byte's code point, ready to copy. It is always copied
// as 4 bytes (one store) and the output advanced by `length`, so the buffer
// needs slack for the stray byte(s) past the last sequence.
struct Utf8Sequence {
    char bytes[3];
    std::uint8_t length;
};
static_assert(sizeof(Utf8Sequence) == 4);

// Indexed by the byte itself, ASCII included, so every byte decodes with the
// same few instructions: no branch to mispredict in mixed text.
struct ByteTable {
    Utf8Sequence sequence[256];
    bool unmapped[256];  // decodes to U+FFFD and counts as an error
};

// `index` holds the code point of bytes 0x80..0xFF, 0 where there is none.
// Every code point must be in 0x80..0xFFFF outside the surrogates (the
// generator checks the data for this).
constexpr ByteTable make_byte_table(const std::uint16_t (&index)[128]) {
    ByteTable table{};
    for (int b = 0; b < 128; ++b) {
        table.sequence[b] = {{static_cast<char>(b), 0, 0}, 1};
    }
    for (int i = 0; i < 128; ++i) {
        std::uint32_t cp = index[i] == 0 ? 0xFFFD : index[i];
        table.unmapped[0x80 + i] = index[i] == 0;
        Utf8Sequence& s = table.sequence[0x80 + i];
        if (cp < 0x800) {
            s.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
            s.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
            s.length = 2;
        } else {
            s.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
            s.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
            s.length = 3;
        }
    }
    return table;
}

// Appends the decoding of `bytes` to `out`; returns the number of unmapped
// bytes. The first form runs one instruction set's kernel (for the tests).
std::size_t decode_byte_table(Isa isa, const ByteTable& table, std::span<const std::uint8_t> bytes,
                              std::string& out);
std::size_t decode_byte_table(const ByteTable& table, std::span<const std::uint8_t> bytes,
                              std::string& out);

}  // namespace brelt::encoding_detail
