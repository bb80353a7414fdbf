#include "field_text.hpp"

#include "output/number_text.hpp"
#include "support/text.hpp"

namespace brelt::py {

namespace {

void append_code_point(std::string& out, Py_UCS4 code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

std::optional<std::string_view> writer_field_text_general(PyObject* value, OwnedRef& owner) {
    if (PyUnicode_Check(value)) {
        owner = OwnedRef::borrow(value);
    } else {
        owner = OwnedRef::steal(PyObject_Str(value));
        if (!owner) return std::nullopt;
    }
    return str_utf8(owner.get());
}

void utf8_replacing_surrogates(PyObject* text, std::string& out) {
    out.clear();
    const int kind = PyUnicode_KIND(text);
    const void* data = PyUnicode_DATA(text);
    const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
    for (Py_ssize_t i = 0; i < length; ++i) {
        const Py_UCS4 code = PyUnicode_READ(kind, data, i);
        append_code_point(out, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
    }
}

namespace {

// str() of an exact int, float, bool or None, spelled without creating the
// str: typed rows are mostly these. False for anything else (subclasses may
// define their own __str__) and for ints beyond 64 bits.
bool plain_value_text(PyObject* value, std::string& out) {
    char text[kNumberTextCapacity];
    if (PyFloat_CheckExact(value)) {
        out.assign(text, format_double(PyFloat_AS_DOUBLE(value), text));
        return true;
    }
    if (PyLong_CheckExact(value)) {
        int overflow = 0;
        const long long number = PyLong_AsLongLongAndOverflow(value, &overflow);
        if (overflow != 0) return false;
        out.assign(text, format_integer(number, text));
        return true;
    }
    if (PyBool_Check(value)) {
        out = value == Py_True ? "True" : "False";
        return true;
    }
    if (value == Py_None) {
        out = "None";
        return true;
    }
    return false;
}

}  // namespace

std::string_view bulk_field_text(PyObject* value, OwnedRef& owner, std::string& scratch) {
    if (value == nullptr) return {};
    if (!PyUnicode_CheckExact(value) && plain_value_text(value, scratch)) return scratch;
    if (PyUnicode_CheckExact(value)) {
        owner = OwnedRef::borrow(value);
    } else {
        owner = OwnedRef::steal(PyObject_Str(value));
        if (!owner) {
            PyErr_Clear();
            return {};
        }
    }
    if (auto text = str_utf8(owner.get())) return *text;
    // Only a lone surrogate makes a str unencodable.
    PyErr_Clear();
    utf8_replacing_surrogates(owner.get(), scratch);
    return scratch;
}

}  // namespace brelt::py
