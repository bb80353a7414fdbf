// Repeated cell texts share one str object within a read. The cache watches
// its own hit rate and switches itself off for columns of unique text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "support/python.hpp"

namespace brelt::py {

class StrObjectCache {
  public:
    StrObjectCache();
    ~StrObjectCache();
    StrObjectCache(const StrObjectCache&) = delete;
    StrObjectCache& operator=(const StrObjectCache&) = delete;

    // A new reference to a str for `text`, or nullptr with the exception set.
    // `text` must stay valid (and unchanged) while the cache lives.
    PyObject* get(std::string_view text);

    bool enabled() const { return enabled_; }

  private:
    struct Slot {
        const char* data = nullptr;
        std::size_t size = 0;
        std::uint64_t hash = 0;
        PyObject* object = nullptr;  // one reference; nullptr for an empty slot
    };

    std::uint64_t hash(std::string_view text) const;
    void grow();
    void disable();

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
    std::uint64_t seed_[2];
    std::uint32_t hits_ = 0;
    std::uint32_t misses_ = 0;
    bool enabled_ = true;
};

// UTF-8 to str: ASCII copied into a compact string, anything else decoded with
// each ill-formed sequence replaced by U+FFFD.
PyObject* new_cell_str(std::string_view text);

}  // namespace brelt::py
