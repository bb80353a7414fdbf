// The arguments of a typed read, as read_csv and iter_csv take them: the
// path and the options that shape the result, converted to a ReadRequest.
#pragma once

#include <cstdint>
#include <optional>

#include "support/arguments.hpp"
#include "support/python.hpp"
#include "table/read_plan.hpp"

namespace brelt::py {

// Both signatures begin with these parameters, in this order.
enum ReadParameter {
    kPath,
    kDelimiter,
    kHasHeader,
    kSchema,
    kSkipRows,
    kMaxRows,
    kColumns,
    kNullValues,
    kEncoding,
    kStrict,
    kThreads,
    kReadParameterCount
};

// The names of the parameters above, for a Signature's list.
#define BRELT_READ_PARAMETER_NAMES                                                   \
    "path", "delimiter", "has_header", "schema", "skip_rows", "max_rows", "columns", \
        "null_values", "encoding", "strict", "n_threads"

struct ReadOptions {
    ReadRequest request;
    std::optional<std::uint64_t> threads;
};

// Converts the arguments bound to the read parameters in signature order,
// then reads the schema. False with the exception set.
bool to_read_options(const Signature& signature, PyObject* const* bound, ReadOptions& options);

// Raises a read's error: MemoryError when memory ran out, ValueError for
// every other failure (a missing file included), with the core's message.
PyObject* raise_read_error(Error error);

}  // namespace brelt::py
