// The most characters a field of the csv-style reader may hold: one value for
// the process, as the csv module's field_size_limit() keeps one per
// interpreter. brelt/_field_limit.py checks the arguments; every reader reads
// the value whenever it parses and before it returns a row.
#pragma once

#include <cstdint>

#include "support/python.hpp"

namespace brelt::py {

// Read and written with the interpreter lock held.
std::int64_t field_limit();

// _field_limit(new_limit=None): returns the limit, first setting it to
// new_limit (an int within the C long range) when that is given.
extern PyMethodDef field_limit_definition;

}  // namespace brelt::py
