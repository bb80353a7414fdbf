// A typed read's cells, a block of rows at a time, in row order. Blocks are cut
// from the read's first table and then from the tables the rest of the input
// is parsed into, piece by piece. While the caller builds objects from one
// block, the next one is parsed (when a new piece is due) and typed on the
// pool, so neither the whole table nor all its cells ever exist at once.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>

#include "common/result.hpp"
#include "parallel/worker_pool.hpp"
#include "table/parsed_table.hpp"
#include "table/prepare_read.hpp"
#include "types/cell_value.hpp"
#include "types/column_plan.hpp"
#include "types/null_values.hpp"

namespace brelt {

class TypedBlocks {
  public:
    struct Block {
        const ParsedTable* table = nullptr;
        std::size_t first_row = 0;  // in `table`
        std::size_t rows = 0;       // 0 once every block has been handed out
        // Column-major: the cell of column k, row first_row + r at k * rows + r.
        const CellValue* cells = nullptr;
    };

    // `rest` (may be null) and everything else must outlive this object.
    // Blocks hold about `block_cells` cells. With `parallel`, the text is read
    // ahead (RemainingRecords::read_ahead) and the next block is
    // prepared on the pool and large blocks are typed a column per task.
    TypedBlocks(TableRef first, RemainingRecords* rest, std::span<const ColumnPlan> columns,
                const NullValues& nulls, std::size_t block_cells, bool parallel);
    ~TypedBlocks();
    TypedBlocks(const TypedBlocks&) = delete;
    TypedBlocks& operator=(const TypedBlocks&) = delete;

    // The next block, valid until the next call, or the error that parsing
    // the rest of the input met.
    Result<Block> next();

  private:
    struct Slot {
        TableRef table;
        Block block;
        std::unique_ptr<CellValue[]> cells;
        std::optional<Error> error;
    };

    void fill(Slot& slot);

    TableRef source_;  // the table blocks are being cut from
    std::size_t next_row_ = 0;
    RemainingRecords* rest_;
    std::span<const ColumnPlan> columns_;
    const NullValues& nulls_;
    std::size_t block_rows_;
    bool parallel_;
    Slot slots_[2];
    std::size_t current_ = 0;  // the slot the next block is in
    bool started_ = false;
    std::optional<PoolJob> pending_;  // filling slots_[current_]
};

}  // namespace brelt
