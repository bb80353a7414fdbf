// The csv-style reader's records as the csv module returns them: a list per
// record, each field a str, or under the quoting modes that convert, a
// float (QUOTE_NONNUMERIC, QUOTE_STRINGS) or None (QUOTE_STRINGS,
// QUOTE_NOTNULL) for unquoted fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dialect/parsed_records.hpp"
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
                     std::vector<PyObject*>& out);

}  // namespace brelt::py
