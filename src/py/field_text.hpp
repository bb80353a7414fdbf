// Python values to field text for the two writers. The text points into a str
// object that the caller keeps alive (through `owner`) until the field has
// been appended.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/owned_ref.hpp"
#include "support/python.hpp"

namespace brelt::py {

std::optional<std::string_view> writer_field_text_general(PyObject* value, OwnedRef& owner);

// PyWriter's conversion: a str's (or subclass's) own contents, without calling
// a subclass's __str__; anything else as str(value). nullopt with the
// interpreter's exception set when str() raises or the text holds a lone
// surrogate, which UTF-8 cannot encode.
inline std::optional<std::string_view> writer_field_text(PyObject* value, OwnedRef& owner) {
    // The common case, an ASCII str, is its own UTF-8: no call, no checks.
    if (PyUnicode_Check(value) && PyUnicode_IS_COMPACT_ASCII(value)) {
        owner = OwnedRef::borrow(value);
        return std::string_view(static_cast<const char*>(PyUnicode_DATA(value)),
                                static_cast<std::size_t>(PyUnicode_GET_LENGTH(value)));
    }
    return writer_field_text_general(value, owner);
}

std::optional<std::string_view> dialect_field_text_general(PyObject* value, OwnedRef& owner,
                                                           std::string& scratch);

// The csv layer's conversion, the csv module's: a str's (or subclass's) own
// contents, anything else (not None, which the caller writes as nothing) as
// str(value); exact ints, floats and bools are spelled without making the
// str. A lone surrogate is kept, as three bytes that the writer decodes back
// with "surrogatepass". The text is the str's own (kept alive by `owner`) or
// in `scratch`, until the next call. nullopt with the interpreter's exception
// set when str() raises.
inline std::optional<std::string_view> dialect_field_text(PyObject* value, OwnedRef& owner,
                                                          std::string& scratch) {
    if (PyUnicode_CheckExact(value) && PyUnicode_IS_COMPACT_ASCII(value)) {
        return std::string_view(static_cast<const char*>(PyUnicode_DATA(value)),
                                static_cast<std::size_t>(PyUnicode_GET_LENGTH(value)));
    }
    return dialect_field_text_general(value, owner, scratch);
}

// write_csv's conversion, which never raises: `value` is nullptr when the key
// is missing or its lookup raised, and that, or a raising str(), gives the
// empty text with no exception left pending. A lone surrogate becomes U+FFFD,
// spelled out in `scratch`.
std::string_view bulk_field_text(PyObject* value, OwnedRef& owner, std::string& scratch);

// UTF-8 of `text` with every lone surrogate replaced by U+FFFD, into `out`.
void utf8_replacing_surrogates(PyObject* text, std::string& out);

// UTF-8 of `text` with every lone surrogate encoded as its three bytes, as
// the "surrogatepass" error handler does, into `out`.
void utf8_passing_surrogates(PyObject* text, std::string& out);

}  // namespace brelt::py
