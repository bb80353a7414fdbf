// Slow, literal versions of the cell text tests for tests and fuzz targets,
// and the comparison of the library's number parsing with them. They share no
// code with src/core/types: the grammars are walked by a small
// recursive-descent reader, values come from the C library's strtoll and
// strtod in the "C" locale, and trimming strips whole encoded characters from
// a list.
#pragma once

#include <locale.h>

#include <bit>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "types/cell_text.hpp"

namespace brelt::testing {

// Every White_Space character, UTF-8 encoded.
inline constexpr std::string_view kWhiteSpace[] = {
    "\t",     "\n",     "\v",     "\f",     "\r",     " ",      "\u0085", "\u00A0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
    "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000",
};

inline std::string_view reference_trim(std::string_view text) {
    for (bool again = true; again;) {
        again = false;
        for (std::string_view space : kWhiteSpace) {
            if (text.starts_with(space)) {
                text.remove_prefix(space.size());
                again = true;
            }
        }
    }
    for (bool again = true; again;) {
        again = false;
        for (std::string_view space : kWhiteSpace) {
            if (text.ends_with(space)) {
                text.remove_suffix(space.size());
                again = true;
            }
        }
    }
    return text;
}

class GrammarReader {
  public:
    explicit GrammarReader(std::string_view text) : text_(text) {}

    bool at_end() const { return pos_ == text_.size(); }
    bool accept(char c) {
        if (at_end() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    bool accept_any(std::string_view set) {
        for (char c : set) {
            if (accept(c)) return true;
        }
        return false;
    }
    // The number of ASCII digits taken.
    std::size_t digits() {
        std::size_t n = 0;
        while (accept_any("0123456789"))
            ++n;
        return n;
    }
    bool sign() { return accept_any("+-"); }
    // The rest of the text, letters compared in lower case.
    std::string rest_lowered() const {
        std::string out;
        for (char c : text_.substr(pos_))
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return out;
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// integer := sign? digit+
inline bool reference_integer_grammar(std::string_view text) {
    GrammarReader reader(text);
    reader.sign();
    return reader.digits() > 0 && reader.at_end();
}

// float := sign? (special | mantissa exponent?)
// mantissa := digit+ ('.' digit*)? | '.' digit+
// exponent := ('e' | 'E') sign? digit+
inline bool reference_float_grammar(std::string_view text) {
    GrammarReader reader(text);
    reader.sign();
    const std::string rest = reader.rest_lowered();
    if (rest == "inf" || rest == "infinity" || rest == "nan") return true;
    const std::size_t whole = reader.digits();
    std::size_t fraction = 0;
    if (reader.accept('.')) fraction = reader.digits();
    if (whole + fraction == 0) return false;
    if (reader.accept_any("eE")) {
        reader.sign();
        if (reader.digits() == 0) return false;
    }
    return reader.at_end();
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
    if (is_real != expected_real.has_value() || (is_real && !same_double(real, *expected_real))) {
        char values[80];
        std::snprintf(values, sizeof values, " (%.17g vs %.17g)", real, expected_real.value_or(0));
        return "float differs on \"" + text + "\"" + values;
    }
    if (is_integer && !is_real) return "integer text not a float text: \"" + text + "\"";
    return {};
}

}  // namespace brelt::testing
