// Row: one row of a parsed table as a Python object, sharing the table with
// the reader it came from.
#pragma once

#include <cstdint>

#include "support/python.hpp"
#include "table/parsed_table.hpp"

namespace brelt::py {

// A new Row showing `row` of `table` (which must have it), its memory taken
// from the pool when one is there. nullptr with the exception set.
PyObject* new_row(TableRef table, std::uint32_t row);

}  // namespace brelt::py
