// A renamed table reads like the original under its new names, and neither
// depends on the other afterwards.
#include <gtest/gtest.h>

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

TableRef parsed(std::string_view input) {
    Result<ParseResult> result =
        parse_table({reinterpret_cast<const std::uint8_t*>(input.data()), input.size()}, {});
    EXPECT_TRUE(result.ok());
    return result ? std::move(result->table) : TableRef();
}

Rows rows_of(const ParsedTable& table) {
    return testing::table_rows(table);
}

TEST(RenameColumns, SameRowsNewNamesOriginalUntouchedAndOutlived) {
    // Ragged rows, empty and quoted fields: the spans must carry over as they are.
    TableRef original = parsed("a,b\n1,,\"x,y\"\n\n2\n");
    Result<TableRef> renamed = with_column_names(*original, {"x", "y", "z"});
    ASSERT_TRUE(renamed.ok());
    EXPECT_EQ(original->column_names(), (Names{"a", "b"}));
    original = TableRef();
    EXPECT_EQ(rows_of(**renamed), (Rows{{"1", "", "x,y"}, {"2"}}));
    EXPECT_EQ((*renamed)->column_names(), (Names{"x", "y", "z"}));
}

TEST(RenameColumns, EmptyTable) {
    Result<TableRef> renamed = with_column_names(*parsed(""), {"only"});
    ASSERT_TRUE(renamed.ok());
    EXPECT_EQ((*renamed)->row_count(), 0u);
    EXPECT_EQ((*renamed)->column_names(), (Names{"only"}));
}

}  // namespace
}  // namespace brelt
