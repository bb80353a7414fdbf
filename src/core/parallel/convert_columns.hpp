// Typing a block of a parsed table's rows, one column per task, on the worker
// pool when the table is large enough to repay it.
#pragma once

#include <cstddef>
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

}  // namespace brelt
