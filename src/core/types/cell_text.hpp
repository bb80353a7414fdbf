// The tests a field's text goes through when it is typed. All take UTF-8 text
// that has already been trimmed (except trim_text itself), allocate nothing and
// run in time linear in the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brelt {

// `text` without leading and trailing White_Space characters (U+0009..U+000D,
// U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029, U+202F,
// U+205F, U+3000). A view into `text`.
std::string_view trim_text(std::string_view text);

// An optional "+" or "-", then one or more ASCII digits, and nothing else,
// within the signed 64-bit range.
bool parse_integer_text(std::string_view text, std::int64_t& value);

// Decimal floating point: optional sign, digits with an optional point (a digit
// on at least one side), optional exponent "e"/"E" with optional sign and at
// least one digit; or optional sign and "inf", "infinity" or "nan" in any case.
// Rounds to nearest; a magnitude beyond the double range is an infinity.
bool parse_float_text(std::string_view text, double& value);

// The boolean words, compared case-insensitively: "1"/"yes"/"true" give true,
// "0"/"no"/"false" give false; nothing for other text.
std::optional<bool> parse_boolean_word(std::string_view text);

}  // namespace brelt
