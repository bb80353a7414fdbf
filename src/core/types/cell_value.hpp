// One typed cell of a read: what convert_cell makes of a field's text.
#pragma once

#include <cstdint>
#include <string_view>

namespace brelt {

// 16 bytes. A string cell does not own its text: it names the trimmed part of
// the field it was converted from, which the caller keeps alive.
struct CellValue {
    enum class Kind : std::uint8_t { None, Int, Float, Bool, Str };

    Kind kind = Kind::None;
    std::uint32_t text_offset = 0;  // Str: start of the trimmed text within the field
    union {
        std::int64_t integer;
        double real;
        bool boolean;
        std::uint64_t text_length;  // Str
    };

    CellValue() : integer(0) {}

    // The string cell's text, given the field it was converted from.
    std::string_view text_in(std::string_view field) const {
        return field.substr(text_offset, static_cast<std::size_t>(text_length));
    }
};

static_assert(sizeof(CellValue) == 16);

}  // namespace brelt
