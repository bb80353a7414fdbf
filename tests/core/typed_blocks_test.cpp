// A read's cells block by block, from a first table and the pieces parsed
// after it, are the cells of typing the whole table at once.
#include "parallel/typed_blocks.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parallel/convert_columns.hpp"
#include "table/prepare_read.hpp"
#include "temp_file.hpp"

namespace brelt {
namespace {

std::string tagged(char tag, std::string_view value) {
    std::string out(1, tag);
    out.append(value);
    return out;
}

// A cell as comparable text: its kind and value, or its string.
std::string describe(const CellValue& cell, const ParsedTable& table, std::size_t row,
                     std::size_t source) {
    switch (cell.kind) {
        case CellValue::Kind::None:
            return "None";
        case CellValue::Kind::Int:
            return tagged('i', std::to_string(cell.integer));
        case CellValue::Kind::Float:
            return tagged('f', std::to_string(cell.real));
        case CellValue::Kind::Bool:
            return cell.boolean ? "True" : "False";
        case CellValue::Kind::Str:
            return tagged('s',
                          cell.text_in(source < table.field_count(row) ? table.field(row, source)
                                                                       : std::string_view()));
    }
    return "?";
}

// Rows of described cells, from every block.
Result<std::vector<std::vector<std::string>>> read_blocks(const std::string& path,
                                                          std::size_t piece_cells,
                                                          std::size_t block_cells, bool parallel) {
    ReadRequest request;
    request.path = path;
    request.strict = true;
    request.piece_cells = piece_cells;
    auto prepared = prepare_read(request);
    if (!prepared) return std::move(prepared).error();
    TypedBlocks blocks(prepared->table, prepared->rest.get(), prepared->plan.columns, request.nulls,
                       block_cells, parallel);
    std::vector<std::vector<std::string>> rows;
    for (;;) {
        auto block = blocks.next();
        if (!block) return std::move(block).error();
        if (block->rows == 0) break;
        for (std::size_t r = 0; r < block->rows; ++r) {
            std::vector<std::string> row;
            for (std::size_t k = 0; k < prepared->plan.columns.size(); ++k) {
                row.push_back(describe(block->cells[k * block->rows + r], *block->table,
                                       block->first_row + r, prepared->plan.columns[k].source));
            }
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

std::string sample_csv(int records) {
    std::string text = "n,word,x,flag\n";
    for (int r = 0; r < records; ++r) {
        text += std::to_string(r) + "," + (r % 7 ? " w" + std::to_string(r % 13) : "") + ",";
        text += r % 3 ? "2.5," : ",";
        text += r % 2 ? "yes\n" : "no\n";
    }
    return text;
}

TEST(TypedBlocks, PiecesAndBlocksGiveTheWholeTablesCells) {
    const testing::TempFile file(sample_csv(2600));
    auto whole = read_blocks(file.path(), 0, 1 << 20, false);
    ASSERT_TRUE(whole.ok());
    ASSERT_EQ(whole->size(), 2600u);
    for (const bool parallel : {false, true}) {
        for (const std::size_t piece_cells : {0, 4, 1000, 6000}) {
            for (const std::size_t block_cells : {1, 12, 1204, 4000}) {
                auto blocks = read_blocks(file.path(), piece_cells, block_cells, parallel);
                ASSERT_TRUE(blocks.ok());
                ASSERT_EQ(*blocks, *whole) << "parallel " << parallel << " piece " << piece_cells
                                           << " block " << block_cells;
            }
        }
    }
}

TEST(TypedBlocks, AParseErrorInALaterPieceComesOutOfNext) {
    std::string text = sample_csv(3000) + "1,2\n";
    const testing::TempFile file(text);
    ReadRequest request;
    request.path = file.path();
    request.strict = true;
    auto at_once = prepare_read(request);
    ASSERT_FALSE(at_once.ok());
    for (const bool parallel : {false, true}) {
        auto blocks = read_blocks(file.path(), 400, 400, parallel);
        ASSERT_FALSE(blocks.ok());
        EXPECT_EQ(blocks.error().message, at_once.error().message);
    }
}

TEST(TypedBlocks, LeavingEarlyWithABlockPendingIsSafe) {
    const testing::TempFile file(sample_csv(5000));
    ReadRequest request;
    request.path = file.path();
    request.piece_cells = 400;
    auto prepared = prepare_read(request);
    ASSERT_TRUE(prepared.ok());
    ASSERT_NE(prepared->rest, nullptr);
    TypedBlocks blocks(prepared->table, prepared->rest.get(), prepared->plan.columns, request.nulls,
                       400, true);
    ASSERT_TRUE(blocks.next().ok());
}

}  // namespace
}  // namespace brelt
