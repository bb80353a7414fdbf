// A parsed table's rows as strings, for comparing tables in tests and fuzzers.
#pragma once

#include <string>
#include <vector>

#include "table/parsed_table.hpp"

namespace brelt::testing {

using TableRows = std::vector<std::vector<std::string>>;

// Appends every row of `table`, field by field, to `rows`.
inline void append_table_rows(const ParsedTable& table, TableRows& rows) {
    for (std::size_t r = 0; r < table.row_count(); ++r) {
        std::vector<std::string> fields;
        for (std::size_t c = 0; c < table.field_count(r); ++c)
            fields.emplace_back(table.field(r, c));
        rows.push_back(std::move(fields));
    }
}

inline TableRows table_rows(const ParsedTable& table) {
    TableRows rows;
    append_table_rows(table, rows);
    return rows;
}

}  // namespace brelt::testing
