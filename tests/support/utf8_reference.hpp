// Plain UTF-8 for tests and fuzz targets: a well-formedness check that
// decodes each code point and checks its value, and an encoder of one code
// point. They share nothing with the library's validators, decoders and
// encoders, so they cannot share their bugs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brelt::testing {

inline bool reference_valid_utf8(const std::uint8_t* s, std::size_t n) {
    static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t b = s[i];
        std::size_t length;
        std::uint32_t cp;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC0 && b < 0xE0) {
            length = 2, cp = b - 0xC0;
        } else if (b >= 0xE0 && b < 0xF0) {
            length = 3, cp = b - 0xE0;
        } else if (b >= 0xF0 && b < 0xF8) {
            length = 4, cp = b - 0xF0;
        } else {
            return false;
        }
        if (n - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF) return false;
            cp = cp * 64 + (s[i + k] - 0x80);
        }
        if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

inline void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
        return;
    }
    static constexpr std::uint32_t kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int continuations = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    out += static_cast<char>(kLead[continuations] | (cp >> (6 * continuations)));
    for (int k = continuations - 1; k >= 0; --k)
        out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

}  // namespace brelt::testing
