#include "output/number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace brelt {

std::size_t format_integer(std::int64_t value, char* out) {
    return static_cast<std::size_t>(std::to_chars(out, out + kNumberTextCapacity, value).ptr - out);
}

namespace {

// Shortest round-trip digits of a finite, positive value and the decimal
// point's position: value = 0.d1d2...dn * 10^point.
struct Digits {
    char text[20];
    int count = 0;
    int point = 0;
};

Digits shortest_digits(double value) {
    // Scientific shortest form: d[.ddd]e±X...
    char buffer[kNumberTextCapacity];
    const char* end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
    Digits digits;
    const char* p = buffer;
    for (; p < end && *p != 'e'; ++p) {
        if (*p != '.') digits.text[digits.count++] = *p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
    digits.point = exponent + 1;
    return digits;
}

char* put(char* out, const char* text, std::size_t length) {
    std::memcpy(out, text, length);
    return out + length;
}

}  // namespace

std::size_t format_double(double value, char* out) {
    if (std::isnan(value)) return static_cast<std::size_t>(put(out, "nan", 3) - out);
    char* p = out;
    if (std::signbit(value)) *p++ = '-';
    value = std::fabs(value);
    if (std::isinf(value)) return static_cast<std::size_t>(put(p, "inf", 3) - out);
    if (value == 0) return static_cast<std::size_t>(put(p, "0.0", 3) - out);

    const Digits d = shortest_digits(value);
    if (d.point <= -4 || d.point > 16) {
        *p++ = d.text[0];
        if (d.count > 1) {
            *p++ = '.';
            p = put(p, d.text + 1, static_cast<std::size_t>(d.count - 1));
        }
        const int exponent = d.point - 1;
        *p++ = 'e';
        *p++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) *p++ = '0';
        p = std::to_chars(p, out + kNumberTextCapacity, magnitude).ptr;
    } else if (d.point <= 0) {
        p = put(p, "0.", 2);
        for (int i = d.point; i < 0; ++i)
            *p++ = '0';
        p = put(p, d.text, static_cast<std::size_t>(d.count));
    } else if (d.point < d.count) {
        p = put(p, d.text, static_cast<std::size_t>(d.point));
        *p++ = '.';
        p = put(p, d.text + d.point, static_cast<std::size_t>(d.count - d.point));
    } else {
        p = put(p, d.text, static_cast<std::size_t>(d.count));
        for (int i = d.count; i < d.point; ++i)
            *p++ = '0';
        p = put(p, ".0", 2);
    }
    return static_cast<std::size_t>(p - out);
}

}  // namespace brelt
