// What a parse stores where the reference reader of the differential tests
// (parse_table_differential_test.cpp) does not reach: names that are not
// UTF-8, each table limit with its own message, and a table renamed after the
// parse.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "table/parse_table.hpp"
#include "table/rename_columns.hpp"
#include "table_paths.hpp"

namespace brelt {
namespace {

using Rows = testing::TableRows;
using Names = std::vector<std::string>;

using testing::input_bytes;

// Names that are not UTF-8 hold U+FFFD, and are selected as such.
TEST(ParseTable, NamesThatAreNotUtf8) {
    TableOptions options;
    options.columns = Names{"\uFFFD"};
    Result<ParseResult> result = parse_table(input_bytes("a,\xFF\n1,2\n"), options);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->table->column_names(), Names{"\uFFFD"});
    EXPECT_EQ(testing::table_rows(*result->table), Rows{{"2"}});
}

// Each limit admits a table exactly at it and refuses one past it.
TEST(ParseTable, EachLimitAdmitsATableAtIt) {
    // 3 rows, 6 fields, 8 bytes of text, 3 fields at most in a row.
    const std::string_view input = "abc,d\n1,2,3\ng\n";
    const struct {
        std::uint64_t TableLimits::*limit;
        std::uint64_t at;
        std::string message;
    } cases[] = {
        {&TableLimits::max_row_fields, 3, "record 2 has 3 fields, more than the 2 a row can hold"},
        {&TableLimits::max_fields, 6, "more than 5 fields in all, more than a table can hold"},
        {&TableLimits::max_text_bytes, 8,
         "the text of the fields exceeds 7 bytes, more than a table can hold"},
        {&TableLimits::max_table_rows, 3, "more than 2 rows, more than a table can hold"},
    };
    TableOptions headerless;
    headerless.has_header = false;
    for (const auto& c : cases) {
        TableLimits limits;
        limits.*c.limit = c.at;
        EXPECT_TRUE(parse_table(input_bytes(input), headerless, limits).ok()) << c.message;
        limits.*c.limit = c.at - 1;
        Result<ParseResult> past = parse_table(input_bytes(input), headerless, limits);
        ASSERT_FALSE(past.ok()) << c.message;
        EXPECT_EQ(past.error().kind, ErrorKind::Value);
        EXPECT_EQ(past.error().message, "CSV parse error: " + c.message);
    }
}

// A renamed table reads like the original under its new names, and neither
// depends on the other afterwards.
TEST(ParseTable, RenamedCopy) {
    Result<ParseResult> parsed = parse_table(input_bytes("a,b\n1,,\"x,y\"\n\n2\n"), {});
    ASSERT_TRUE(parsed.ok());
    TableRef original = std::move(parsed->table);
    Result<TableRef> renamed = with_column_names(*original, {"x", "y", "z"});
    ASSERT_TRUE(renamed.ok());
    EXPECT_EQ(original->column_names(), (Names{"a", "b"}));
    original = TableRef();
    EXPECT_EQ(testing::table_rows(**renamed), (Rows{{"1", "", "x,y"}, {"2"}}));
    EXPECT_EQ((*renamed)->column_names(), (Names{"x", "y", "z"}));
}

}  // namespace
}  // namespace brelt
