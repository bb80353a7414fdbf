// A caller's schema dict read into column types, with the interpreter lock held.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "support/python.hpp"
#include "types/column_type.hpp"

namespace brelt::py {

// Keys must be str; a value names its type through its __name__ (so the
// classes int, float, bool and str work) or is itself a str. nullopt with the
// exception set: TypeError for a wrong key or value, ValueError "Unknown type: "
// + the name as given, RuntimeError when the dict changes while being read.
// `function` names the caller in messages.
std::optional<std::unordered_map<std::string, ColumnType>> read_schema(PyObject* schema,
                                                                       const char* function);

}  // namespace brelt::py
