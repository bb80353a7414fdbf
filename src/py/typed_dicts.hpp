// The dicts of a typed read's rows, made block by block from the cells the
// core typed: read_csv puts every block's dicts in one list, iter_csv each
// block's in a batch of its own. The keys are made once, interned, and shared
// by every dict.
#pragma once

#include <deque>
#include <span>
#include <string>
#include <vector>

#include "parallel/typed_blocks.hpp"
#include "str_cache.hpp"
#include "support/owned_ref.hpp"
#include "support/python.hpp"
#include "types/column_plan.hpp"

namespace brelt::py {

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

// MemoryError with `message`, whatever was raised before; returns nullptr
// (false).
PyObject* memory_error(const char* message);
bool out_of_memory(const char* message);

}  // namespace brelt::py
