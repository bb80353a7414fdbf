// What Row and PyReader answer about one row of a parsed table: its fields by
// position or column name, its names, its text and its equality with a list
// of str. Both types share this code and differ only in their wording.
#pragma once

#include <cstddef>
#include <string_view>

#include "support/python.hpp"
#include "table/parsed_table.hpp"

namespace brelt::py {

struct RowWording {
    const char* field_failure;  // MemoryError text when a field gives no str
    const char* index_enum;     // named in the TypeError of a bad index
};

struct RowView {
    const ParsedTable* table;
    std::size_t row;
    const RowWording* wording;

    std::size_t field_count() const { return table->field_count(row); }
    std::string_view field(std::size_t column) const { return table->field(row, column); }
};

// A list of `size` slots still to be filled; MemoryError "alloc" when it
// cannot be had.
PyObject* new_list(Py_ssize_t size);

// The field as a new str; MemoryError `failure` when it is not UTF-8 (a
// non-ASCII delimiter splits characters) or memory runs out.
PyObject* field_to_str(std::string_view text, const char* failure);

// row[idx]: an int position (negative from the end) or a column name.
PyObject* row_subscript(const RowView& view, PyObject* idx);
// The sequence protocol's item, with a negative index already offset.
PyObject* row_item(const RowView& view, Py_ssize_t index);
// The field named `key`, or `fallback` when there is none.
PyObject* row_get(const RowView& view, std::string_view key, PyObject* fallback);
// Whether `key` is a column name (1/0).
int row_has_column(const RowView& view, std::string_view key);
PyObject* row_keys(const RowView& view);
PyObject* row_values(const RowView& view);
PyObject* row_items(const RowView& view);
PyObject* row_repr(const RowView& view);
// row == other: true only for a list of as many str, each equal to its field
// shown as text (invalid UTF-8 as U+FFFD); 1/0, or -1 with TypeError for an
// item that is not a str.
int row_equals(const RowView& view, PyObject* other);

}  // namespace brelt::py
