// Choosing a column's type from a sample of its texts. A pure function of its
// inputs: the caller gathers the sample from wherever the records are (a
// table, a first piece of a file), so this room needs no table.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "types/column_type.hpp"
#include "types/null_values.hpp"

namespace brelt {

// How many records inference looks at, whatever the table's size.
inline constexpr std::size_t kInferenceSampleRows = 1000;

// The type of a column judged from `sample`, the untrimmed texts of its fields
// in the records looked at (a record too short to reach the column gives no
// text). Non-null texts decide: Int when at least 95% (truncated) are
// integers and none is a float, Float when integers and floats together reach
// that, Bool when boolean words do, Str otherwise and when every text is null.
ColumnType infer_column_type(std::span<const std::string_view> sample, const NullValues& nulls);

}  // namespace brelt
