// Byte-wise UTF-8 sequence checks shared by the scalar and SSE2 kernels.
// Not for the AVX2 kernel: its translation unit is compiled with -mavx2, and
// inline functions it instantiated could be chosen by the linker for callers
// on processors without AVX2.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace brelt::utf8 {

// What a lead byte requires: the sequence length (0 when the byte cannot start
// a sequence) and the range of its second byte. The ranges are the narrowed
// ones that rule out overlong forms (E0, F0), surrogates (ED) and code points
// above U+10FFFF (F4); every later byte is a plain continuation 80..BF.
struct LeadByte {
    std::uint8_t length = 0;
    std::uint8_t second_min = 0;
    std::uint8_t second_max = 0;
};

constexpr std::array<LeadByte, 256> make_lead_bytes() {
    std::array<LeadByte, 256> leads{};
    for (int b = 0xC2; b <= 0xDF; ++b)
        leads[b] = {2, 0x80, 0xBF};
    for (int b = 0xE0; b <= 0xEF; ++b)
        leads[b] = {3, 0x80, 0xBF};
    for (int b = 0xF1; b <= 0xF3; ++b)
        leads[b] = {4, 0x80, 0xBF};
    leads[0xE0] = {3, 0xA0, 0xBF};
    leads[0xED] = {3, 0x80, 0x9F};
    leads[0xF0] = {4, 0x90, 0xBF};
    leads[0xF4] = {4, 0x80, 0x8F};
    return leads;
}

inline constexpr std::array<LeadByte, 256> kLeadBytes = make_lead_bytes();

// Top bit of every byte of a 64-bit word: set exactly on the non-ASCII bytes.
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Index of the first byte in memory order that has a bit set in `high`
// (nonzero, only top bits of bytes set), for a word loaded with memcpy.
inline std::size_t first_marked_byte(std::uint64_t high) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(high)) / 8;
    } else {
        return static_cast<std::size_t>(std::countl_zero(high)) / 8;
    }
}

// First non-ASCII byte at or after p, or end.
inline const std::uint8_t* skip_ascii_words(const std::uint8_t* p, const std::uint8_t* end) {
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if (const std::uint64_t high = word & kHighBits) return p + first_marked_byte(high);
        p += 8;
    }
    while (p < end && *p < 0x80)
        ++p;
    return p;
}

// Checks the multi-byte sequences that follow one another from p, which must
// be a character boundary, up to the next ASCII byte or end. Returns where it
// stopped (again a boundary), or nullptr on a malformed or truncated sequence.
inline const std::uint8_t* validate_non_ascii_run(const std::uint8_t* p, const std::uint8_t* end) {
    while (p < end && *p >= 0x80) {
        const LeadByte lead = kLeadBytes[*p];
        if (lead.length == 0 || static_cast<std::size_t>(end - p) < lead.length) return nullptr;
        if (p[1] < lead.second_min || p[1] > lead.second_max) return nullptr;
        // A continuation byte is 10xxxxxx.
        if (lead.length >= 3 && (p[2] & 0xC0) != 0x80) return nullptr;
        if (lead.length == 4 && (p[3] & 0xC0) != 0x80) return nullptr;
        p += lead.length;
    }
    return p;
}

// The shared driver: alternate between skipping ASCII (with the kernel's own
// skip) and checking the multi-byte run that stopped it.
template <const std::uint8_t* (*SkipAscii)(const std::uint8_t*, const std::uint8_t*)>
bool validate_runs(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* p = data;
    const std::uint8_t* const end = data + size;
    while (true) {
        p = SkipAscii(p, end);
        if (p == end) return true;
        p = validate_non_ascii_run(p, end);
        if (p == nullptr) return false;
    }
}

}  // namespace brelt::utf8
