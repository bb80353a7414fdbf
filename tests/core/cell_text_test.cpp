// The texts behind typing against the slow references of
// cell_text_reference.hpp: type names and boolean words, the integer and float
// grammars and values, and White_Space trimming. Listed edge values pin the
// references too; generated texts cover the grammar's alphabet, decimals
// around the edges of the double range and of the exact fast path, and
// decimal expansions next to the midpoint of two doubles.
#include "types/cell_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cell_text_reference.hpp"
#include "scaled_rounds.hpp"
#include "types/column_type.hpp"

namespace brelt {
namespace {

using namespace std::literals;
using testing::scaled_rounds;

TEST(CellText, TypeNamesAndBooleanWordsInAnyAsciiCaseOnly) {
    const auto expect_names = [](std::initializer_list<std::string_view> names,
                                 std::optional<ColumnType> type) {
        for (std::string_view name : names)
            EXPECT_EQ(parse_type_name(name), type) << name;
    };
    expect_names({"int", "INTEGER"}, ColumnType::Int);
    expect_names({"Float", "dOuBlE", "NUMBER"}, ColumnType::Float);
    expect_names({"bool", "Boolean"}, ColumnType::Bool);
    expect_names({"STR", "string"}, ColumnType::Str);
    expect_names({"", "Int64", " int", "i\0nt"sv, "\u0130nt", "\u017Ftr"}, std::nullopt);
    // Letters whose Unicode lower case is ASCII are not words.
    for (const char* text : {"\uFF54rue", "fals\u212A", "yes ", "+1", "01"})
        EXPECT_EQ(parse_boolean_word(text), std::nullopt) << text;
}

// Each value bit for bit, from the library and the reference alike: the ends
// of both ranges, subnormals, ties and long or far-shifted significands.
TEST(CellText, EdgeValues) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::pair<std::string, std::optional<std::int64_t>> integers[] = {
        {"9223372036854775807", -(kMin + 1)},
        {"-0000000000000000000000009223372036854775808", kMin},
        {"9223372036854775808", {}},
        {std::string(5000, '9'), {}},
        {"1\0"s, {}}};
    for (const auto& [text, expected] : integers) {
        std::int64_t value = 0;
        EXPECT_EQ(parse_integer_text(text, value) ? std::optional(value) : std::nullopt, expected);
        EXPECT_EQ(testing::reference_integer(text), expected) << text;
    }
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::string zeros(400, '0');
    const std::pair<std::string, double> reals[] = {
        {"-.0e-5", -0.0},
        {"+iNfInItY", kInf},
        {"1.7976931348623159e308", kInf},
        {"0." + zeros + "1e99999999999999999999", kInf},
        {zeros + "9e-100000000000000000000000", 0.0},
        {"2.4703282292062327e-324", 0.0},  // below half the smallest subnormal
        {"2.4703282292062328e-324", std::numeric_limits<double>::denorm_min()},
        {"9007199254740993", 9007199254740992.0},  // a tie, to even
        {"9007199254740993.000000000000000000001", 9007199254740994.0},
        {"9530350863743457e11", 9.530350863743458e26},  // a significand beyond 2^53
        {"1" + std::string(10000, '0') + "e-10000", 1.0}};
    for (const auto& [text, expected] : reals) {
        double value = 0;
        ASSERT_TRUE(parse_float_text(text, value)) << text;
        EXPECT_TRUE(testing::same_double(value, expected)) << text;
        EXPECT_TRUE(testing::same_double(*testing::reference_float(text), expected)) << text;
    }
}

class NumberGenerator {
  public:
    std::mt19937_64 rng{1};

    std::uint64_t below(std::uint64_t n) { return rng() % n; }
    bool chance(unsigned percent) { return below(100) < percent; }
    std::string digits(std::size_t count) {
        std::string out;
        while (count-- > 0)
            out += static_cast<char>('0' + below(10));
        return out;
    }

    // Leading zeros, sometimes.
    std::string zeros(std::size_t most) { return std::string(chance(25) ? below(most) : 0, '0'); }
    std::string soup() { return testing::text_soup(rng); }

    // Well-formed decimal texts, mostly near the limits of the double range.
    std::string decimal() {
        std::string out = chance(30) ? (chance(50) ? "-" : "+") : "";
        out += zeros(30) + digits(chance(10) ? below(400) : below(25));
        if (chance(70)) out += '.' + zeros(30);
        out += digits(1 + (chance(10) ? below(400) : below(25)));
        if (chance(15)) return out;
        out += std::string(chance(50) ? "e" : "E") + (chance(60) ? (chance(60) ? "-" : "+") : "");
        static const int centres[] = {0, 300, 308, 310, 320, 324, 330, 340, 400, 700};
        const int exponent = std::abs(centres[below(std::size(centres))] + int(below(21)) - 10);
        return out + zeros(25) + (chance(3) ? digits(1 + below(30)) : std::to_string(exponent));
    }

    // Up to 20 significant digits and a power of ten near +-22: the edges of
    // the exact fast path.
    std::string short_decimal() {
        std::string text = digits(1 + below(20));
        if (chance(50)) text.insert(below(text.size()), 1, '.');
        return (chance(20) ? "-" : "") + text + 'e' + std::to_string(int(below(61)) - 30);
    }

    // The decimal expansion, cut at a random length, of a value halfway between
    // two adjacent doubles: the hardest inputs to round.
    std::string near_midpoint() {
        // Finite: the exponent field stops below all ones.
        const double low = std::bit_cast<double>(rng() & 0x7FEFFFFFFFFFFFFFull);
        const double high = std::nextafter(low, std::numeric_limits<double>::infinity());
        char text[900];
        std::snprintf(text, sizeof text, "%.*Le", int(below(780)),
                      (static_cast<long double>(low) + high) / 2);
        return text;
    }
};

TEST(CellText, GeneratedNumbersMatchTheReferences) {
    NumberGenerator generator;
    const std::pair<std::string (NumberGenerator::*)(), int> kinds[] = {
        {&NumberGenerator::soup, 100000},
        {&NumberGenerator::decimal, 50000},
        {&NumberGenerator::short_decimal, 100000},
        {&NumberGenerator::near_midpoint, 10000}};
    for (const auto& [make, rounds] : kinds) {
        for (int i = 0, failures = 0; i < scaled_rounds(rounds) && failures < 10; ++i) {
            const std::string message = testing::numbers_disagree((generator.*make)());
            if (!message.empty()) ADD_FAILURE() << message, ++failures;
        }
    }
}

// Every White_Space character, their non-space neighbours, and fragments of
// their encodings, in random runs: trimming takes exactly the reference's
// bytes off each end, as a view into the text.
TEST(CellText, TrimMatchesTheReference) {
    std::vector<std::string_view> pieces = {"x",
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
                                            "\xF0\x80\x80\x80"};
    pieces.insert(pieces.end(), std::begin(testing::kWhiteSpace), std::end(testing::kWhiteSpace));
    std::mt19937_64 rng(4);
    for (int i = 0; i < scaled_rounds(100000); ++i) {
        std::string text;
        for (std::size_t count = rng() % 8; count > 0; --count)
            text += pieces[rng() % pieces.size()];
        const std::string_view trimmed = trim_text(text);
        const std::string_view expected = testing::reference_trim(text);
        ASSERT_EQ(trimmed.data(), expected.data()) << text;
        ASSERT_EQ(trimmed.size(), expected.size()) << text;
    }
}

}  // namespace
}  // namespace brelt
