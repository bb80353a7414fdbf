// What a parse stores: rows, column names, selection, skipping, limits.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "table/parse_table.hpp"
#include "table_rows.hpp"

namespace brelt {
namespace {

using Rows = testing::TableRows;
using Names = std::vector<std::string>;

struct Parsed {
    Rows rows;
    Names names;
    std::uint64_t stored = 0;
};

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Rows rows_of(const ParsedTable& table) {
    return testing::table_rows(table);
}

Parsed parse(std::string_view input, const TableOptions& options = {}) {
    Result<ParseResult> result = parse_table(bytes_of(input), options);
    EXPECT_TRUE(result.ok()) << result.error().message;
    if (!result) return {};
    return {rows_of(*result->table), result->table->column_names(), result->rows};
}

TEST(ParseTableShape, HeaderNamesAndRows) {
    const Parsed parsed = parse("a,b\n1,2\n3,4\n");
    EXPECT_EQ(parsed.names, (Names{"a", "b"}));
    EXPECT_EQ(parsed.rows, (Rows{{"1", "2"}, {"3", "4"}}));
    EXPECT_EQ(parsed.stored, 2u);
}

TEST(ParseTableShape, EmptyAndHeaderOnlyInputs) {
    EXPECT_EQ(parse("").rows, Rows{});
    EXPECT_EQ(parse("").names, Names{});
    TableOptions no_header;
    no_header.has_header = false;
    EXPECT_EQ(parse("", no_header).rows, Rows{});
    const Parsed header_only = parse("x,y\n");
    EXPECT_EQ(header_only.rows, Rows{});
    EXPECT_EQ(header_only.names, (Names{"x", "y"}));
}

TEST(ParseTableShape, WithoutHeaderTheFirstLineIsARow) {
    TableOptions options;
    options.has_header = false;
    const Parsed parsed = parse(
        "\xEF\xBB\xBF"
        "a,b\nc\n",
        options);
    EXPECT_EQ(parsed.names, Names{});
    EXPECT_EQ(parsed.rows, (Rows{{"a", "b"}, {"c"}}));
}

TEST(ParseTableShape, TextHoldsExactlyTheFieldsWithoutGaps) {
    Result<ParseResult> result = parse_table(bytes_of("h1,h2\n\"a,\"\"b\",c\nd,\"\"\n"), {});
    ASSERT_TRUE(result.ok());
    const ParsedTable& table = *result->table;
    EXPECT_EQ(table.text_size(), std::string_view("a,\"bcd").size());
    EXPECT_EQ(table.total_fields(), 4u);
    EXPECT_EQ(rows_of(table), (Rows{{"a,\"b", "c"}, {"d", ""}}));
}

TEST(ParseTableNames, InvalidUtf8BecomesReplacementAndMatchesAsReplaced) {
    TableOptions options;
    options.columns = Names{
        "b\xEF\xBF\xBD"
        "c"};
    const Parsed parsed = parse(
        "a,b\xFF"
        "c\n1,2\n",
        options);
    EXPECT_EQ(parsed.names, (Names{"b\xEF\xBF\xBD"
                                   "c"}));
    EXPECT_EQ(parsed.rows, (Rows{{"2"}}));
}

TEST(ParseTableSelection, RequestOrderRepeatsAndMissingFields) {
    TableOptions options;
    options.columns = Names{"c", "a", "zzz", "c"};
    const Parsed parsed = parse("a,b,c,a\n1,2,3,4\n5\n", options);
    EXPECT_EQ(parsed.names, (Names{"c", "a", "c"}));
    EXPECT_EQ(parsed.rows, (Rows{{"3", "1", "3"}, {"", "5", ""}}));
}

TEST(ParseTableSelection, NothingMatchingStoresRowsWithoutFields) {
    TableOptions options;
    options.columns = Names{"q"};
    const Parsed parsed = parse("a,b\n1,2\n3,4\n", options);
    EXPECT_EQ(parsed.names, Names{});
    EXPECT_EQ(parsed.rows, (Rows{{}, {}}));

    options.has_header = false;
    options.columns = Names{"a"};
    EXPECT_EQ(parse("a,b\n1,2\n", options).rows, (Rows{{}, {}}));
}

TEST(ParseTableRowRange, SkipRowsAndMaxRowsCountDataRecordsOnly) {
    TableOptions options;
    options.skip_rows = 1;
    options.max_rows = 2;
    EXPECT_EQ(parse("h\n1\n\n2\n3\n4\n", options).rows, (Rows{{"2"}, {"3"}}));
    options.skip_rows = 10;
    EXPECT_EQ(parse("h\n1\n2\n", options).rows, Rows{});
    options.skip_rows = 0;
    options.max_rows = 0;
    EXPECT_EQ(parse("h\n1\n2\n", options).stored, 0u);
}

TEST(ParseTableStrict, UnequalLengthsFailTheWholeParse) {
    TableOptions options;
    options.strict = true;
    Result<ParseResult> result = parse_table(bytes_of("a,b\n1,2\n3\n"), options);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, ErrorKind::Value);
    EXPECT_EQ(result.error().message,
              "CSV parse error: CSV error: record 2 (byte: 8): found record with 1 fields, but "
              "the previous record has 2 fields");
}

TEST(ParseTableStrict, ASkippedRecordOrTheOneBeyondMaxRowsIsStillChecked) {
    TableOptions options;
    options.strict = true;
    options.skip_rows = 1;
    EXPECT_FALSE(parse_table(bytes_of("a,b\n1\n2,3\n"), options).ok());
    options.skip_rows = 0;
    options.max_rows = 1;
    EXPECT_FALSE(parse_table(bytes_of("a,b\n1,2\n3\n"), options).ok());
    options.strict = false;
    EXPECT_TRUE(parse_table(bytes_of("a,b\n1,2\n3\n"), options).ok());
}

TEST(ParseTableLimits, EachWidthLimitFailsWithItsOwnMessage) {
    auto fails_with = [](std::string_view input, const TableLimits& limits) {
        TableOptions options;
        options.has_header = false;
        Result<ParseResult> result = parse_table(bytes_of(input), options, limits);
        return result.ok() ? std::string("ok") : result.error().message;
    };
    TableLimits wide;
    wide.max_row_fields = 3;
    EXPECT_EQ(fails_with("1,2,3\n", wide), "ok");
    EXPECT_EQ(fails_with("1,2,3\n1,2,3,4\n", wide),
              "CSV parse error: record 2 has 4 fields, more than the 3 a row can hold");

    TableLimits fields;
    fields.max_fields = 4;
    EXPECT_EQ(fails_with("1,2\n3,4\n", fields), "ok");
    EXPECT_EQ(fails_with("1,2\n3,4\n5\n", fields),
              "CSV parse error: more than 4 fields in all, more than a table can hold");

    TableLimits text;
    text.max_text_bytes = 6;
    EXPECT_EQ(fails_with("abc,def\n", text), "ok");
    EXPECT_EQ(fails_with("abc,def\ng\n", text),
              "CSV parse error: the text of the fields exceeds 6 bytes, more than a table can "
              "hold");

    TableLimits rows;
    rows.max_table_rows = 2;
    EXPECT_EQ(fails_with("1\n2\n", rows), "ok");
    EXPECT_EQ(fails_with("1\n2\n3\n", rows),
              "CSV parse error: more than 2 rows, more than a table can hold");
}

TEST(ParseTableSharing, TheLastReferenceFromAnyThreadFreesTheTable) {
    Result<ParseResult> result = parse_table(bytes_of("a\n1\n2\n"), {});
    ASSERT_TRUE(result.ok());
    TableRef table = std::move(result->table);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([copy = table] {
            for (int k = 0; k < 1000; ++k) {
                TableRef again = copy;
                ASSERT_EQ(again->field(1, 0), "2");
            }
        });
    }
    table = TableRef();
    for (std::thread& thread : threads)
        thread.join();
}

}  // namespace
}  // namespace brelt
