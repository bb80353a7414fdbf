// Arguments of the fast-call-with-keywords convention, and their conversion to
// C++ values by the module's strict rules. In this layer a failed step returns
// false (or nullopt) with the Python exception already set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/python.hpp"

namespace brelt::py {

// One callable's parameters: the first `positional_count` (all, by default)
// positional-or-keyword, the rest keyword-only; the first `required_count`
// required.
class Signature {
  public:
    Signature(const char* function_name, std::initializer_list<const char*> names,
              std::size_t required_count, std::size_t positional_count = SIZE_MAX);

    std::size_t size() const { return names_.size(); }
    const char* function_name() const { return function_name_; }
    const char* name(std::size_t index) const { return names_[index]; }

    // Places each argument (borrowed) at its parameter's index of `bound`
    // (size() entries), nullptr where none was given. TypeError for a missing
    // required argument, a surplus positional one, an unknown keyword or a
    // parameter given twice.
    bool bind(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** bound) const;

    // The same for the classic (args tuple, kwargs dict) convention of tp_new.
    bool bind_tuple(PyObject* args, PyObject* kwargs, PyObject** bound) const;

  private:
    bool place_positional(PyObject* const* args, std::size_t count, PyObject** bound) const;
    bool place_keyword(PyObject* key, PyObject* value, PyObject** bound) const;
    bool check_required(PyObject* const* bound) const;

    const char* function_name_;
    std::vector<const char*> names_;
    std::size_t required_count_;
    std::size_t positional_count_;
};

// A bound argument with what is needed to name it in an error.
struct Argument {
    const Signature& signature;
    std::size_t index;
    PyObject* object;  // borrowed; nullptr when not given

    bool given() const { return object != nullptr && object != Py_None; }
    const char* name() const { return signature.name(index); }
};

// `str` or a subclass, as UTF-8. A str with a lone surrogate cannot be encoded
// and raises the interpreter's UnicodeEncodeError.
std::optional<std::string> to_string(const Argument& argument);
// The same without a copy: the view is the str's own UTF-8 form, valid while
// the str lives.
std::optional<std::string_view> to_string_view(const Argument& argument);
// A file system path as the bytes the system is given: a str encoded as the
// interpreter encodes file names (UTF-8 with surrogateescape, so a name read
// from the system comes back as the same bytes), bytes as they are, and an
// os.PathLike through its __fspath__ (PEP 519). Any other type, or an
// __fspath__ that returns neither, is a TypeError naming the argument.
std::optional<std::string> to_path(const Argument& argument);
// None (or not given) is nullopt inside the outer optional.
std::optional<std::optional<std::string>> to_optional_string(const Argument& argument);
// True/False, and NumPy's boolean scalar; nothing else.
std::optional<bool> to_bool(const Argument& argument);
// Any object with __index__ whose value fits 0 .. 2**64-1; OverflowError in
// the interpreter's wording for a negative or too large value.
std::optional<std::uint64_t> to_u64(const Argument& argument);
// A sequence whose items are all str; a str itself is refused with
// "Can't extract `str` to `Vec`".
std::optional<std::vector<std::string>> to_string_list(const Argument& argument);
// `dict` or a subclass, returned borrowed.
PyObject* to_dict(const Argument& argument);
// `list` or a subclass, returned borrowed.
PyObject* to_list(const Argument& argument);
// Anything the interpreter converts to a C long (through __index__); its
// OverflowError stands for a value outside the C long range.
std::optional<long> to_long(const Argument& argument);

}  // namespace brelt::py
