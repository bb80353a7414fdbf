// Typing on the worker pool: TypedBlocks, block by block over a first table
// and the pieces parsed after it, on the pool or not, gives the cells of
// typing the whole table at once on the calling thread, passes a later
// piece's parse error out of next(), and may be left early; the pool takes
// its size from the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "parallel/typed_blocks.hpp"
#include "parallel/worker_pool.hpp"
#include "table/prepare_read.hpp"
#include "temp_file.hpp"

namespace brelt {
namespace {

// RAYON_NUM_THREADS, else RAYON_RS_NUM_CPUS, else the machine; 0 means the
// machine, a malformed value is ignored.
TEST(WorkerPool, DefaultSizeFromTheEnvironment) {
    const auto size_with = [](const char* threads, const char* cpus) {
        for (auto [name, value] :
             {std::pair{"RAYON_NUM_THREADS", threads}, {"RAYON_RS_NUM_CPUS", cpus}})
            value ? setenv(name, value, 1) : unsetenv(name);
        return default_pool_size();
    };
    const std::size_t machine = size_with(nullptr, nullptr);
    EXPECT_EQ(size_with("6", "3"), 6u);
    EXPECT_EQ(size_with("0", "3"), machine);
    EXPECT_EQ(size_with("+4", nullptr), 4u);
    EXPECT_EQ(size_with(nullptr, "0"), machine);
    for (const char* junk : {"", "x", "-1", " 4", "4 ", "+", "++4"})
        EXPECT_EQ(size_with(junk, "3"), 3u) << junk;
    size_with(nullptr, nullptr);
}

// A cell as comparable text: its kind, then its value's bits or its string.
std::string describe(const CellValue& cell, std::string_view field) {
    const bool text = cell.kind == CellValue::Kind::Str;
    return char('0' + int(cell.kind)) +
           (text ? std::string(cell.text_in(field)) : std::to_string(cell.integer));
}

// Every cell described, row by row, from every block; or the read's error.
Result<std::vector<std::string>> read_blocks(const std::string& path, std::size_t piece_cells,
                                             std::size_t block_cells, bool parallel) {
    ReadRequest request;
    request.path = path;
    request.strict = true;
    request.piece_cells = piece_cells;
    auto prepared = prepare_read(request);
    if (!prepared) return std::move(prepared).error();
    const std::vector<ColumnPlan>& columns = prepared->plan.columns;
    TypedBlocks blocks(prepared->table, prepared->rest.get(), columns, request.nulls, block_cells,
                       parallel);
    std::vector<std::string> cells;
    for (;;) {
        auto block = blocks.next();
        if (!block) return std::move(block).error();
        if (block->rows == 0) return cells;
        for (std::size_t r = 0; r < block->rows; ++r) {
            const std::size_t row = block->first_row + r;
            for (std::size_t k = 0; k < columns.size(); ++k) {
                const bool present = columns[k].source < block->table->field_count(row);
                cells.push_back(
                    describe(block->cells[k * block->rows + r],
                             present ? block->table->field(row, columns[k].source) : ""));
            }
        }
    }
}

std::string sample_csv(int records) {
    std::string text = "n,word,x,flag\n";
    for (int r = 0; r < records; ++r)
        text += std::to_string(r) + (r % 7 ? ", w," : ",,") + (r % 3 ? "2.5," : ",") + "yes\n";
    return text;
}

TEST(TypedBlocks, PiecesAndBlocksGiveTheWholeTablesCells) {
    const testing::TempFile file(sample_csv(2600));
    auto whole = read_blocks(file.path(), 0, 1 << 20, false);
    ASSERT_TRUE(whole.ok());
    ASSERT_EQ(whole->size(), 2600u * 4);
    for (const bool parallel : {false, true}) {
        for (const std::size_t piece_cells : {0, 4, 1000, 6000}) {
            for (const std::size_t block_cells : {1, 12, 1204, 4000}) {
                auto blocks = read_blocks(file.path(), piece_cells, block_cells, parallel);
                ASSERT_TRUE(blocks.ok() && *blocks == *whole)
                    << parallel << " " << piece_cells << " " << block_cells;
            }
        }
    }
}

TEST(TypedBlocks, AParseErrorInALaterPieceComesOutOfNextAndLeavingEarlyIsSafe) {
    const testing::TempFile file(sample_csv(3000) + "1,2\n");
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
    request.strict = false;
    request.piece_cells = 400;
    auto prepared = prepare_read(request);
    ASSERT_TRUE(prepared.ok() && prepared->rest != nullptr);
    TypedBlocks blocks(prepared->table, prepared->rest.get(), prepared->plan.columns, request.nulls,
                       400, true);
    ASSERT_TRUE(blocks.next().ok());
}

}  // namespace
}  // namespace brelt
