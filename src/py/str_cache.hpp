// Repeated cell texts share one str object within a read. Each column has its
// own cache, which watches its hit rate and switches itself off when the
// column's text is mostly unique, so such columns do not pay for it and the
// tables of the others stay small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "support/python.hpp"

namespace brelt::py {

// The random key of the caches' hash; one per read.
struct HashSeed {
    std::uint64_t words[2];
    static HashSeed random();
};

class StrObjectCache {
  public:
    // Holds at most `max_entries` texts; past that, new texts get fresh
    // objects (a reader that streams keeps its memory bounded so).
    explicit StrObjectCache(const HashSeed& seed, std::size_t max_entries = SIZE_MAX)
        : seed_(seed), max_entries_(max_entries) {}
    ~StrObjectCache();
    StrObjectCache(const StrObjectCache&) = delete;
    StrObjectCache& operator=(const StrObjectCache&) = delete;

    // A new reference to a str for `text`, or nullptr with the exception set.
    // The cache keeps its own copy of each text it holds: a read releases
    // each piece of the parsed file once its rows are built.
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
    const char* keep(std::string_view text);
    void grow();
    void disable();

    std::vector<Slot> slots_;
    // Copies of the texts held, in chunks that never move.
    std::vector<std::unique_ptr<char[]>> chunks_;
    char* chunk_free_ = nullptr;
    std::size_t chunk_left_ = 0;
    std::size_t used_ = 0;
    HashSeed seed_;
    std::size_t max_entries_;
    std::uint32_t hits_ = 0;
    std::uint32_t misses_ = 0;
    std::uint32_t window_lookups_ = 0;
    std::uint32_t window_start_hits_ = 0;
    bool enabled_ = true;
};

// UTF-8 to str: ASCII copied into a compact string, anything else decoded with
// each ill-formed sequence replaced by U+FFFD.
PyObject* new_cell_str(std::string_view text);

}  // namespace brelt::py
