// Choosing a column's type from a sample of its fields, and converting one
// field under a column type. Pure functions of their inputs: called without the
// interpreter lock, from several threads at once.
#pragma once

#include <cstddef>
#include <string_view>

#include "table/parsed_table.hpp"
#include "types/cell_value.hpp"
#include "types/column_type.hpp"
#include "types/null_values.hpp"

namespace brelt {

// How many records inference looks at, whatever the table's size.
inline constexpr std::size_t kInferenceSampleRows = 1000;

// The type of `column` judged from the first min(rows, sample_rows) rows of
// `table`; rows too short to reach the column are not counted. Non-null texts
// decide: Int when at least 95% (truncated) are integers and none is a float,
// Float when integers and floats together reach that, Bool when boolean words
// do, Str otherwise and when every counted text is null.
ColumnType infer_column_type(const ParsedTable& table, std::size_t column, std::size_t sample_rows,
                             const NullValues& nulls);

// The trimmed text under `type`: null, the typed value, or (when the text does
// not fit the type, and always for Str) the trimmed text as a string cell.
// `field` must be shorter than 4 GiB.
CellValue convert_cell(std::string_view field, ColumnType type, const NullValues& nulls);

}  // namespace brelt
