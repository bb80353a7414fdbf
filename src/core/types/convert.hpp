// Converting one field under a column type. A pure function of its inputs:
// called without the interpreter lock, from several threads at once.
#pragma once

#include <cstddef>
#include <string_view>

#include "types/cell_value.hpp"
#include "types/column_type.hpp"
#include "types/null_values.hpp"

namespace brelt {

// The trimmed text under `type`: null, the typed value, or (when the text does
// not fit the type, and always for Str) the trimmed text as a string cell.
// `field` must be shorter than 4 GiB.
CellValue convert_cell(std::string_view field, ColumnType type, const NullValues& nulls);

}  // namespace brelt
