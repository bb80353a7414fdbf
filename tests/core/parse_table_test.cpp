// What a parse stores, case by case: header names and rows, column
// selection, skip_rows and max_rows, strict field counts, each table limit
// with its own message, and a table renamed after the parse. (The batch path
// against the record path is parse_table_differential_test.cpp.)
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/parse_table.hpp"
#include "table/rename_columns.hpp"
#include "table_rows.hpp"

namespace brelt {
namespace {

using Rows = testing::TableRows;
using Names = std::vector<std::string>;

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Case {
    std::string input;
    TableOptions options;
    Names names;
    Rows rows;
    std::string error = {};
    TableLimits limits = {};
};

TableOptions headerless() {
    TableOptions options;
    options.has_header = false;
    return options;
}

TableOptions selecting(Names columns, bool has_header = true) {
    TableOptions options;
    options.columns = std::move(columns);
    options.has_header = has_header;
    return options;
}

TableOptions range(std::uint64_t skip, std::optional<std::uint64_t> max, bool strict = false) {
    TableOptions options;
    options.skip_rows = skip;
    options.max_rows = max;
    options.strict = strict;
    return options;
}

TableLimits limits(std::uint64_t text, std::uint64_t fields, std::uint64_t row_fields,
                   std::uint64_t rows) {
    return {text, fields, row_fields, rows};
}

constexpr std::uint64_t kAny = 0xFFFFFFFFULL;

const Case kCases[] = {
    {"a,b\n1,2\n3,4\n", {}, {"a", "b"}, {{"1", "2"}, {"3", "4"}}},
    {"", {}, {}, {}},
    {"", headerless(), {}, {}},
    {"x,y\n", {}, {"x", "y"}, {}},
    {"\xEF\xBB\xBF"
     "a,b\nc\n",
     headerless(),
     {},
     {{"a", "b"}, {"c"}}},
    {"h1,h2\n\"a,\"\"b\",c\nd,\"\"\n", {}, {"h1", "h2"}, {{"a,\"b", "c"}, {"d", ""}}},
    // Names that are not UTF-8 hold U+FFFD, and are selected as such.
    {"a,b\xFF"
     "c\n1,2\n",
     selecting({"b\xEF\xBF\xBD"
                "c"}),
     {"b\xEF\xBF\xBD"
      "c"},
     {{"2"}}},
    // Request order, a name twice, the first of two equal header names, a
    // name matching nothing, and a record too short for a selected column.
    {"a,b,c,a\n1,2,3,4\n5\n",
     selecting({"c", "a", "zzz", "c"}),
     {"c", "a", "c"},
     {{"3", "1", "3"}, {"", "5", ""}}},
    {"a,b\n1,2\n3,4\n", selecting({"q"}), {}, {{}, {}}},
    {"a,b\n1,2\n", selecting({"a"}, false), {}, {{}, {}}},
    // skip_rows and max_rows count data records only.
    {"h\n1\n\n2\n3\n4\n", range(1, 2), {"h"}, {{"2"}, {"3"}}},
    {"h\n1\n2\n", range(10, std::nullopt), {"h"}, {}},
    {"h\n1\n2\n", range(0, 0), {"h"}, {}},
    {"h\n1\n2\n3\n", range(0, 2), {"h"}, {{"1"}, {"2"}}},
    // Strict: unequal lengths fail the whole parse, and a record skipped or
    // beyond max_rows is checked all the same.
    {"a,b\n1,2\n3\n",
     range(0, std::nullopt, true),
     {},
     {},
     "CSV parse error: CSV error: record 2 (byte: 8): found record with 1 fields, but the "
     "previous record has 2 fields"},
    {"a,b\n1\n2,3\n",
     range(1, std::nullopt, true),
     {},
     {},
     "CSV parse error: CSV error: record 1 (byte: 4): found record with 1 fields, but the "
     "previous record has 2 fields"},
    {"a,b\n1,2\n3\n",
     range(0, 1, true),
     {},
     {},
     "CSV parse error: CSV error: record 2 (byte: 8): found record with 1 fields, but the "
     "previous record has 2 fields"},
    {"a,b\n1,2\n3\n", range(0, 1), {"a", "b"}, {{"1", "2"}}},
    // Each limit: exactly at it is fine, one past fails with its message.
    {"1,2,3\n", headerless(), {}, {{"1", "2", "3"}}, "", limits(kAny, kAny, 3, kAny)},
    {"1,2,3\n1,2,3,4\n",
     headerless(),
     {},
     {},
     "CSV parse error: record 2 has 4 fields, more than the 3 a row can hold",
     limits(kAny, kAny, 3, kAny)},
    {"1,2\n3,4\n", headerless(), {}, {{"1", "2"}, {"3", "4"}}, "", limits(kAny, 4, 0xFFFF, kAny)},
    {"1,2\n3,4\n5\n",
     headerless(),
     {},
     {},
     "CSV parse error: more than 4 fields in all, more than a table can hold",
     limits(kAny, 4, 0xFFFF, kAny)},
    {"abc,def\n", headerless(), {}, {{"abc", "def"}}, "", limits(6, kAny, 0xFFFF, kAny)},
    {"abc,def\ng\n",
     headerless(),
     {},
     {},
     "CSV parse error: the text of the fields exceeds 6 bytes, more than a table can hold",
     limits(6, kAny, 0xFFFF, kAny)},
    {"1\n2\n", headerless(), {}, {{"1"}, {"2"}}, "", limits(kAny, kAny, 0xFFFF, 2)},
    {"1\n2\n3\n",
     headerless(),
     {},
     {},
     "CSV parse error: more than 2 rows, more than a table can hold",
     limits(kAny, kAny, 0xFFFF, 2)},
};

TEST(ParseTable, Cases) {
    for (const Case& c : kCases) {
        Result<ParseResult> result = parse_table(bytes_of(c.input), c.options, c.limits);
        if (!c.error.empty()) {
            ASSERT_FALSE(result.ok()) << c.input;
            EXPECT_EQ(result.error().kind, ErrorKind::Value);
            EXPECT_EQ(result.error().message, c.error);
            continue;
        }
        ASSERT_TRUE(result.ok()) << c.input << ": " << result.error().message;
        const ParsedTable& table = *result->table;
        EXPECT_EQ(table.column_names(), c.names) << c.input;
        EXPECT_EQ(testing::table_rows(table), c.rows) << c.input;
        EXPECT_EQ(result->rows, c.rows.size()) << c.input;
        // The text holds the stored fields back to back, nothing else.
        std::size_t text = 0, fields = 0;
        for (const auto& row : c.rows) {
            for (const auto& field : row)
                text += field.size();
            fields += row.size();
        }
        EXPECT_EQ(table.text_size(), text) << c.input;
        EXPECT_EQ(table.total_fields(), fields) << c.input;
    }
}

// A renamed table reads like the original under its new names, and neither
// depends on the other afterwards.
TEST(ParseTable, RenamedCopy) {
    Result<ParseResult> parsed = parse_table(bytes_of("a,b\n1,,\"x,y\"\n\n2\n"), {});
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
