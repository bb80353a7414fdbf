// Small pieces shared by the decoders: the ASCII word test and writing code
// points as UTF-8 into a buffer the caller has already sized.
//
// They are always inlined because the per-instruction-set kernels use them:
// an out-of-line copy built with -mavx2 could be the one the linker keeps.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace brelt::encoding_detail {

inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

[[gnu::always_inline]] inline std::uint64_t load_u64(const std::uint8_t* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// True when none of the 8 bytes at p has its high bit set.
[[gnu::always_inline]] inline bool all_ascii8(const std::uint8_t* p) {
    return (load_u64(p) & 0x8080808080808080ULL) == 0;
}

// Writes `code_point` (a scalar value, not a surrogate) and returns the
// position after it; at most 4 bytes.
[[gnu::always_inline]] inline char* put_utf8(char* dst, std::uint32_t code_point) {
    if (code_point < 0x80) {
        *dst++ = static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        *dst++ = static_cast<char>(0xC0 | (code_point >> 6));
        *dst++ = static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        *dst++ = static_cast<char>(0xE0 | (code_point >> 12));
        *dst++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        *dst++ = static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        *dst++ = static_cast<char>(0xF0 | (code_point >> 18));
        *dst++ = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        *dst++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        *dst++ = static_cast<char>(0x80 | (code_point & 0x3F));
    }
    return dst;
}

[[gnu::always_inline]] inline char* put_replacement(char* dst) {
    std::memcpy(dst, kReplacementUtf8.data(), kReplacementUtf8.size());
    return dst + kReplacementUtf8.size();
}

}  // namespace brelt::encoding_detail
