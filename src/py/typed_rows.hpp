// The dicts of a typed read: one per row, keys shared by all, values typed
// by the read's column plans. Blocks of rows are parsed and typed on the
// worker pool while the dicts of the block before are built.
#pragma once

#include <cstddef>

#include "common/result.hpp"
#include "support/python.hpp"
#include "table/prepare_read.hpp"

namespace brelt::py {

// Records are parsed and typed in blocks of about this many cells, so the
// memory beside the result stays small whatever the file size.
inline constexpr std::size_t kCellsPerBlock = 1 << 18;

// The rows of `read` as a new list of dicts, typed by its plan, or nullptr
// with the exception set (an error met parsing the rest of the input is a
// ValueError).
PyObject* typed_rows(PreparedRead& read);

// A read's error as the exception a typed read raises: MemoryError when
// memory ran out, ValueError for everything else.
PyObject* raise_read_error(Error error);

}  // namespace brelt::py
