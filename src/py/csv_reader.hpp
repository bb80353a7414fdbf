// The csv-style Reader as other binding files use it (the DictReader's rows
// come from it without a Python call per row).
#pragma once

#include <cstdint>

#include "support/python.hpp"

namespace brelt::py {

bool is_csv_reader(PyObject* object);

// next(reader): a new reference, or nullptr at the end (no exception) or
// with an exception set. `reader` must be a Reader.
PyObject* csv_reader_next(PyObject* reader);

// reader.line_num. `reader` must be a Reader.
std::uint64_t csv_reader_line_num(PyObject* reader);

}  // namespace brelt::py
