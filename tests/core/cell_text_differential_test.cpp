// The integer, float and trim routines against the slow references in
// cell_text_reference.hpp, over generated texts: random strings from the
// grammar's alphabet, well-formed numbers around the edges of the double
// range, and decimal expansions lying next to the midpoint of two doubles.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "cell_text_reference.hpp"
#include "types/cell_text.hpp"

namespace brelt {
namespace {

using testing::reference_float;
using testing::reference_integer;
using testing::reference_trim;

class Generator {
  public:
    explicit Generator(std::uint64_t seed) : rng_(seed) {}

    std::uint64_t below(std::uint64_t n) { return rng_() % n; }
    bool chance(unsigned percent) { return below(100) < percent; }

    std::string digits(std::size_t count) {
        std::string out;
        for (std::size_t i = 0; i < count; ++i)
            out += static_cast<char>('0' + below(10));
        return out;
    }

    // Short strings of the characters the grammars care about.
    std::string grammar_soup() {
        static const std::string_view pieces[] = {
            "0", "1", "5",   "9",   "00",    ".",   "e",   "E",
            "+", "-", "inf", "INF", "inity", "nan", "NaN", "x",
            " ", "_", "i",   "n",   "f",     "\t",  "1e",  "9223372036854775808",
        };
        std::string out;
        const std::size_t count = below(7);
        for (std::size_t i = 0; i < count; ++i)
            out += pieces[below(std::size(pieces))];
        return out;
    }

    // Well-formed decimal texts, mostly near the limits of the double range.
    std::string decimal() {
        std::string out;
        if (chance(30)) out += chance(50) ? "-" : "+";
        const std::size_t whole = chance(10) ? below(400) : below(25);
        std::size_t fraction = chance(10) ? below(400) : below(25);
        if (whole == 0 && fraction == 0) fraction = 1;
        if (chance(30)) out.append(below(30), '0');
        out += digits(whole);
        if (fraction > 0 || chance(20)) {
            out += '.';
            if (chance(30)) out.append(below(30), '0');
        }
        out += digits(fraction);
        if (chance(85)) {
            out += chance(50) ? "e" : "E";
            if (chance(60)) out += chance(60) ? "-" : "+";
            static const std::int64_t centres[] = {0, 300, 308, 310, 320, 324, 330, 340, 400, 700};
            std::int64_t exponent =
                centres[below(std::size(centres))] + static_cast<std::int64_t>(below(21)) - 10;
            if (exponent < 0) exponent = -exponent;
            if (chance(3)) {
                out += digits(1 + below(30));
            } else {
                if (chance(20)) out.append(below(25), '0');
                out += std::to_string(exponent);
            }
        }
        return out;
    }

    // Up to 20 significant digits and a power of ten near +-22: the edges of
    // the exact fast path.
    std::string short_decimal() {
        std::string out = chance(20) ? "-" : "";
        std::string digits_text = digits(1 + below(20));
        if (chance(50)) digits_text.insert(below(digits_text.size() + 1), 1, '.');
        if (digits_text == ".") digits_text = "1";
        out += digits_text;
        out += 'e';
        out += std::to_string(static_cast<int>(below(61)) - 30);
        return out;
    }

    // The decimal expansion, cut at a random length, of a value halfway between
    // two adjacent doubles: the hardest inputs to round.
    std::string near_midpoint() {
        double low;
        do {
            low = std::bit_cast<double>(rng_() & 0x7FEFFFFFFFFFFFFFull);
        } while (!std::isfinite(low));
        const double high = std::nextafter(low, std::numeric_limits<double>::infinity());
        const long double middle = (static_cast<long double>(low) + high) / 2;
        char text[900];
        std::snprintf(text, sizeof text, "%.*Le", static_cast<int>(below(780)), middle);
        return text;
    }

  private:
    std::mt19937_64 rng_;
};

bool same_value(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Returns a failure message, or empty when both agree on `text`.
std::string compare_numbers(const std::string& text) {
    std::int64_t integer = 0;
    const std::optional<std::int64_t> expected_integer = reference_integer(text);
    const bool is_integer = parse_integer_text(text, integer);
    if (is_integer != expected_integer.has_value() || (is_integer && integer != *expected_integer))
        return "integer differs on \"" + text + "\"";

    double real = 0;
    const std::optional<double> expected_real = reference_float(text);
    const bool is_real = parse_float_text(text, real);
    if (is_real != expected_real.has_value() || (is_real && !same_value(real, *expected_real))) {
        char values[80];
        std::snprintf(values, sizeof values, " (%.17g vs %.17g)", real, expected_real.value_or(0));
        return "float differs on \"" + text + "\"" + values;
    }
    if (is_integer && !is_real) return "integer text not a float text: \"" + text + "\"";
    return {};
}

void expect_numbers_agree(Generator& generator, std::string (Generator::*make)(), int count) {
    int failures = 0;
    for (int i = 0; i < count && failures < 10; ++i) {
        const std::string message = compare_numbers((generator.*make)());
        if (!message.empty()) {
            ADD_FAILURE() << message;
            ++failures;
        }
    }
}

TEST(CellTextDifferential, GrammarSoup) {
    Generator generator(1);
    expect_numbers_agree(generator, &Generator::grammar_soup, 200000);
}

TEST(CellTextDifferential, DecimalsAroundTheRangeEdges) {
    Generator generator(2);
    expect_numbers_agree(generator, &Generator::decimal, 100000);
}

TEST(CellTextDifferential, ShortDecimalsAroundTheExactPowersOfTen) {
    Generator generator(5);
    expect_numbers_agree(generator, &Generator::short_decimal, 200000);
}

TEST(CellTextDifferential, NearMidpointsOfAdjacentDoubles) {
    Generator generator(3);
    expect_numbers_agree(generator, &Generator::near_midpoint, 20000);
}

TEST(CellTextDifferential, TrimOverSpacesAndTheirFragments) {
    static const std::string_view pieces[] = {
        " ",        "\t",     "\r",     "x",      "\u00A0", "\u0085", "\u3000",
        "\u2003",   "\u200A", "\u200B", "\u205F", "\u1680", "\u202F", "\xC2",
        "\xE2\x80", "\x80",   "\xA0",   "\xE3",   "\x9F",   "\u00E9", "\u2029",
    };
    Generator generator(4);
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        const std::size_t count = generator.below(8);
        for (std::size_t j = 0; j < count; ++j)
            text += pieces[generator.below(std::size(pieces))];
        const std::string_view trimmed = trim_text(text);
        const std::string_view expected = reference_trim(text);
        ASSERT_EQ(trimmed.data(), expected.data()) << text;
        ASSERT_EQ(trimmed.size(), expected.size()) << text;
    }
}

}  // namespace
}  // namespace brelt
