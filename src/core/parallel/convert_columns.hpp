// Typing a block of a parsed table's rows, one column per task, on the worker
// pool when the table is large enough to repay it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>

#include "parallel/worker_pool.hpp"
#include "table/parsed_table.hpp"
#include "types/cell_value.hpp"
#include "types/column_plan.hpp"
#include "types/null_values.hpp"

namespace brelt {

// Tables with fewer records, or a single column, stay on the calling thread:
// a column is the unit of parallel work.
inline constexpr std::size_t kParallelMinRecords = 501;

// Whether a table of `records` rows and `columns` output columns is converted
// on the pool.
bool converts_in_parallel(std::size_t records, std::size_t columns);

// Converts rows [first_row, first_row + row_count) of `table` column by column
// into `cells`, laid out column-major (cell of column k, row r at
// k * row_count + r). A row without the source field converts the empty text.
// With `parallel`, columns are spread over the pool, each converted by one
// thread in row order; the output is the same either way.
void convert_columns(const ParsedTable& table, std::size_t first_row, std::size_t row_count,
                     std::span<const ColumnPlan> columns, const NullValues& nulls, bool parallel,
                     CellValue* cells);

// Converts a table block by block in row order, each block into its own cell
// array. In parallel mode the next block is converted on the pool while the
// caller works with the current one, so typing overlaps whatever the caller
// does with the cells (building Python objects, for a read).
class BlockConverter {
  public:
    BlockConverter(const ParsedTable& table, std::span<const ColumnPlan> columns,
                   const NullValues& nulls, std::size_t block_rows, bool parallel);
    ~BlockConverter();
    BlockConverter(const BlockConverter&) = delete;
    BlockConverter& operator=(const BlockConverter&) = delete;

    // Rows per block (the last may be shorter).
    std::size_t block_rows() const { return block_rows_; }
    // The cells of rows [first, first + block_rows()) (clipped to the table),
    // laid out as convert_columns does. Blocks must be asked for in order;
    // the cells stay valid until the next call.
    const CellValue* block(std::size_t first);

  private:
    void start(std::size_t first, CellValue* cells);

    const ParsedTable& table_;
    std::span<const ColumnPlan> columns_;
    const NullValues& nulls_;
    std::size_t block_rows_;
    bool parallel_;
    std::unique_ptr<CellValue[]> buffers_[2];
    std::size_t current_ = 0;  // which buffer the next block lands in
    std::optional<PoolJob> pending_;
    std::size_t pending_first_ = 0;
};

}  // namespace brelt
