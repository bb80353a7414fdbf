// The dicts of a typed read: one per row, keys shared by all, values typed by
// the read's column plans. Blocks of rows are parsed and typed on the worker
// pool while the dicts of the block before are built: read_csv and a
// partition put every block's dicts in one list, iter_csv each block's in a
// batch of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "parallel/typed_blocks.hpp"
#include "str_cache.hpp"
#include "support/owned_ref.hpp"
#include "support/python.hpp"
#include "table/prepare_read.hpp"
#include "types/column_plan.hpp"

namespace brelt::py {

// Records are parsed and typed in blocks of about this many cells, so the
// memory beside the result stays small whatever the file size.
inline constexpr std::size_t kCellsPerBlock = 1 << 18;

// Makes the dicts of typed blocks.
class TypedDicts {
  public:
    // One key per column, in `keys`' order. False with the exception set.
    bool start(const std::vector<std::string>& keys);

    // Appends one dict per row of `block` to `list`. Repeated strings within
    // a column share one str object until forget_strings(). False with a
    // MemoryError set.
    bool append(const TypedBlocks::Block& block, std::span<const ColumnPlan> columns,
                PyObject* list);
    // Lets go of the shared strings, so a long read's memory stays bounded.
    void forget_strings();

  private:
    std::vector<OwnedRef> keys_;
    // The keys in column order, each with None: copying it gives a row's dict
    // its final size and order at once, so setting the values never resizes.
    OwnedRef template_dict_;
    std::deque<StrObjectCache> strings_;  // one per column; caches do not move
};

// The rows of `read` as a new list of dicts, typed by its plan, or nullptr
// with the exception set (an error met parsing the rest of the input is a
// ValueError). `threads` (n_threads) sizes the worker pool if this call
// creates it; a read with no rows creates nothing. With `not_utf8`, a read
// whose guess that its text is UTF-8 proves wrong sets it and returns nullptr
// with no exception, to be started over.
PyObject* typed_rows(PreparedRead& read, std::optional<std::uint64_t> threads,
                     bool* not_utf8 = nullptr);

// A read's error as the exception a typed read raises: MemoryError when
// memory ran out, ValueError for everything else (a missing file included).
PyObject* raise_read_error(Error error);

// MemoryError with `message`, whatever was raised before; returns nullptr.
PyObject* memory_error(const char* message);

}  // namespace brelt::py
