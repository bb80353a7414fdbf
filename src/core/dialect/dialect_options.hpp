// The settings of the csv module's dialect that change how text is read, as
// the record parser takes them: each dialect character as its UTF-8 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/isa.hpp"

namespace brelt::dialect {

// One character as UTF-8, or none (size 0) for a setting left unset.
struct DialectChar {
    std::array<std::uint8_t, 4> bytes{};
    std::uint8_t size = 0;

    // The character of `utf8`, which holds one character (1 to 4 bytes).
    static DialectChar of(std::string_view utf8) {
        DialectChar c;
        c.size = static_cast<std::uint8_t>(utf8.size() < 4 ? utf8.size() : 4);
        for (std::size_t i = 0; i < c.size; ++i)
            c.bytes[i] = static_cast<std::uint8_t>(utf8[i]);
        return c;
    }

    bool is_set() const { return size != 0; }
    std::uint8_t lead() const { return bytes[0]; }
    // Whether the character starts at p; `end` bounds what may be read.
    bool at(const std::uint8_t* p, const std::uint8_t* end) const {
        if (size == 0 || end - p < size) return false;
        for (std::size_t i = 0; i < size; ++i) {
            if (p[i] != bytes[i]) return false;
        }
        return true;
    }
    // Whether the character could start at p but runs past `end`: the rest
    // of it may come with more input.
    bool cut_at(const std::uint8_t* p, const std::uint8_t* end) const {
        if (size == 0 || end - p >= size) return false;
        for (std::ptrdiff_t i = 0; i < end - p; ++i) {
            if (p[i] != bytes[i]) return false;
        }
        return true;
    }
};

struct DialectOptions {
    DialectChar delimiter;
    DialectChar quote;   // unset: no quote character
    DialectChar escape;  // unset: no escape character
    bool doublequote = true;
    bool skipinitialspace = false;
    bool strict = false;
    // QUOTE_NONE: the quote character is ordinary text.
    bool quotes_are_text = false;
    // The most characters a field may hold; adding one more is an error. A
    // negative limit lets no field hold any character.
    std::int64_t field_limit = 131072;
    // For callers that convert fields afterwards, as the csv module converts
    // each as it ends: records the line of its record each field ended on
    // (a field that fails to convert gives up the rest of that line), and a
    // failed record keeps the fields it had saved (one of them may fail to
    // convert first).
    bool record_field_lines = false;
    Isa isa = Isa::Scalar;
};

}  // namespace brelt::dialect
