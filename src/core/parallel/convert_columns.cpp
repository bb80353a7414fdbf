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

BlockConverter::BlockConverter(const ParsedTable& table, std::span<const ColumnPlan> columns,
                               const NullValues& nulls, std::size_t block_rows, bool parallel)
    : table_(table),
      columns_(columns),
      nulls_(nulls),
      block_rows_(std::max<std::size_t>(1, std::min(block_rows, table.row_count()))),
      parallel_(parallel && columns.size() >= 2) {
    const std::size_t cells = block_rows_ * columns.size();
    buffers_[0].reset(new CellValue[cells]);
    if (parallel_) buffers_[1].reset(new CellValue[cells]);
}

// A job still running reads the table and writes a buffer: it must end first.
BlockConverter::~BlockConverter() {
    pending_.reset();
}

void BlockConverter::start(std::size_t first, CellValue* cells) {
    const std::size_t rows = std::min(block_rows_, table_.row_count() - first);
    pending_first_ = first;
    pending_.emplace(columns_.size(), [this, first, rows, cells](std::size_t k) {
        convert_column(table_, first, rows, columns_[k], nulls_, cells + k * rows);
    });
}

const CellValue* BlockConverter::block(std::size_t first) {
    if (!parallel_) {
        const std::size_t rows = std::min(block_rows_, table_.row_count() - first);
        convert_columns(table_, first, rows, columns_, nulls_, false, buffers_[0].get());
        return buffers_[0].get();
    }
    if (!pending_ || pending_first_ != first) {
        pending_.reset();
        start(first, buffers_[current_].get());
    }
    pending_->wait();
    pending_.reset();
    CellValue* ready = buffers_[current_].get();
    current_ ^= 1;
    const std::size_t next = first + block_rows_;
    if (next < table_.row_count()) start(next, buffers_[current_].get());
    return ready;
}

}  // namespace brelt
