// Memory of released Row objects, kept for the next Row: a snapshot per row
// of a large file would otherwise cost an allocator round trip each time.
// One pool for the process, since the module lives in one interpreter.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>

namespace brelt::py {

class RowPool {
  public:
    static constexpr std::size_t kSlots = 4096;

    // Keeps `memory` if there is room (at most kSlots - 1 blocks); false
    // when the caller must free it.
    bool push(void* memory);
    // The most recently kept block, or nullptr when the pool is empty.
    void* pop();

  private:
    // Held for one push or pop only, never while calling into the interpreter.
    std::mutex mutex_;
    std::array<void*, kSlots> slots_{};
    std::size_t fill_ = 0;
};

RowPool& row_pool();

}  // namespace brelt::py
