// The UTF-16 decoding loop, written once against a small vector interface and
// compiled per instruction set. A vector type V provides:
//   kUnits   code units per step
//   uint64_t pack_units<kBigEndian>(p, dst)
//            stores the low byte of each of the kUnits units at p into
//            dst[0, kUnits) and returns a mask with bit i set when unit i is
//            0x80 or more (its stored byte is then meaningless)
//
// ASCII units go kUnits at a time; a step that holds units from 0x80 decodes
// them one by one. A leading surrogate not followed by a
// trailing one is an error on its own and the unit after it is decoded
// afresh; at the end, a pending leading surrogate and an odd byte together
// make one error.
//
// Everything here has internal linkage on purpose: each instruction-set file
// compiles its own copy with its own flags, so the linker can never keep a
// copy built for a wider instruction set and hand it to the others.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "input/encoding/decode_kernels.hpp"
#include "input/encoding/utf8_output.hpp"

namespace brelt::encoding_detail {
namespace {

template <bool kBigEndian>
inline std::uint32_t unit_at(const std::uint8_t* p) {
    return kBigEndian ? (std::uint32_t{p[0]} << 8) | p[1] : (std::uint32_t{p[1]} << 8) | p[0];
}

// Surrogates are D800..DFFF: the top five bits of the unit are 11011.
inline bool is_surrogate(std::uint32_t unit) {
    return (unit & 0xF800) == 0xD800;
}
// Leading surrogates D800..DBFF have top six bits 110110, trailing ones 110111.
inline bool is_leading_surrogate(std::uint32_t unit) {
    return (unit & 0xFC00) == 0xD800;
}
inline bool is_trailing_surrogate(std::uint32_t unit) {
    return (unit & 0xFC00) == 0xDC00;
}

// Decodes the unit at p, at least 2 bytes before `end`, or the pair it leads.
template <bool kBigEndian>
inline void decode_unit(const std::uint8_t*& p, const std::uint8_t* end, char*& dst,
                        std::size_t& errors) {
    const std::uint32_t unit = unit_at<kBigEndian>(p);
    p += 2;
    if (!is_surrogate(unit)) {
        dst = put_utf8(dst, unit);
        return;
    }
    if (is_leading_surrogate(unit)) {
        if (end - p < 2) {
            // Leading surrogate at the end, possibly with an odd byte after it.
            dst = put_replacement(dst);
            ++errors;
            p = end;
            return;
        }
        const std::uint32_t next = unit_at<kBigEndian>(p);
        if (is_trailing_surrogate(next)) {
            p += 2;
            // Each surrogate carries 10 bits of the code point above 0x10000.
            dst = put_utf8(dst, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            return;
        }
    }
    dst = put_replacement(dst);
    ++errors;
}

template <class V, bool kBigEndian>
void decode_utf16_chunk(DecodeCursor& c, const std::uint8_t* chunk_end, const std::uint8_t* end) {
    constexpr std::ptrdiff_t kStep = 2 * static_cast<std::ptrdiff_t>(V::kUnits);
    const std::uint8_t* p = c.in;
    char* dst = c.out;
    std::size_t errors = c.errors;
    while (p < chunk_end) {
        if (end - p >= kStep) {
            const std::uint64_t non_ascii = V::template pack_units<kBigEndian>(p, dst);
            if (non_ascii == 0) {
                p += kStep;
                dst += V::kUnits;
                continue;
            }
            // Keep the ASCII units before the first non-ASCII one, and decode
            // one by one from there to the last (64 minus the leading zeros
            // of the mask is one past it). A pair may end one unit later.
            const auto first = static_cast<unsigned>(std::countr_zero(non_ascii));
            const auto stop = 64u - static_cast<unsigned>(std::countl_zero(non_ascii));
            dst += first;
            const std::uint8_t* const units_end = p + 2 * stop;
            for (p += 2 * first; p < units_end;)
                decode_unit<kBigEndian>(p, end, dst, errors);
        } else if (end - p >= 2) {
            decode_unit<kBigEndian>(p, end, dst, errors);
        } else {
            // An odd byte at the end.
            dst = put_replacement(dst);
            ++errors;
            p = end;
        }
    }
    c.in = p;
    c.out = dst;
    c.errors = errors;
}

}  // namespace
}  // namespace brelt::encoding_detail
