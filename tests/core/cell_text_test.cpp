// The text tests behind typing: type names, boolean words, trimming, and the
// integer and float grammars with their edge values.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "types/cell_text.hpp"
#include "types/column_type.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(TypeNames, EveryNameInAnyCase) {
    const std::pair<const char*, ColumnType> names[] = {
        {"int", ColumnType::Int},      {"INTEGER", ColumnType::Int},  {"Float", ColumnType::Float},
        {"dOuBlE", ColumnType::Float}, {"NUMBER", ColumnType::Float}, {"bool", ColumnType::Bool},
        {"Boolean", ColumnType::Bool}, {"STR", ColumnType::Str},      {"string", ColumnType::Str},
    };
    for (const auto& [name, type] : names)
        EXPECT_EQ(parse_type_name(name), type) << name;
}

TEST(TypeNames, OtherNamesAreUnknown) {
    for (const char* name : {"", "in", "Int64", "integers", "text", "object", " int", "int ",
                             "floa", "string\n", "i\0nt"}) {
        EXPECT_EQ(parse_type_name(name), std::nullopt) << name;
    }
    EXPECT_EQ(parse_type_name("i\0nt"s), std::nullopt);
}

TEST(TypeNames, NonAsciiLettersNeverMatch) {
    // Capital I with dot lower-cases to "i" plus a combining dot; dotless i and
    // long s stay themselves under lower-casing; full-width letters are not ASCII.
    for (const char* name : {"\u0130nt", "\u0131nt", "\u017Ftr", "\u017Ftring",
                             "\uFF49\uFF4E\uFF54", "boo\u212A", "\u212Aint"}) {
        EXPECT_EQ(parse_type_name(name), std::nullopt) << name;
    }
}

TEST(BooleanWords, WordsInAnyCase) {
    for (const char* word : {"1", "yes", "YES", "yEs", "true", "TRUE", "True"})
        EXPECT_EQ(parse_boolean_word(word), true) << word;
    for (const char* word : {"0", "no", "NO", "nO", "false", "FALSE", "False"})
        EXPECT_EQ(parse_boolean_word(word), false) << word;
}

TEST(BooleanWords, OtherTextsAreNotWords) {
    for (const char* text : {"",      "2",     "y",   "n",         "t",          "f",     "on",
                             "off",   "01",    "00",  "1.0",       "-1",         "+1",    "yess",
                             "truee", "true ", " no", "\uFF54rue", "fals\u212A", "falsey"}) {
        EXPECT_EQ(parse_boolean_word(text), std::nullopt) << text;
    }
}

// Every White_Space character, with the encodings of its non-space neighbours.
constexpr std::string_view kSpaces[] = {
    "\t",     "\n",     "\v",     "\f",     "\r",     " ",      "\u0085", "\u00A0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
    "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000",
};
constexpr std::string_view kNotSpaces[] = {
    "\b",     "\x0E",   "\x1C",   "\x1D",   "\x1E",   "\x1F",   "\x7F",
    "\u0084", "\u0086", "\u009F", "\u00A1", "\u1681", "\u167F", "\u180E",
    "\u1FFF", "\u200B", "\u200C", "\u2027", "\u202A", "\u202E", "\u2030",
    "\u205E", "\u2060", "\u2FFF", "\u3001", "\uFEFF", "\u2E80", "\xE2\x81\x80",
};

TEST(Trim, EachSpaceOnEitherSideAndRunsOfThem) {
    for (std::string_view space : kSpaces) {
        const std::string s(space);
        EXPECT_EQ(trim_text(s + "x" + s), "x") << s;
        EXPECT_EQ(trim_text(s + s + "a" + s + "b" + s + s), "a" + s + "b") << s;
        EXPECT_EQ(trim_text(s), "") << s;
        EXPECT_EQ(trim_text(s + "\u3000" + s + " "), "") << s;
        EXPECT_EQ(trim_text("\u00E9" + s), "\u00E9") << s;
        EXPECT_EQ(trim_text(s + "\u4E2D"), "\u4E2D") << s;
    }
}

TEST(Trim, NeighbouringCharactersStay) {
    for (std::string_view other : kNotSpaces) {
        const std::string o(other);
        EXPECT_EQ(trim_text(o), o) << o;
        EXPECT_EQ(trim_text(" " + o + "x" + o + "\u3000"), o + "x" + o) << o;
    }
}

TEST(Trim, BrokenSequencesAreNotSpace) {
    // Continuation bytes of a space without their lead byte, and lead bytes cut short.
    for (const char* text : {"\x85", "\xA0", "x\xA0", "\x80\x80", "x\x9A\x80", "\xC2", "\xE2\x80",
                             "\xE3\x80", "x\xE3", "\xC3\xA0", "\xE2\x82\x80", "\xF0\x80\x80\x80"}) {
        EXPECT_EQ(trim_text(text), text) << text;
    }
    EXPECT_EQ(trim_text("\xE2\x80\xA8\x80"), "\x80");
    EXPECT_EQ(trim_text("\xFF\xC2\xA0"), "\xFF");
}

TEST(Trim, ResultIsAViewIntoTheText) {
    const std::string text = "\u2003 ab c\t";
    const std::string_view trimmed = trim_text(text);
    EXPECT_EQ(trimmed.data(), text.data() + 4);
    EXPECT_EQ(trimmed, "ab c");
    EXPECT_EQ(trim_text(std::string_view()), "");
}

std::optional<std::int64_t> integer(std::string_view text) {
    std::int64_t value = 0;
    if (!parse_integer_text(text, value)) return std::nullopt;
    return value;
}

TEST(IntegerText, SignsZerosAndTheInt64Range) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(integer("0"), 0);
    EXPECT_EQ(integer("-0"), 0);
    EXPECT_EQ(integer("+0"), 0);
    EXPECT_EQ(integer("007"), 7);
    EXPECT_EQ(integer("-0042"), -42);
    EXPECT_EQ(integer("9223372036854775807"), kMax);
    EXPECT_EQ(integer("+9223372036854775807"), kMax);
    EXPECT_EQ(integer("-9223372036854775808"), kMin);
    EXPECT_EQ(integer("-9223372036854775807"), kMin + 1);
    EXPECT_EQ(integer("00000000000000000000000009223372036854775807"), kMax);
    EXPECT_EQ(integer("-0000000000000000000000009223372036854775808"), kMin);
    EXPECT_EQ(integer("9223372036854775808"), std::nullopt);
    EXPECT_EQ(integer("-9223372036854775809"), std::nullopt);
    EXPECT_EQ(integer("9223372036854775810"), std::nullopt);
    EXPECT_EQ(integer("18446744073709551616"), std::nullopt);
    EXPECT_EQ(integer("99999999999999999999"), std::nullopt);
    EXPECT_EQ(integer(std::string(5000, '9')), std::nullopt);
}

TEST(IntegerText, AnythingButSignAndDigitsIsRefused) {
    for (const char* text : {"", "+", "-", " 1", "1 ", "1_0", "1.0", "1.", "1e3", "0x10", "--1",
                             "+-1", "1-", "1+1", "\u0661", "\uFF11"}) {
        EXPECT_EQ(integer(text), std::nullopt) << text;
    }
    EXPECT_EQ(integer("1\0"s), std::nullopt);
}

std::optional<double> real(std::string_view text) {
    double value = 0;
    if (!parse_float_text(text, value)) return std::nullopt;
    return value;
}

TEST(FloatText, GrammarAccepts) {
    for (const char* text : {"0",         "1",     "-1",   "+1",       "1.",
                             "-1.",       ".5",    "+.5",  "-.5",      "1.5",
                             "00.00",     "1e5",   "1E5",  "1e+5",     "1e-5",
                             "1.e5",      ".5e-3", "5E0",  "1e0005",   "9223372036854775808",
                             "inf",       "INF",   "-Inf", "infinity", "+iNfInItY",
                             "-INFINITY", "nan",   "NaN",  "-nan",     "+NAN"}) {
        EXPECT_TRUE(real(text).has_value()) << text;
    }
}

TEST(FloatText, GrammarRefuses) {
    for (const char* text :
         {"",       "+",     "-",     ".",      "+.",       "-.",      "e5",        ".e5",
          "1e",     "1e+",   "1e-",   "1e+-1",  "1.5.2",    "1e5.5",   "1e5e5",     "1..5",
          "++1",    "+-1",   "0x1p3", "0x10",   "infin",    "infinit", "infinityy", "nana",
          "nan(1)", "nan()", "in",    "i",      "n",        "inf5",    "infe5",     " 1",
          "1 ",     "1_000", "1,5",   "\uFF11", "1e\u0663", "+ 1",     "1d5",       "1f",
          "e",      "E",     "-e1",   "\u221E", "1.5e",     "--inf",   "+-nan",     "1.5-"}) {
        EXPECT_EQ(real(text), std::nullopt) << text;
    }
}

// Each value bit for bit: signed zeros, the ends of the range, subnormals,
// ties and long or far-shifted significands.
TEST(FloatText, EdgeValues) {
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    const std::string zeros(400, '0');
    const std::pair<std::string, double> cases[] = {
        {"-0", -0.0},
        {"-.0e-5", -0.0},
        {"0e99999999999999999999999", 0.0},
        {"inf", kInf},
        {"-Infinity", -kInf},
        {"1.7976931348623158e308", kMax},
        {"1.7976931348623159e308", kInf},
        {"-1e400", -kInf},
        {"1e99999999999999999999", kInf},
        {"1" + zeros, kInf},
        {"0." + zeros + "1e99999999999999999999", kInf},
        {"-1e-400", -0.0},
        {"1e-99999999999999999999", 0.0},
        {"0." + zeros + "1", 0.0},
        {zeros + "9e-100000000000000000000000", 0.0},
        {"3e-324", kTiny},
        {"2.4703282292062327e-324", 0.0},  // below half the smallest subnormal
        {"2.4703282292062328e-324", kTiny},
        {"-1e-310", -1e-310},
        {"2.2250738585072011e-308", 2.2250738585072009e-308},
        {"9007199254740993", 9007199254740992.0},  // a tie, to even
        {"9007199254740993.000000000000000000001", 9007199254740994.0},
        {"123456789012345678901234567890", 1.2345678901234568e29},
        {"0." + zeros + "1e401", 1.0},
        {"1" + std::string(10000, '0') + "e-10000", 1.0},
        {"+12.5E-1", 1.25},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<double> value = real(text);
        ASSERT_TRUE(value.has_value()) << text;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*value), std::bit_cast<std::uint64_t>(expected))
            << text;
    }
    EXPECT_TRUE(std::isnan(*real("nan")));
    EXPECT_TRUE(std::isnan(*real("-NaN")));
}

}  // namespace
}  // namespace brelt
