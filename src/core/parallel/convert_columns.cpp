#include "parallel/convert_columns.hpp"

#include <algorithm>

#include "parallel/worker_pool.hpp"
#include "types/convert.hpp"

namespace brelt {

namespace {

void convert_column(const ParsedTable& table, std::size_t first_row, std::size_t row_count,
                    const ColumnPlan& column, const NullValues& nulls, CellValue* out) {
    for (std::size_t r = 0; r < row_count; ++r) {
        const std::size_t row = first_row + r;
        const std::string_view field = column.source < table.field_count(row)
                                           ? table.field(row, column.source)
                                           : std::string_view();
        out[r] = convert_cell(field, column.type, nulls);
    }
}

}  // namespace

bool converts_in_parallel(std::size_t records, std::size_t columns) {
    return records >= kParallelMinRecords && columns >= 2;
}

void convert_columns(const ParsedTable& table, std::size_t first_row, std::size_t row_count,
                     std::span<const ColumnPlan> columns, const NullValues& nulls, bool parallel,
                     CellValue* cells) {
    auto convert_one = [&](std::size_t k) {
        convert_column(table, first_row, row_count, columns[k], nulls, cells + k * row_count);
    };
    if (!parallel || columns.size() < 2) {
        for (std::size_t k = 0; k < columns.size(); ++k)
            convert_one(k);
        return;
    }
    run_on_pool(columns.size(), convert_one);
}

}  // namespace brelt
