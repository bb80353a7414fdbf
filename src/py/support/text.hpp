// Between Python str objects and UTF-8 bytes, by the cheapest route.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "support/python.hpp"

namespace brelt::py {

// True when no byte has its high bit set. Byte by byte up to an 8-byte
// boundary, then whole words, then the tail.
inline bool is_ascii(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* const end = p + size;
    while (p < end && (reinterpret_cast<std::uintptr_t>(p) & 7) != 0) {
        if (*p++ & 0x80) return false;
    }
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL) return false;
    }
    while (p < end) {
        if (*p++ & 0x80) return false;
    }
    return true;
}

// A compact ASCII str holding a copy of `text`, which must be ASCII.
inline PyObject* new_ascii_str(std::string_view text) {
    PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
    if (str != nullptr && !text.empty()) std::memcpy(PyUnicode_DATA(str), text.data(), text.size());
    return str;
}

// The shared empty string for no bytes, a compact ASCII copy for ASCII, the
// strict UTF-8 decoder otherwise. nullptr with the interpreter's exception set
// on failure (memory, or bytes that are not UTF-8).
inline PyObject* new_str_from_utf8(std::string_view text) {
    if (text.empty()) return PyUnicode_New(0, 0);
    if (is_ascii(text.data(), text.size())) return new_ascii_str(text);
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
}

// The UTF-8 form of a str (which the str caches and owns), or nullopt with
// UnicodeEncodeError set for a str holding a lone surrogate.
inline std::optional<std::string_view> str_utf8(PyObject* str) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(str, &size);
    if (data == nullptr) return std::nullopt;
    return std::string_view(data, static_cast<std::size_t>(size));
}

}  // namespace brelt::py
