// A plain UTF-8 well-formedness check for tests and fuzz targets: it decodes
// each code point and checks its value, sharing nothing with the library's
// validators and decoders, so it cannot share their bugs.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace brelt::testing
