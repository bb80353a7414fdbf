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

namespace {

template <class Unit>
void append_utf8(std::string& out, const Unit* units, std::size_t length, bool replace_surrogates) {
    for (std::size_t i = 0; i < length; ++i) {
        const Py_UCS4 code = units[i];
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else {
            const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
            append_code_point(out, surrogate && replace_surrogates ? 0xFFFD : code);
        }
    }
}

void utf8_of_str(PyObject* text, std::string& out, bool replace_surrogates) {
    out.clear();
    const void* data = PyUnicode_DATA(text);
    const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(text));
    switch (PyUnicode_KIND(text)) {
        case PyUnicode_1BYTE_KIND:
            append_utf8(out, static_cast<const Py_UCS1*>(data), length, replace_surrogates);
            break;
        case PyUnicode_2BYTE_KIND:
            append_utf8(out, static_cast<const Py_UCS2*>(data), length, replace_surrogates);
            break;
        default:
            append_utf8(out, static_cast<const Py_UCS4*>(data), length, replace_surrogates);
            break;
    }
}

}  // namespace

void utf8_replacing_surrogates(PyObject* text, std::string& out) {
    utf8_of_str(text, out, true);
}

void utf8_passing_surrogates(PyObject* text, std::string& out) {
    utf8_of_str(text, out, false);
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

namespace {

// A str's text for the csv layer: its own bytes when ASCII, else its UTF-8
// (surrogates passed) in `scratch`.
std::optional<std::string_view> str_text(PyObject* str, std::string& scratch) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(str) < 0) return std::nullopt;
#endif
    if (PyUnicode_IS_ASCII(str)) {
        return std::string_view(static_cast<const char*>(PyUnicode_DATA(str)),
                                static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)));
    }
    utf8_passing_surrogates(str, scratch);
    return std::string_view(scratch);
}

}  // namespace

std::optional<std::string_view> dialect_field_text_general(PyObject* value, OwnedRef& owner,
                                                           std::string& scratch) {
    if (PyUnicode_Check(value)) return str_text(value, scratch);
    if (plain_value_text(value, scratch)) return std::string_view(scratch);
    owner = OwnedRef::steal(PyObject_Str(value));
    if (!owner) return std::nullopt;
    return str_text(owner.get(), scratch);
}

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
