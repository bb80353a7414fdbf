// The limits the binding builds tables with. A release build always uses
// what the table's 32-bit offsets and 16-bit counts can address. A test build
// (BRELT_TEST_HOOKS, set with BRELT_BUILD_TESTS) adds the private module
// function _set_table_limits_for_tests, so the tests can reach the limit
// errors with a few kilobytes of input instead of gigabytes.
#pragma once

#include "support/python.hpp"
#include "table/parse_table.hpp"

namespace brelt::py {

// Read with the interpreter lock held, before the lock is released.
TableLimits table_limits();

#ifdef BRELT_TEST_HOOKS
// _set_table_limits_for_tests(max_text_bytes, max_fields, max_row_fields,
// max_table_rows): every argument optional, each None (or missing) restoring
// that limit's default.
extern PyMethodDef set_table_limits_for_tests_definition;
#endif

}  // namespace brelt::py
