// The options of a typed read (read_csv's parameters), shared by every
// function that takes them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/arguments.hpp"
#include "table/prepare_read.hpp"

namespace brelt::py {

// read_csv's parameters in order. A function taking them lists these names
// first in its Signature and may add its own after kReadParameterCount.
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

#define BRELT_READ_PARAMETER_NAMES                                                   \
    "path", "delimiter", "has_header", "schema", "skip_rows", "max_rows", "columns", \
        "null_values", "encoding", "strict", "n_threads"

struct ReadOptions {
    ReadRequest request;
    std::optional<std::uint64_t> threads;
    std::optional<std::vector<std::string>> null_values;  // as given
};

// Converts the bound arguments (Signature::bind's array) in parameter order,
// then reads the schema. False with the exception set.
bool read_options(const Signature& signature, PyObject* const* bound, ReadOptions& options);

}  // namespace brelt::py
