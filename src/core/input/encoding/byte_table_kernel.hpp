// The single-byte decoding loop, written once against a small vector interface
// and compiled per instruction set. A vector type V provides:
//   kWidth   bytes per step
//   uint64_t copy_bytes(p, dst)
//            copies the kWidth bytes at p to dst and returns a mask with bit i
//            set when byte i is 0x80 or more
//
// ASCII bytes are themselves and go kWidth at a time; a step that holds bytes
// from 0x80 puts them through the table one by one.
//
// Internal linkage on purpose, as in utf16_kernel.hpp: each instruction-set
// file compiles its own copy with its own flags.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "input/encoding/byte_table.hpp"
#include "input/encoding/decode_kernels.hpp"

namespace brelt::encoding_detail {
namespace {

// Copies the byte's sequence as one 4-byte store; the bytes past its length
// are overwritten by whatever comes next.
inline void put_byte(const ByteTable& table, std::uint8_t byte, char*& dst, std::size_t& errors) {
    const Utf8Sequence& s = table.sequence[byte];
    std::memcpy(dst, &s, sizeof s);
    dst += s.length;
    errors += table.unmapped[byte];
}

template <class V>
void decode_byte_table_chunk(const ByteTable& table, DecodeCursor& c, const std::uint8_t* chunk_end,
                             const std::uint8_t* end) {
    constexpr auto kStep = static_cast<std::ptrdiff_t>(V::kWidth);
    const std::uint8_t* p = c.in;
    char* dst = c.out;
    std::size_t errors = c.errors;
    while (p < chunk_end) {
        if (end - p < kStep) {
            put_byte(table, *p++, dst, errors);
            continue;
        }
        const std::uint64_t non_ascii = V::copy_bytes(p, dst);
        if (non_ascii == 0) {
            p += kStep;
            dst += kStep;
            continue;
        }
        // Keep the ASCII bytes before the first non-ASCII one; from there to
        // the last non-ASCII one (64 minus the leading zeros of the mask is
        // one past it), every byte goes through the table, ASCII included: a
        // loop of known length, not a branch on each byte.
        const auto first = static_cast<unsigned>(std::countr_zero(non_ascii));
        const auto stop = 64u - static_cast<unsigned>(std::countl_zero(non_ascii));
        dst += first;
        const std::uint8_t* const table_end = p + stop;
        for (p += first; p < table_end; ++p)
            put_byte(table, *p, dst, errors);
    }
    c.in = p;
    c.out = dst;
    c.errors = errors;
}

}  // namespace
}  // namespace brelt::encoding_detail
