// White_Space in UTF-8 is six ASCII bytes plus a handful of two- and
// three-byte sequences, so trimming matches those sequences directly instead
// of decoding. Lead bytes (0xC2, 0xE1..0xE3) are never continuation bytes, so
// a sequence found at either end is a whole character even in invalid text;
// stray bytes are simply not space.
#include "types/cell_text.hpp"

#include <cstddef>

namespace brelt {

namespace {

using Bytes = const unsigned char*;

bool ascii_space(unsigned char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20;
}

// The length of the White_Space character that starts at s[0], or 0.
std::size_t space_at_front(Bytes s, std::size_t n) {
    const unsigned char c = s[0];
    if (ascii_space(c)) return 1;
    if (c == 0xC2) return n >= 2 && (s[1] == 0x85 || s[1] == 0xA0) ? 2 : 0;
    if (n < 3) return 0;
    switch (c) {
        case 0xE1:  // U+1680
            return s[1] == 0x9A && s[2] == 0x80 ? 3 : 0;
        case 0xE2:
            if (s[1] == 0x80) {  // U+2000..U+200A, U+2028, U+2029, U+202F
                const unsigned char t = s[2];
                return (t >= 0x80 && t <= 0x8A) || t == 0xA8 || t == 0xA9 || t == 0xAF ? 3 : 0;
            }
            return s[1] == 0x81 && s[2] == 0x9F ? 3 : 0;  // U+205F
        case 0xE3:                                        // U+3000
            return s[1] == 0x80 && s[2] == 0x80 ? 3 : 0;
        default:
            return 0;
    }
}

// The length of the White_Space character that ends at s[n - 1], or 0.
std::size_t space_at_back(Bytes s, std::size_t n) {
    const unsigned char c = s[n - 1];
    if (ascii_space(c)) return 1;
    if (c < 0x80 || c > 0xBF) return 0;
    if (n >= 2 && s[n - 2] == 0xC2) return c == 0x85 || c == 0xA0 ? 2 : 0;
    if (n < 3) return 0;
    return space_at_front(s + n - 3, 3) == 3 ? 3 : 0;
}

// Printable ASCII other than the space: no White_Space sequence starts or ends
// with such a byte, so a field bounded by two of them needs no trimming.
bool plain_ascii(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b > 0x20 && b < 0x80;
}

}  // namespace

std::string_view trim_text(std::string_view text) {
    if (text.empty() || (plain_ascii(text.front()) && plain_ascii(text.back()))) return text;
    const auto* s = reinterpret_cast<Bytes>(text.data());
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end) {
        const std::size_t length = space_at_front(s + begin, end - begin);
        if (length == 0) break;
        begin += length;
    }
    while (end > begin) {
        const std::size_t length = space_at_back(s + begin, end - begin);
        if (length == 0) break;
        end -= length;
    }
    return text.substr(begin, end - begin);
}

}  // namespace brelt
