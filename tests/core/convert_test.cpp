// Null texts and convert_cell under each column type, including where a string
// cell's text lies within its field.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "types/convert.hpp"

namespace brelt {
namespace {

using Kind = CellValue::Kind;

TEST(NullValues, DefaultsMatchExactlyAndCaseSensitively) {
    const NullValues nulls = NullValues::defaults();
    for (const char* text : {"", "NA", "null", "None"})
        EXPECT_TRUE(nulls.matches(text)) << text;
    for (const char* text : {"na", "Na", "NULL", "Null", "none", "NONE", "N/A", "nan", "NaN", " ",
                             "NA ", "Non", "nulls", "-"}) {
        EXPECT_FALSE(nulls.matches(text)) << text;
    }
}

TEST(NullValues, CustomListsIncludingLongValuesThatShareALengthBucket) {
    const std::string long63(63, 'x');
    const std::string long70(70, 'y');
    const NullValues nulls({"-", "missing", long63, long70});
    EXPECT_TRUE(nulls.matches("-"));
    EXPECT_TRUE(nulls.matches("missing"));
    EXPECT_TRUE(nulls.matches(long63));
    EXPECT_TRUE(nulls.matches(long70));
    EXPECT_FALSE(nulls.matches(""));
    EXPECT_FALSE(nulls.matches("NA"));
    EXPECT_FALSE(nulls.matches(std::string(63, 'y')));
    EXPECT_FALSE(nulls.matches(std::string(64, 'x')));
    EXPECT_FALSE(nulls.matches(std::string(70, 'x')));
    EXPECT_FALSE(nulls.matches(std::string(71, 'y')));

    const NullValues none({});
    EXPECT_FALSE(none.matches(""));
    EXPECT_FALSE(NullValues({"\0"}).matches(std::string_view("\0", 1)));
    EXPECT_TRUE(NullValues({std::string(1, '\0')}).matches(std::string_view("\0", 1)));
}

constexpr ColumnType kAllTypes[] = {ColumnType::Int, ColumnType::Float, ColumnType::Bool,
                                    ColumnType::Str};

// Checks that `cell` is a string cell naming exactly `expected` inside `field`.
void expect_text(const CellValue& cell, std::string_view field, std::string_view expected) {
    ASSERT_EQ(cell.kind, Kind::Str) << field;
    EXPECT_LE(cell.text_offset + cell.text_length, field.size());
    EXPECT_EQ(cell.text_in(field), expected) << field;
    EXPECT_EQ(field.find(expected, cell.text_offset), cell.text_offset);
}

TEST(ConvertCell, NullsAfterTrimmingUnderEveryType) {
    const NullValues nulls = NullValues::defaults();
    for (ColumnType type : kAllTypes) {
        for (const char* field : {"", "  NA  ", "\tnull\r", "\u3000None\u00A0", "\u2003"})
            EXPECT_EQ(convert_cell(field, type, nulls).kind, Kind::None) << field;
        expect_text(convert_cell(" na ", type, nulls), " na ", "na");
    }
    // A caller's null texts win over a value the type would accept.
    const NullValues custom({"NaN", "0"});
    EXPECT_EQ(convert_cell(" NaN", ColumnType::Float, custom).kind, Kind::None);
    EXPECT_EQ(convert_cell("0", ColumnType::Int, custom).kind, Kind::None);
    expect_text(convert_cell("", ColumnType::Int, custom), "", "");
}

TEST(ConvertCell, IntegersAndTextsThatAreNot) {
    const NullValues nulls = NullValues::defaults();
    const CellValue cell = convert_cell(" -42\t", ColumnType::Int, nulls);
    ASSERT_EQ(cell.kind, Kind::Int);
    EXPECT_EQ(cell.integer, -42);
    const CellValue lowest = convert_cell("-9223372036854775808", ColumnType::Int, nulls);
    ASSERT_EQ(lowest.kind, Kind::Int);
    EXPECT_EQ(lowest.integer, std::numeric_limits<std::int64_t>::min());
    for (const char* text : {"9223372036854775808", "1.0", "1e3", "yes", "abc", "1 2"})
        expect_text(convert_cell(text, ColumnType::Int, nulls), text, text);
    expect_text(convert_cell(" 1.5 ", ColumnType::Int, nulls), " 1.5 ", "1.5");
}

TEST(ConvertCell, FloatsIncludingIntegerTextsAndSpecials) {
    const NullValues nulls = NullValues::defaults();
    const auto real = [&](std::string_view field) {
        const CellValue cell = convert_cell(field, ColumnType::Float, nulls);
        EXPECT_EQ(cell.kind, Kind::Float) << field;
        return cell.real;
    };
    EXPECT_EQ(real("7"), 7.0);
    EXPECT_EQ(real("9223372036854775809"), 9223372036854775808.0);
    EXPECT_EQ(real(" 2.5e-1 "), 0.25);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(real(" -0 ")), std::bit_cast<std::uint64_t>(-0.0));
    EXPECT_EQ(real("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(real("-INF"), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(real("\u00A0NaN\u00A0")));
    for (const char* text : {"abc", "1,5", "0x10", "nan(1)", "--1", "true"})
        expect_text(convert_cell(text, ColumnType::Float, nulls), text, text);
}

TEST(ConvertCell, BooleanWordsKeepOtherTextAsWritten) {
    const NullValues nulls = NullValues::defaults();
    const std::pair<const char*, bool> words[] = {{"Yes", true},  {" FALSE\t", false},
                                                  {"1", true},    {"0", false},
                                                  {"tRUE", true}, {"no", false}};
    for (const auto& [field, value] : words) {
        const CellValue cell = convert_cell(field, ColumnType::Bool, nulls);
        ASSERT_EQ(cell.kind, Kind::Bool) << field;
        EXPECT_EQ(cell.boolean, value) << field;
    }
    for (const char* text : {"maybe", "Y", "2", "01", "1.0", "TRUE!"})
        expect_text(convert_cell(text, ColumnType::Bool, nulls), text, text);
    expect_text(convert_cell("  MayBe ", ColumnType::Bool, nulls), "  MayBe ", "MayBe");
}

TEST(ConvertCell, StringCellsNameTheTrimmedTextInsideTheField) {
    const NullValues nulls = NullValues::defaults();
    const std::string_view fields[][2] = {
        {"42", "42"},
        {"  hello world \u00A0", "hello world"},
        {"\u3000\u2003x y\u205F", "x y"},
        {"\u200Bzero width\u200B", "\u200Bzero width\u200B"},
        {"\t1.5\n", "1.5"},
    };
    for (const auto& [field, trimmed] : fields)
        expect_text(convert_cell(field, ColumnType::Str, nulls), field, trimmed);
    const CellValue cell = convert_cell("\u3000\u2003x y\u205F", ColumnType::Str, nulls);
    EXPECT_EQ(cell.text_offset, 6u);
    EXPECT_EQ(cell.text_length, 3u);
}

}  // namespace
}  // namespace brelt
