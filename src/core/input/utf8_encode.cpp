#include "input/utf8_encode.hpp"

#include <cstring>
#include <new>

#include "input/encoding/utf8_output.hpp"

namespace brelt {

namespace {

// The high bits that a code unit of this width has clear when it is ASCII,
// repeated over a 64-bit word.
template <class Unit>
constexpr std::uint64_t kNonAsciiMask = sizeof(Unit) == 1   ? 0x8080808080808080ULL
                                        : sizeof(Unit) == 2 ? 0xFF80FF80FF80FF80ULL
                                                            : 0xFFFFFF80FFFFFF80ULL;

constexpr std::size_t kBlock = 8;  // units tested and copied at once

template <class Unit>
bool block_is_ascii(const Unit* units) {
    std::uint64_t any = 0;
    for (std::size_t offset = 0; offset < kBlock * sizeof(Unit); offset += 8) {
        std::uint64_t word;
        std::memcpy(&word, reinterpret_cast<const std::uint8_t*>(units) + offset, 8);
        any |= word;
    }
    return (any & kNonAsciiMask<Unit>) == 0;
}

// A code unit becomes at most 2 (UCS-1), 3 (UCS-2) or 4 bytes.
template <class Unit>
constexpr std::size_t kMaxBytes = sizeof(Unit) == 1   ? 2
                                  : sizeof(Unit) == 2 ? 3
                                                      : 4;

enum class Surrogates { Refuse, Pass };

// Writes the units from dst on, with room already made; returns the end, or
// nullptr for a surrogate when they are refused. `passed` is set when one is
// written.
template <class Unit, Surrogates policy>
std::uint8_t* put_units(std::span<const Unit> units, std::uint8_t* dst, bool& passed) {
    const Unit* p = units.data();
    const Unit* const end = p + units.size();
    while (p != end) {
        // Mostly ASCII text goes a block at a time; the narrowing loop
        // compiles to vector packs.
        while (static_cast<std::size_t>(end - p) >= kBlock && block_is_ascii(p)) {
            for (std::size_t i = 0; i < kBlock; ++i)
                dst[i] = static_cast<std::uint8_t>(p[i]);
            p += kBlock;
            dst += kBlock;
        }
        if (p == end) break;
        const std::uint32_t code = *p++;
        if (code < 0x80) {
            *dst++ = static_cast<std::uint8_t>(code);
            continue;
        }
        if (code >= 0xD800 && code <= 0xDFFF) {
            if constexpr (policy == Surrogates::Refuse) return nullptr;
            passed = true;
        }
        dst = reinterpret_cast<std::uint8_t*>(
            encoding_detail::put_utf8(reinterpret_cast<char*>(dst), code));
    }
    return dst;
}

template <class Unit>
Result<bool> encode(std::span<const Unit> units, GrowableArray<std::uint8_t>& out) {
    try {
        out.clear();
        out.reserve(units.size() * kMaxBytes<Unit> + 1);
    } catch (const std::bad_alloc&) {
        return Error(ErrorKind::Memory, "alloc");
    }
    bool passed = false;
    std::uint8_t* end = put_units<Unit, Surrogates::Refuse>(units, out.data(), passed);
    if (end == nullptr) {
        out.clear();
        return false;
    }
    out.set_size(static_cast<std::size_t>(end - out.data()));
    return true;
}

template <class Unit>
bool append_passing(std::span<const Unit> units, GrowableArray<std::uint8_t>& out) {
    out.reserve_extra(units.size() * kMaxBytes<Unit>);
    bool passed = false;
    std::uint8_t* end = put_units<Unit, Surrogates::Pass>(units, out.spare(), passed);
    out.commit(static_cast<std::size_t>(end - out.spare()));
    return passed;
}

}  // namespace

Result<bool> encode_utf8(std::span<const std::uint8_t> units, GrowableArray<std::uint8_t>& out) {
    return encode(units, out);
}

Result<bool> encode_utf8(std::span<const std::uint16_t> units, GrowableArray<std::uint8_t>& out) {
    return encode(units, out);
}

Result<bool> encode_utf8(std::span<const std::uint32_t> units, GrowableArray<std::uint8_t>& out) {
    return encode(units, out);
}

bool append_utf8_passing_surrogates(std::span<const std::uint8_t> units,
                                    GrowableArray<std::uint8_t>& out) {
    return append_passing(units, out);
}

bool append_utf8_passing_surrogates(std::span<const std::uint16_t> units,
                                    GrowableArray<std::uint8_t>& out) {
    return append_passing(units, out);
}

bool append_utf8_passing_surrogates(std::span<const std::uint32_t> units,
                                    GrowableArray<std::uint8_t>& out) {
    return append_passing(units, out);
}

}  // namespace brelt
