// Case-insensitive comparison with the fixed ASCII words of the type names,
// the boolean words and the float specials.
//
// These words are defined to match after full Unicode lower-casing, yet an
// ASCII-only fold gives exactly the same answers: the only non-ASCII
// characters whose lower case is pure ASCII are U+212A KELVIN SIGN (to "k",
// a letter none of the words uses) and U+0130 (to "i" followed by U+0307,
// which is not ASCII). So a non-ASCII byte can never be part of a match, and
// comparing byte by byte after folding 'A'..'Z' is exact.
#pragma once

#include <cstddef>
#include <string_view>

namespace brelt {

inline constexpr char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// `lower_word` must be lower-case ASCII.
inline constexpr bool equals_ignoring_ascii_case(std::string_view text,
                                                 std::string_view lower_word) {
    if (text.size() != lower_word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (ascii_lower(text[i]) != lower_word[i]) return false;
    }
    return true;
}

}  // namespace brelt
