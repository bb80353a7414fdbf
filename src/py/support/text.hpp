// Between Python str objects and UTF-8 bytes, by the cheapest route.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "support/python.hpp"

namespace brelt::py {

// True when no byte has its high bit set: words of 8 bytes, the last one
// overlapping the one before; shorter texts in two overlapping halves.
inline bool is_ascii(const char* data, std::size_t size) {
    const auto load8 = [](const char* p) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        return word;
    };
    const auto load4 = [](const char* p) {
        std::uint32_t word;
        std::memcpy(&word, p, 4);
        return word;
    };
    if (size >= 8) {
        std::uint64_t any = load8(data + size - 8);
        for (std::size_t i = 0; i + 8 < size; i += 8)
            any |= load8(data + i);
        return (any & 0x8080808080808080ULL) == 0;
    }
    if (size >= 4) return ((load4(data) | load4(data + size - 4)) & 0x80808080U) == 0;
    unsigned any = 0;
    for (std::size_t i = 0; i < size; ++i)
        any |= static_cast<unsigned char>(data[i]);
    return (any & 0x80) == 0;
}

// Copies up to 16 bytes with two fixed-size moves that may overlap, which
// short fields (most of them) need more than a call of memcpy.
inline void copy_short(char* to, const char* from, std::size_t size) {
    if (size >= 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + size - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + size - 8, &tail, 8);
    } else if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + size - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + size - 4, &tail, 4);
    } else {
        for (std::size_t i = 0; i < size; ++i)
            to[i] = from[i];
    }
}

// A compact ASCII str holding a copy of `text`, which must be ASCII.
inline PyObject* new_ascii_str(std::string_view text) {
    PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
    if (str == nullptr) return nullptr;
    char* data = static_cast<char*>(PyUnicode_DATA(str));
    if (text.size() <= 16) {
        copy_short(data, text.data(), text.size());
    } else {
        std::memcpy(data, text.data(), text.size());
    }
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
