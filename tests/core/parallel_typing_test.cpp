// Typing on the worker pool: convert_columns gives the same cells on the pool
// or not; TypedBlocks, block by block over a
// first table and the pieces parsed after it, gives the cells of typing the
// whole table at once, passes a later piece's parse error out of next(), and
// may be left early; the pool runs each task once and takes its size from
// the environment.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "parallel/convert_columns.hpp"
#include "parallel/typed_blocks.hpp"
#include "parallel/worker_pool.hpp"
#include "table/parse_table.hpp"
#include "table/prepare_read.hpp"
#include "temp_file.hpp"

namespace brelt {
namespace {

bool same_cell(const CellValue& a, const CellValue& b) {
    return a.kind == b.kind && a.text_offset == b.text_offset &&
           std::memcmp(&a.integer, &b.integer, sizeof(a.integer)) == 0;
}

TEST(ConvertColumns, ParallelAndSequentialAgreeCellForCell) {
    std::mt19937 random(7);
    const char* texts[] = {"1", " 2 ", "x", "", "NA", "2.5", "yes", "-0", "1e400", "é"};
    std::string text = "a,b,c,d,e\n";
    for (int r = 0; r < 3000; ++r) {
        for (int f = 0, fields = 1 + int(random() % 6); f < fields; ++f)  // short and long records
            text += (f ? "," : "") + std::string(texts[random() % std::size(texts)]);
        text += '\n';
    }
    auto parsed =
        parse_table({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, {});
    ASSERT_TRUE(parsed.ok());
    const ParsedTable& table = *parsed->table;
    const std::vector<ColumnPlan> plans = {{0, ColumnType::Int},  {1, ColumnType::Float},
                                           {2, ColumnType::Bool}, {3, ColumnType::Str},
                                           {4, ColumnType::Int},  {7, ColumnType::Str}};
    const NullValues nulls = NullValues::defaults();
    const std::size_t rows = table.row_count(), columns = plans.size();
    std::vector<CellValue> sequential(rows * columns), parallel(rows * columns);
    convert_columns(table, 0, rows, plans, nulls, false, sequential.data());
    convert_columns(table, 0, rows, plans, nulls, true, parallel.data());
    for (std::size_t i = 0; i < sequential.size(); ++i)
        ASSERT_TRUE(same_cell(sequential[i], parallel[i])) << "cell " << i;
    // Column 7 exists in no record: every cell is the empty text, a null.
    EXPECT_EQ(sequential[5 * rows].kind, CellValue::Kind::None);
    EXPECT_FALSE(converts_in_parallel(500, 3) || converts_in_parallel(100000, 1));
    EXPECT_TRUE(converts_in_parallel(501, 3));
}

TEST(WorkerPool, EveryIndexRunsExactlyOnceAndTheSizeIsFixedOnceCreated) {
    std::vector<std::atomic<int>> runs(1000);
    run_on_pool(runs.size(), [&](std::size_t i) { runs[i].fetch_add(1); });
    for (const auto& count : runs)
        ASSERT_EQ(count.load(), 1);
    const std::size_t size = pool_size();
    EXPECT_GE(size, 1u);
    EXPECT_TRUE(pool_usable());
    request_pool_size(size + 5);
    EXPECT_EQ(pool_size(), size);
}

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
    EXPECT_GE(machine, 1u);
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
                    << "parallel " << parallel << " piece " << piece_cells << " block "
                    << block_cells;
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
