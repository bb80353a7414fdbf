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
    for (std::size_t i = 0; i < n;) {
        const std::uint8_t b = s[i];
        // The sequence's length by its lead byte, and the lead's bits.
        const std::size_t length = b < 0x80   ? 1
                                   : b < 0xC0 ? 0
                                   : b < 0xE0 ? 2
                                   : b < 0xF0 ? 3
                                   : b < 0xF8 ? 4
                                              : 0;
        if (length == 0 || n - i < length) return false;
        std::uint32_t cp = b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF) return false;
            cp = cp * 64 + (s[i + k] - 0x80);
        }
        if (length > 1 &&
            (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            return false;
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
