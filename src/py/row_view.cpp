#include "row_view.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "support/errors.hpp"
#include "support/owned_ref.hpp"
#include "support/text.hpp"

namespace brelt::py {

namespace {

constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

// The first column whose name has exactly these bytes.
std::size_t find_column(const RowView& view, std::string_view key) {
    const auto& names = view.table->column_names();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == key) return i;
    }
    return kNoColumn;
}

PyObject* index_out_of_range() {
    return raise(Error(ErrorKind::Index, "index out of range"));
}

PyObject* field_at(const RowView& view, std::size_t column) {
    return field_to_str(view.field(column), view.wording->field_failure);
}

PyObject* by_position(const RowView& view, long index) {
    const std::size_t count = view.field_count();
    if (index < 0) index += static_cast<long>(count);
    // A negative index left over wraps to a huge one: one compare covers both.
    if (static_cast<unsigned long>(index) >= count) return index_out_of_range();
    return field_at(view, static_cast<std::size_t>(index));
}

PyObject* by_name(const RowView& view, std::string_view key, PyObject* key_object) {
    const std::size_t column = find_column(view, key);
    if (column == kNoColumn) {
        PyErr_SetObject(PyExc_KeyError, key_object);
        return nullptr;
    }
    if (column >= view.field_count()) return index_out_of_range();
    return field_at(view, column);
}

// "TypeError: message" for the pending exception, which it clears; nullptr
// (with that failure pending) if even this cannot be had.
OwnedRef describe_and_clear() {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    OwnedRef type_ref = OwnedRef::steal(type), value_ref = OwnedRef::steal(value),
             traceback_ref = OwnedRef::steal(traceback);
    const char* name = type != nullptr ? reinterpret_cast<PyTypeObject*>(type)->tp_name : "Error";
    OwnedRef message = OwnedRef::steal(value != nullptr ? PyObject_Str(value) : nullptr);
    if (!message) {
        PyErr_Clear();
        return OwnedRef::steal(PyUnicode_FromString(name));
    }
    return OwnedRef::steal(PyUnicode_FromFormat("%s: %U", name, message.get()));
}

PyObject* bad_index(const RowView& view, const OwnedRef& as_int, const OwnedRef& as_str) {
    PyErr_Format(PyExc_TypeError,
                 "argument 'idx': failed to extract enum %s ('Int | Str')\n"
                 "- variant Int (Int): %U\n"
                 "- variant Str (Str): %U",
                 view.wording->index_enum, as_int.get(), as_str.get());
    return nullptr;
}

PyObject* no_field_names() {
    return raise(Error(ErrorKind::Attribute, "no field names"));
}

PyObject* name_to_str(const std::string& name) {
    return new_str_from_utf8(name);
}

// The field's text as repr and equality show it: invalid UTF-8 as U+FFFD.
PyObject* field_replacing(std::string_view text) {
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

// Compares each list item's UTF-8 with the field shown as text; the first
// difference decides, so later items are never looked at.
int equals_list(const RowView& view, PyObject* other) {
    if (!PyList_Check(other)) return 0;
    const std::size_t count = view.field_count();
    if (static_cast<std::size_t>(PyList_GET_SIZE(other)) != count) return 0;
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* item = PyList_GET_ITEM(other, static_cast<Py_ssize_t>(i));
        if (!PyUnicode_Check(item)) {
            PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to 'PyString'",
                         Py_TYPE(item)->tp_name);
            return -1;
        }
        // Reading a str's UTF-8 runs no Python code, so the list cannot change.
        auto expected = str_utf8(item);
        if (!expected) return -1;
        const std::string_view field = view.field(i);
        if (field == *expected) continue;
        // Only a field that is not UTF-8 can still match, once replaced.
        if (is_ascii(field.data(), field.size())) return 0;
        OwnedRef shown = OwnedRef::steal(field_replacing(field));
        if (!shown) return -1;
        auto shown_text = str_utf8(shown.get());
        if (!shown_text) return -1;
        if (*shown_text != *expected) return 0;
    }
    return 1;
}

}  // namespace

PyObject* new_list(Py_ssize_t size) {
    PyObject* list = PyList_New(size);
    if (list == nullptr) {
        PyErr_Clear();
        raise(Error(ErrorKind::Memory, "alloc"));
    }
    return list;
}

PyObject* field_to_str(std::string_view text, const char* failure) {
    PyObject* str = new_str_from_utf8(text);
    if (str == nullptr) {
        PyErr_Clear();
        raise(Error(ErrorKind::Memory, failure));
    }
    return str;
}

PyObject* row_subscript(const RowView& view, PyObject* idx) {
    // A str cannot be an int: skip the failed int conversion and its exception.
    if (PyUnicode_CheckExact(idx)) {
        if (auto key = str_utf8(idx)) return by_name(view, *key, idx);
        PyErr_Clear();  // the full error is built below
    }
    // bool and any object with __index__ count as int.
    const long index = PyLong_AsLong(idx);
    if (index != -1 || !PyErr_Occurred()) return by_position(view, index);
    OwnedRef as_int = describe_and_clear();
    if (!as_int) return nullptr;
    OwnedRef as_str;
    if (PyUnicode_Check(idx)) {
        if (auto key = str_utf8(idx)) return by_name(view, *key, idx);
        as_str = describe_and_clear();
    } else {
        as_str = OwnedRef::steal(PyUnicode_FromFormat(
            "TypeError: '%s' object cannot be converted to 'PyString'", Py_TYPE(idx)->tp_name));
    }
    if (!as_str) return nullptr;
    return bad_index(view, as_int, as_str);
}

PyObject* row_item(const RowView& view, Py_ssize_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= view.field_count()) {
        return index_out_of_range();
    }
    return field_at(view, static_cast<std::size_t>(index));
}

PyObject* row_get(const RowView& view, std::string_view key, PyObject* fallback) {
    const std::size_t column = find_column(view, key);
    // A name past the row's last field gives the default, as a missing one does.
    if (column != kNoColumn && column < view.field_count()) return field_at(view, column);
    return Py_NewRef(fallback != nullptr ? fallback : Py_None);
}

int row_has_column(const RowView& view, std::string_view key) {
    return find_column(view, key) != kNoColumn ? 1 : 0;
}

PyObject* row_keys(const RowView& view) {
    const auto& names = view.table->column_names();
    if (names.empty()) return no_field_names();
    OwnedRef list = OwnedRef::steal(new_list(static_cast<Py_ssize_t>(names.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
        PyObject* name = name_to_str(names[i]);
        if (name == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), name);
    }
    return list.release();
}

PyObject* row_values(const RowView& view) {
    const std::size_t count = view.field_count();
    OwnedRef list = OwnedRef::steal(new_list(static_cast<Py_ssize_t>(count)));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* field = field_at(view, i);
        if (field == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), field);
    }
    return list.release();
}

PyObject* row_items(const RowView& view) {
    const auto& names = view.table->column_names();
    if (names.empty()) return no_field_names();
    // Fields beyond the last name have no name to pair with.
    const std::size_t count = std::min(view.field_count(), names.size());
    OwnedRef list = OwnedRef::steal(new_list(static_cast<Py_ssize_t>(count)));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        OwnedRef name = OwnedRef::steal(name_to_str(names[i]));
        if (!name) return nullptr;
        OwnedRef field = OwnedRef::steal(field_at(view, i));
        if (!field) return nullptr;
        PyObject* pair = PyTuple_Pack(2, name.get(), field.get());
        if (pair == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), pair);
    }
    return list.release();
}

PyObject* row_repr(const RowView& view) {
    const std::size_t count = view.field_count();
    std::string text = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) text += ", ";
        text += '\'';
        text += view.field(i);
        text += '\'';
    }
    text += ']';
    // Every field is followed by an ASCII quote, which ends any broken
    // sequence: replacing over the whole text is replacing field by field.
    return field_replacing(text);
}

int row_equals(const RowView& view, PyObject* other) {
    return equals_list(view, other);
}

}  // namespace brelt::py
