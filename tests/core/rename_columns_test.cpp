// A renamed table reads like the original under its new names, and neither
// depends on the other afterwards.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "table/parse_table.hpp"
#include "table/rename_columns.hpp"

namespace brelt {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;

TableRef parsed(std::string_view input, bool has_header) {
    TableOptions options;
    options.has_header = has_header;
    Result<ParseResult> result =
        parse_table({reinterpret_cast<const std::uint8_t*>(input.data()), input.size()}, options);
    EXPECT_TRUE(result.ok());
    return result ? std::move(result->table) : TableRef();
}

Rows rows_of(const ParsedTable& table) {
    Rows rows;
    for (std::size_t r = 0; r < table.row_count(); ++r) {
        std::vector<std::string> fields;
        for (std::size_t c = 0; c < table.field_count(r); ++c)
            fields.emplace_back(table.field(r, c));
        rows.push_back(std::move(fields));
    }
    return rows;
}

TEST(RenameColumns, SameRowsNewNamesOriginalUntouched) {
    // Ragged rows, empty and quoted fields: spans must carry over unchanged.
    const TableRef original = parsed("a,b\n1,,\"x,y\"\n\n2\n", true);
    Result<TableRef> renamed = with_column_names(*original, {"x", "y", "z"});
    ASSERT_TRUE(renamed.ok());
    EXPECT_NE(renamed->get(), original.get());
    EXPECT_EQ(rows_of(**renamed), rows_of(*original));
    EXPECT_EQ(rows_of(**renamed), (Rows{{"1", "", "x,y"}, {"2"}}));
    EXPECT_EQ((*renamed)->column_names(), (Names{"x", "y", "z"}));
    EXPECT_EQ(original->column_names(), (Names{"a", "b"}));
    EXPECT_EQ((*renamed)->text_size(), original->text_size());
    EXPECT_EQ((*renamed)->total_fields(), original->total_fields());
}

TEST(RenameColumns, CopyOutlivesTheOriginal) {
    TableRef original = parsed("p,q\nr,s\n", false);
    Result<TableRef> renamed = with_column_names(*original, {});
    ASSERT_TRUE(renamed.ok());
    original = TableRef();
    EXPECT_EQ(rows_of(**renamed), (Rows{{"p", "q"}, {"r", "s"}}));
    EXPECT_TRUE((*renamed)->column_names().empty());
}

TEST(RenameColumns, EmptyTable) {
    const TableRef original = parsed("", false);
    Result<TableRef> renamed = with_column_names(*original, {"only"});
    ASSERT_TRUE(renamed.ok());
    EXPECT_EQ((*renamed)->row_count(), 0u);
    EXPECT_EQ((*renamed)->column_names(), (Names{"only"}));
}

}  // namespace
}  // namespace brelt
