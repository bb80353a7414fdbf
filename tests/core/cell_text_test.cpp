// The texts behind typing: type names and boolean words, then the integer and
// float grammars, their values and White_Space trimming against the slow
// references of cell_text_reference.hpp, on listed edge cases (which pin the
// references too) and on generated texts: strings from the grammar's
// alphabet, decimals around the edges of the double range and of the exact
// fast path, and decimal expansions next to the midpoint of two doubles.
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
#include "scaled_rounds.hpp"
#include "types/cell_text.hpp"
#include "types/column_type.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;
using testing::reference_float;
using testing::reference_integer;
using testing::reference_trim;

TEST(CellText, TypeNamesInAnyAsciiCase) {
    const std::pair<const char*, ColumnType> names[] = {
        {"int", ColumnType::Int},      {"INTEGER", ColumnType::Int},  {"Float", ColumnType::Float},
        {"dOuBlE", ColumnType::Float}, {"NUMBER", ColumnType::Float}, {"bool", ColumnType::Bool},
        {"Boolean", ColumnType::Bool}, {"STR", ColumnType::Str},      {"string", ColumnType::Str},
    };
    for (const auto& [name, type] : names)
        EXPECT_EQ(parse_type_name(name), type) << name;
    // Near misses, and letters whose Unicode lower case is ASCII.
    for (std::string_view name : {""s, "in"s, "Int64"s, "integers"s, " int"s, "int "s, "i\0nt"s,
                                  "\u0130nt"s, "\u017Ftr"s, "boo\u212A"s}) {
        EXPECT_EQ(parse_type_name(name), std::nullopt) << name;
    }
}

TEST(CellText, BooleanWordsInAnyAsciiCase) {
    for (const char* word : {"1", "yes", "yEs", "true", "TRUE"})
        EXPECT_EQ(parse_boolean_word(word), true) << word;
    for (const char* word : {"0", "no", "nO", "false", "False"})
        EXPECT_EQ(parse_boolean_word(word), false) << word;
    for (const char* text : {"", "2", "y", "n", "on", "01", "1.0", "+1", "yess", "true ", " no",
                             "\uFF54rue", "fals\u212A"}) {
        EXPECT_EQ(parse_boolean_word(text), std::nullopt) << text;
    }
}

TEST(CellText, IntegerEdges) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::pair<std::string, std::optional<std::int64_t>> cases[] = {
        {"0", 0},
        {"-0", 0},
        {"+0", 0},
        {"-0042", -42},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"-9223372036854775807", kMin + 1},
        {"00000000000000000000000009223372036854775807", kMax},
        {"-0000000000000000000000009223372036854775808", kMin},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"18446744073709551617", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {std::string(5000, '9'), std::nullopt},
        {"1\0"s, std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        std::int64_t value = 0;
        const bool parsed = parse_integer_text(text, value);
        EXPECT_EQ(parsed ? std::optional(value) : std::nullopt, expected) << text;
        EXPECT_EQ(reference_integer(text), expected) << text;
    }
}

TEST(CellText, FloatGrammar) {
    for (const char* text :
         {"1.", ".5", "+.5", "00.00", "1E5", "1e+5", "1.e5", ".5e-3", "1e0005",
          "9223372036854775808", "INF", "-Inf", "infinity", "+iNfInItY", "NaN", "-nan"}) {
        EXPECT_EQ(testing::numbers_disagree(text), "");
        EXPECT_TRUE(reference_float(text).has_value()) << text;
    }
    for (const char* text :
         {"",       "+",     ".",    "+.",     ".e5",   "1e",    "1e+",       "1e+-1",
          "1.5.2",  "1e5.5", "1..5", "++1",    "0x1p3", "infin", "infinityy", "nana",
          "nan(1)", "inf5",  " 1",   "1 ",     "1_000", "1,5",   "\uFF11",    "1e\u0663",
          "1d5",    "e",     "-e1",  "\u221E", "--inf"}) {
        EXPECT_EQ(testing::numbers_disagree(text), "");
        EXPECT_FALSE(reference_float(text).has_value()) << text;
    }
}

// Each value bit for bit: signed zeros, the ends of the range, subnormals,
// ties and long or far-shifted significands.
TEST(CellText, FloatEdgeValues) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    const std::string zeros(400, '0');
    const std::pair<std::string, double> cases[] = {
        {"-0", -0.0},
        {"-.0e-5", -0.0},
        {"0e99999999999999999999999", 0.0},
        {"-Infinity", -kInf},
        {"1.7976931348623158e308", kMax},
        {"1.7976931348623159e308", kInf},
        {"1e99999999999999999999", kInf},
        {"1" + zeros, kInf},
        {"0." + zeros + "1e99999999999999999999", kInf},
        {"-1e-400", -0.0},
        {"0." + zeros + "1", 0.0},
        {zeros + "9e-100000000000000000000000", 0.0},
        {"2.4703282292062327e-324", 0.0},  // below half the smallest subnormal
        {"2.4703282292062328e-324", kTiny},
        {"2.2250738585072011e-308", 2.2250738585072009e-308},
        {"9007199254740993", 9007199254740992.0},  // a tie, to even
        {"9007199254740993.000000000000000000001", 9007199254740994.0},
        {"9530350863743457e11", 9.530350863743458e26},  // a significand beyond 2^53
        {"123456789012345678901234567890", 1.2345678901234568e29},
        {"1" + std::string(10000, '0') + "e-10000", 1.0},
        {"+12.5E-1", 1.25},
    };
    for (const auto& [text, expected] : cases) {
        double value = 0;
        ASSERT_TRUE(parse_float_text(text, value)) << text;
        EXPECT_TRUE(testing::same_double(value, expected)) << text;
        EXPECT_TRUE(testing::same_double(*reference_float(text), expected)) << text;
    }
}

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

void expect_numbers_agree(Generator& generator, std::string (Generator::*make)(), int count) {
    int failures = 0;
    for (int i = 0; i < count && failures < 10; ++i) {
        const std::string message = testing::numbers_disagree((generator.*make)());
        if (!message.empty()) {
            ADD_FAILURE() << message;
            ++failures;
        }
    }
}

TEST(CellText, GeneratedNumbersMatchTheReferences) {
    Generator generator(1);
    using testing::scaled_rounds;
    expect_numbers_agree(generator, &Generator::grammar_soup, scaled_rounds(100000));
    expect_numbers_agree(generator, &Generator::decimal, scaled_rounds(50000));
    expect_numbers_agree(generator, &Generator::short_decimal, scaled_rounds(100000));
    expect_numbers_agree(generator, &Generator::near_midpoint, scaled_rounds(10000));
}

// Every White_Space character, their non-space neighbours, and fragments of
// their encodings, in random runs: trimming takes exactly the reference's
// bytes off each end, as a view into the text.
TEST(CellText, TrimMatchesTheReference) {
    std::vector<std::string_view> pieces(std::begin(testing::kWhiteSpace),
                                         std::end(testing::kWhiteSpace));
    for (std::string_view other : {"x",
                                   "\u00E9",
                                   "\u4E2D",
                                   "\b",
                                   "\x1C",
                                   "\x7F",
                                   "\u0084",
                                   "\u0086",
                                   "\u00A1",
                                   "\u1681",
                                   "\u180E",
                                   "\u1FFF",
                                   "\u200B",
                                   "\u2027",
                                   "\u202A",
                                   "\u2030",
                                   "\u205E",
                                   "\u2060",
                                   "\u3001",
                                   "\uFEFF",
                                   "\xE2\x81\x80",
                                   "\xC2",
                                   "\xE2\x80",
                                   "\x80",
                                   "\xA0",
                                   "\xE3",
                                   "\x9F",
                                   "\xFF",
                                   "\xF0\x80\x80\x80"}) {
        pieces.push_back(other);
    }
    Generator generator(4);
    for (int i = 0; i < testing::scaled_rounds(100000); ++i) {
        std::string text;
        const std::size_t count = generator.below(8);
        for (std::size_t j = 0; j < count; ++j)
            text += pieces[generator.below(pieces.size())];
        const std::string_view trimmed = trim_text(text);
        const std::string_view expected = reference_trim(text);
        ASSERT_EQ(trimmed.data(), expected.data()) << text;
        ASSERT_EQ(trimmed.size(), expected.size()) << text;
    }
}

}  // namespace
}  // namespace brelt
