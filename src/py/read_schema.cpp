#include "read_schema.hpp"

#include "support/attribute.hpp"
#include "support/errors.hpp"
#include "support/owned_ref.hpp"
#include "support/text.hpp"

namespace brelt::py {

namespace {

std::optional<std::string> utf8_of(PyObject* text) {
    const auto view = str_utf8(text);
    if (!view) return std::nullopt;
    return std::string(*view);
}

// The type name a schema value stands for: its __name__ when it has one, else
// the value itself, which must then be a str.
std::optional<std::string> type_name_of(PyObject* value, const char* function) {
    OwnedRef name = attribute(value, "__name__");
    if (name) {
        if (!PyUnicode_Check(name.get())) {
            PyErr_Format(PyExc_TypeError,
                         "%s() argument 'schema': __name__ must be str, not %.200s", function,
                         Py_TYPE(name.get())->tp_name);
            return std::nullopt;
        }
        return utf8_of(name.get());
    }
    PyErr_Clear();
    if (!PyUnicode_Check(value)) {
        PyErr_Format(PyExc_TypeError,
                     "%s() argument 'schema': a type must be a class or str, not %.200s", function,
                     Py_TYPE(value)->tp_name);
        return std::nullopt;
    }
    return utf8_of(value);
}

}  // namespace

std::optional<std::unordered_map<std::string, ColumnType>> read_schema(PyObject* schema,
                                                                       const char* function) {
    std::unordered_map<std::string, ColumnType> types;
    const Py_ssize_t size = PyDict_GET_SIZE(schema);
    Py_ssize_t position = 0;
    PyObject* key_borrowed;
    PyObject* value_borrowed;
    while (PyDict_Next(schema, &position, &key_borrowed, &value_borrowed)) {
        // __name__ lookups run Python code, which may drop the dict's references.
        OwnedRef key = OwnedRef::borrow(key_borrowed);
        OwnedRef value = OwnedRef::borrow(value_borrowed);
        if (!PyUnicode_Check(key.get())) {
            PyErr_Format(PyExc_TypeError,
                         "%s() argument 'schema': a column name must be str, not %.200s", function,
                         Py_TYPE(key.get())->tp_name);
            return std::nullopt;
        }
        auto column = utf8_of(key.get());
        if (!column) return std::nullopt;
        auto name = type_name_of(value.get(), function);
        if (!name) return std::nullopt;
        if (PyDict_GET_SIZE(schema) != size) {
            PyErr_SetString(PyExc_RuntimeError, "dictionary changed size during iteration");
            return std::nullopt;
        }
        const auto type = parse_type_name(*name);
        if (!type) {
            raise(Error(ErrorKind::Value, "Unknown type: " + *name));
            return std::nullopt;
        }
        types.insert_or_assign(std::move(*column), *type);
    }
    return types;
}

}  // namespace brelt::py
