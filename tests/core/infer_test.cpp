// Column type inference: the 95% bar on non-null texts, the order in which a
// text is counted, and which rows are looked at.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "table/column_sample.hpp"
#include "table/parse_table.hpp"
#include "types/infer.hpp"

namespace brelt {
namespace {

// Texts for the first column, as many as `count` copies of each.
struct Run {
    std::string text;
    int count = 1;
};

// A two-column table whose first column holds the runs in order; the second
// column is filler, so that empty texts survive as fields.
TableRef table_of(const std::vector<Run>& runs) {
    std::string csv = "value,other\n";
    for (const Run& run : runs) {
        for (int i = 0; i < run.count; ++i)
            csv += run.text + ",x\n";
    }
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(csv.data()),
                                              csv.size());
    Result<ParseResult> result = parse_table(bytes, TableOptions{});
    EXPECT_TRUE(result.ok());
    return result ? std::move(result->table) : TableRef();
}

ColumnType infer(const std::vector<Run>& runs, std::size_t sample_rows = kInferenceSampleRows) {
    const TableRef table = table_of(runs);
    return infer_column_type(column_sample(*table, 0, sample_rows), NullValues::defaults());
}

TEST(InferColumnType, NinetyFivePercentTruncatedIsEnough) {
    // 20 non-null texts: the bar is 19. 19 non-null texts: the bar is 18.
    EXPECT_EQ(infer({{"1", 19}, {"abc", 1}}), ColumnType::Int);
    EXPECT_EQ(infer({{"1", 18}, {"abc", 2}}), ColumnType::Str);
    EXPECT_EQ(infer({{"1", 18}, {"abc", 1}}), ColumnType::Int);
    EXPECT_EQ(infer({{"1", 17}, {"abc", 2}}), ColumnType::Str);
    EXPECT_EQ(infer({{"96", 96}, {"word", 4}}), ColumnType::Int);
    EXPECT_EQ(infer({{"95", 95}, {"word", 5}}), ColumnType::Int);
    EXPECT_EQ(infer({{"94", 94}, {"word", 6}}), ColumnType::Str);
    EXPECT_EQ(infer({{"yes", 19}, {"maybe", 1}}), ColumnType::Bool);
    EXPECT_EQ(infer({{"yes", 18}, {"maybe", 2}}), ColumnType::Str);
}

TEST(InferColumnType, AnyFloatMakesAColumnOfIntegersFloat) {
    EXPECT_EQ(infer({{"96", 96}, {"1.5", 4}}), ColumnType::Float);
    EXPECT_EQ(infer({{"7", 999}, {"7.0", 1}}), ColumnType::Float);
    EXPECT_EQ(infer({{"94", 94}, {"1e3", 1}, {"word", 5}}), ColumnType::Float);
    EXPECT_EQ(infer({{"94", 93}, {"1e3", 1}, {"word", 6}}), ColumnType::Str);
    EXPECT_EQ(infer({{"nan"}, {"inf"}, {"1e400"}, {"-Infinity"}}), ColumnType::Float);
    EXPECT_EQ(infer({{"12345678901234567890", 5}, {"3", 5}}), ColumnType::Float);
}

TEST(InferColumnType, BooleanWordsButZeroAndOneAreIntegers) {
    EXPECT_EQ(infer({{"yes"}, {"no"}, {"TRUE"}, {"False"}}), ColumnType::Bool);
    EXPECT_EQ(infer({{"0", 10}, {"1", 10}}), ColumnType::Int);
    // "1" and "0" count as integers, not as words, so a mix reaches neither bar.
    EXPECT_EQ(infer({{"1", 50}, {"yes", 50}}), ColumnType::Str);
    EXPECT_EQ(infer({{"yes", 19}, {"1", 1}}), ColumnType::Bool);
}

TEST(InferColumnType, NullsAreLeftOutAndTextsAreTrimmed) {
    EXPECT_EQ(infer({{"NA", 90}, {"", 5}, {"None", 5}, {"3", 10}}), ColumnType::Int);
    EXPECT_EQ(infer({{" 1 "}, {"\u00A02\u3000"}, {"\t-3"}}), ColumnType::Int);
    EXPECT_EQ(infer({{" NA", 10}, {"x\u00A0", 1}}), ColumnType::Int);
    EXPECT_EQ(infer({{"NA", 10}, {"null", 3}, {""}}), ColumnType::Str);
    EXPECT_EQ(infer({}), ColumnType::Str);
    // With one non-null text the bar is zero: whatever it says, Int.
    EXPECT_EQ(infer({{"abc"}}), ColumnType::Int);
    EXPECT_EQ(infer({{"abc"}, {"NA", 50}}), ColumnType::Int);
}

TEST(InferColumnType, OnlyTheSampledRowsCount) {
    EXPECT_EQ(infer({{"5", 10}, {"word", 1000}}, 10), ColumnType::Int);
    EXPECT_EQ(infer({{"5", 10}, {"word", 1000}}, 12), ColumnType::Str);
    EXPECT_EQ(infer({{"5", 1000}, {"word", 100}}), ColumnType::Int);
    EXPECT_EQ(infer({{"5", 900}, {"word", 100}}), ColumnType::Str);
    EXPECT_EQ(infer({{"5", 3}}, 0), ColumnType::Str);
}

TEST(InferColumnType, RowsTooShortForTheColumnAreNotCounted) {
    // Column 1 exists only in the first two rows; the short rows are neither
    // nulls nor non-integers.
    const std::string csv = "a,b\n1,2\n3,4\n5\n6\n7\n8\n";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(csv.data()),
                                              csv.size());
    Result<ParseResult> result = parse_table(bytes, TableOptions{});
    ASSERT_TRUE(result.ok());
    const ParsedTable& table = *result->table;
    const NullValues nulls = NullValues::defaults();
    EXPECT_EQ(infer_column_type(column_sample(table, 1, kInferenceSampleRows), nulls),
              ColumnType::Int);
    EXPECT_EQ(infer_column_type(column_sample(table, 2, kInferenceSampleRows), nulls),
              ColumnType::Str);
    // Two sampled rows, neither reaching column 1.
    const std::string tail = "a,b\n5\nx\n1,2\n";
    Result<ParseResult> short_first =
        parse_table({reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size()}, {});
    ASSERT_TRUE(short_first.ok());
    EXPECT_EQ(infer_column_type(column_sample(*short_first->table, 1, 2), nulls), ColumnType::Str);
    EXPECT_EQ(infer_column_type(column_sample(*short_first->table, 1, 3), nulls), ColumnType::Int);
}

}  // namespace
}  // namespace brelt
