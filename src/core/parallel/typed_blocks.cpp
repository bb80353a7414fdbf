#include "parallel/typed_blocks.hpp"

#include <algorithm>

#include "parallel/convert_columns.hpp"

namespace brelt {

TypedBlocks::TypedBlocks(TableRef first, RemainingRecords* rest,
                         std::span<const ColumnPlan> columns, const NullValues& nulls,
                         std::size_t block_cells, bool parallel)
    : source_(std::move(first)),
      rest_(rest),
      columns_(columns),
      nulls_(nulls),
      block_rows_(std::max<std::size_t>(1, block_cells / std::max<std::size_t>(columns.size(), 1))),
      parallel_(parallel) {
    // A table read at once needs no block longer than itself.
    if (rest_ == nullptr)
        block_rows_ = std::max<std::size_t>(1, std::min(block_rows_, source_->row_count()));
    if (parallel_ && rest_ != nullptr) rest_->read_ahead();
    const std::size_t cells = block_rows_ * columns.size();
    slots_[0].cells.reset(new CellValue[cells]);
    if (parallel_) slots_[1].cells.reset(new CellValue[cells]);
}

// A job still running reads a table and writes a slot: it must end first.
TypedBlocks::~TypedBlocks() {
    pending_.reset();
}

void TypedBlocks::fill(Slot& slot) {
    slot.table = TableRef();
    slot.block = Block{};
    while (next_row_ >= source_->row_count()) {
        if (rest_ == nullptr || rest_->finished()) return;
        auto parsed = rest_->next(block_rows_);
        if (!parsed) {
            slot.error = std::move(parsed).error();
            return;
        }
        source_ = std::move(parsed->table);
        next_row_ = 0;
    }
    const std::size_t rows = std::min(block_rows_, source_->row_count() - next_row_);
    convert_columns(*source_, next_row_, rows, columns_, nulls_,
                    parallel_ && converts_in_parallel(rows, columns_.size()), slot.cells.get());
    slot.table = source_;
    slot.block = Block{source_.get(), next_row_, rows, slot.cells.get()};
    next_row_ += rows;
}

Result<TypedBlocks::Block> TypedBlocks::next() {
    if (!parallel_) {
        fill(slots_[0]);
    } else if (!started_) {
        fill(slots_[current_]);
    } else {
        pending_->wait();
        pending_.reset();
    }
    started_ = true;
    Slot& ready = slots_[parallel_ ? current_ : 0];
    if (ready.error) {
        Error error = std::move(*ready.error);
        ready.error.reset();
        return error;
    }
    if (parallel_ && ready.block.rows != 0) {
        current_ ^= 1;
        Slot& upcoming = slots_[current_];
        pending_.emplace(1, [this, &upcoming](std::size_t) { fill(upcoming); });
    }
    return ready.block;
}

}  // namespace brelt
