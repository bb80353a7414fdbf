// What a typed read makes of one output column.
#pragma once

#include <cstddef>

#include "types/column_type.hpp"

namespace brelt {

// The table column the values come from, and the type they are converted to.
struct ColumnPlan {
    std::size_t source;
    ColumnType type;
};

}  // namespace brelt
