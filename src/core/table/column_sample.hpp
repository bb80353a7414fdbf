// The texts a column's type is inferred from, taken from a parsed table.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

#include "table/parsed_table.hpp"

namespace brelt {

// The fields of `column` in the first `sample_rows` rows of `table`, leaving
// out rows too short to reach it. Views into the table.
inline std::vector<std::string_view> column_sample(const ParsedTable& table, std::size_t column,
                                                   std::size_t sample_rows) {
    std::vector<std::string_view> sample;
    const std::size_t rows = std::min(table.row_count(), sample_rows);
    sample.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        if (column < table.field_count(row)) sample.push_back(table.field(row, column));
    }
    return sample;
}

}  // namespace brelt
