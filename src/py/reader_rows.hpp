// The csv-style reader's records as the csv module returns them: a list per
// record, each field a str, or under the quoting modes that convert, a
// float (QUOTE_NONNUMERIC, QUOTE_STRINGS) or None (QUOTE_STRINGS,
// QUOTE_NOTNULL) for unquoted fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dialect/parsed_records.hpp"
#include "str_cache.hpp"
#include "support/python.hpp"

namespace brelt::py {

// The csv module's QUOTE_* values.
enum class Quoting : int {
    Minimal = 0,
    All = 1,
    NonNumeric = 2,
    None = 3,
    Strings = 4,
    NotNull = 5
};

struct RowConversion {
    Quoting quoting = Quoting::Minimal;
    // The text holds lone surrogates (in their three-byte form).
    bool surrogates = false;
};

// Repeated texts of a column share one str object, as in read_csv: a cache
// for each of the first columns, which switches itself off where the
// column's text is mostly unique, and holds a bounded number of texts so a
// reader's memory stays bounded however long it reads.
class ColumnStrings {
  public:
    // Caches for columns [0, count) (as many of them as are cached).
    void cover(std::size_t count) {
        count = count < kCachedColumns ? count : kCachedColumns;
        while (caches_.size() < count) {
            caches_.push_back(std::make_unique<StrObjectCache>(seed_, kTextsPerColumn));
            active_.push_back(caches_.back().get());
        }
    }

    // A new reference to a str of `text` (valid UTF-8), or nullptr with the
    // exception set. `column` must be covered, or past the cached ones.
    PyObject* get(std::size_t column, std::string_view text) {
        if (column < active_.size() && active_[column] != nullptr) {
            StrObjectCache& cache = *active_[column];
            PyObject* str = cache.get(text);
            if (!cache.enabled()) active_[column] = nullptr;
            return str;
        }
        return new_cell_str(text);
    }

  private:
    static constexpr std::size_t kCachedColumns = 64;
    static constexpr std::size_t kTextsPerColumn = 512;
    HashSeed seed_ = HashSeed::random();
    std::vector<std::unique_ptr<StrObjectCache>> caches_;
    // The caches still on, by column; null for one that switched off.
    std::vector<StrObjectCache*> active_;
};

struct BuiltRows {
    // The first record not turned into a list: `last`, or the one with a
    // field that failed to convert (its exception is set).
    std::size_t stopped_at;
    std::size_t failed_field = 0;
};

// A new list for each of the records [first, last), which are all rows,
// appended to `out`.
BuiltRows build_rows(const dialect::ParsedRecords& parsed, const std::uint8_t* input,
                     std::size_t first, std::size_t last, const RowConversion& conversion,
                     ColumnStrings& strings, std::vector<PyObject*>& out);

}  // namespace brelt::py
