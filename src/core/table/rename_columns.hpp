// A table's rows under other column names. Tables are immutable and shared
// with rows already handed out, so renaming makes a new table rather than
// changing the one those rows still read their names from.
#pragma once

#include <string>
#include <vector>

#include "common/result.hpp"
#include "table/parsed_table.hpp"

namespace brelt {

// A new table with a copy of `table`'s text, spans and rows and `names` as its
// column names. ErrorKind::Memory "alloc" when memory runs out.
Result<TableRef> with_column_names(const ParsedTable& table, std::vector<std::string> names);

}  // namespace brelt
