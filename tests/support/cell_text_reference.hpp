// Slow, literal versions of the texts behind typing, for tests and fuzz
// targets: trimming, the integer and float grammars and values, boolean words,
// what a cell converts to and which type a column gets. They share no code
// with src/core/types: the grammars are walked by a small recursive-descent
// reader, values come from the C library's strtoll and strtod in the "C"
// locale, and trimming strips whole encoded characters from a list.
#pragma once

#include <locale.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "types/cell_text.hpp"
#include "types/convert.hpp"

namespace brelt::testing {

// Every White_Space character, UTF-8 encoded.
inline constexpr std::string_view kWhiteSpace[] = {
    "\t",     "\n",     "\v",     "\f",     "\r",     " ",      "\u0085", "\u00A0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
    "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};

// Whole characters off the front, then off the back of what is left.
inline std::string_view reference_trim(std::string_view text) {
    for (bool again = true; again;) {
        again = false;
        for (std::string_view space : kWhiteSpace)
            if (text.starts_with(space)) text.remove_prefix(space.size()), again = true;
    }
    for (bool again = true; again;) {
        again = false;
        for (std::string_view space : kWhiteSpace)
            if (text.ends_with(space)) text.remove_suffix(space.size()), again = true;
    }
    return text;
}

inline std::size_t sign_length(std::string_view text) {
    return !text.empty() && (text[0] == '+' || text[0] == '-');
}

inline std::size_t digit_run(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    return end - at;
}

// ASCII letters lowered, every other byte as it is.
inline std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return out;
}

// integer := sign? digit+
inline bool reference_integer_grammar(std::string_view text) {
    const std::size_t at = sign_length(text);
    return text.size() > at && digit_run(text, at) == text.size() - at;
}

// float := sign? ("inf" | "infinity" | "nan" | mantissa exponent?), any case
// mantissa := digit+ ('.' digit*)? | '.' digit+
// exponent := ('e' | 'E') sign? digit+
inline bool reference_float_grammar(std::string_view text) {
    std::size_t at = sign_length(text);
    const std::string word = lowered(text.substr(at));
    if (word == "inf" || word == "infinity" || word == "nan") return true;
    std::size_t digits = digit_run(text, at);
    at += digits;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = digit_run(text, ++at);
        digits += fraction, at += fraction;
    }
    if (digits == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        at += 1 + sign_length(text.substr(at + 1));
        const std::size_t exponent = digit_run(text, at);
        if (exponent == 0) return false;
        at += exponent;
    }
    return at == text.size();
}

inline std::optional<std::int64_t> reference_integer(std::string_view text) {
    if (!reference_integer_grammar(text)) return std::nullopt;
    const std::string copy(text);
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

inline std::optional<double> reference_float(std::string_view text) {
    if (!reference_float_grammar(text)) return std::nullopt;
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(text);
    return strtod_l(copy.c_str(), nullptr, c_locale);
}

inline std::optional<bool> reference_boolean(std::string_view text) {
    const std::string word = lowered(text);
    if (word == "1" || word == "yes" || word == "true") return true;
    if (word == "0" || word == "no" || word == "false") return false;
    return std::nullopt;
}

inline bool is_default_null(std::string_view text) {
    return text.empty() || text == "NA" || text == "null" || text == "None";
}

inline bool same_double(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Empty when parse_integer_text and parse_float_text agree with the
// references on `text` (values bit for bit), else what differs.
inline std::string numbers_disagree(const std::string& text) {
    std::int64_t integer = 0;
    const std::optional<std::int64_t> expected_integer = reference_integer(text);
    const bool is_integer = parse_integer_text(text, integer);
    if (is_integer != expected_integer.has_value() || (is_integer && integer != *expected_integer))
        return "integer differs on \"" + text + "\"";
    double real = 0;
    const std::optional<double> expected_real = reference_float(text);
    const bool is_real = parse_float_text(text, real);
    if (is_real != expected_real.has_value() || (is_real && !same_double(real, *expected_real)))
        return "float differs on \"" + text + "\"";
    return {};
}

// Whether convert_cell under `type` and the default nulls gives what the
// references make of the trimmed text: null, the value, else the trimmed text
// as a view into the field.
inline bool cell_matches_reference(std::string_view field, ColumnType type) {
    static const NullValues nulls = NullValues::defaults();
    const CellValue cell = convert_cell(field, type, nulls);
    const std::string_view text = reference_trim(field);
    using Kind = CellValue::Kind;
    if (is_default_null(text)) return cell.kind == Kind::None;
    if (type == ColumnType::Int && reference_integer(text))
        return cell.kind == Kind::Int && cell.integer == *reference_integer(text);
    if (type == ColumnType::Float && reference_float(text))
        return cell.kind == Kind::Float && same_double(cell.real, *reference_float(text));
    if (type == ColumnType::Bool && reference_boolean(text))
        return cell.kind == Kind::Bool && cell.boolean == *reference_boolean(text);
    return cell.kind == Kind::Str && field.data() + cell.text_offset == text.data() &&
           cell.text_length == text.size();
}

// The inference rule over a column's sampled texts with the default nulls:
// counted in the order null, integer, float, boolean word; of the non-null
// texts, 95% (truncated) decides.
inline ColumnType reference_inference(std::span<const std::string_view> sample) {
    std::uint64_t non_null = 0, integers = 0, floats = 0, booleans = 0;
    for (std::string_view field : sample) {
        const std::string_view text = reference_trim(field);
        if (is_default_null(text)) continue;
        ++non_null;
        if (reference_integer(text)) {
            ++integers;
        } else if (reference_float(text)) {
            ++floats;
        } else if (reference_boolean(text)) {
            ++booleans;
        }
    }
    if (non_null == 0) return ColumnType::Str;
    const auto bar = static_cast<std::uint64_t>(static_cast<double>(non_null) * 0.95);
    if (integers >= bar && floats == 0) return ColumnType::Int;
    if (integers + floats >= bar) return ColumnType::Float;
    if (booleans >= bar) return ColumnType::Bool;
    return ColumnType::Str;
}

// Short strings of the pieces the grammars, words, nulls and trimming care
// about.
inline std::string text_soup(std::mt19937_64& rng, std::size_t max_pieces = 7) {
    static constexpr std::string_view kPieces[] = {
        "0",      "1",      "5",      "9",      "00",     ".",
        "e",      "E",      "+",      "-",      "inf",    "INF",
        "ity",    "nan",    "NaN",    "x",      " ",      "_",
        "i",      "n",      "f",      "\t",     "1e",     "NA",
        "None",   "null",   "yes",    "nO",     "TRUE",   "false",
        "\u00A0", "\u2003", "\u3000", "\u200B", "\u00E9", "9223372036854775808"};
    std::string out;
    for (std::size_t count = rng() % (max_pieces + 1); count > 0; --count)
        out += kPieces[rng() % std::size(kPieces)];
    return out;
}

}  // namespace brelt::testing
