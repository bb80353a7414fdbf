#include "row_pool.hpp"

namespace brelt::py {

bool RowPool::push(void* memory) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fill_ + 1 >= kSlots) return false;
    slots_[fill_++] = memory;
    return true;
}

void* RowPool::pop() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fill_ == 0 ? nullptr : slots_[--fill_];
}

RowPool& row_pool() {
    // Never destroyed: rows may be released while the process exits.
    static RowPool* const pool = new RowPool();
    return *pool;
}

}  // namespace brelt::py
