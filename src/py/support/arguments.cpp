#include "support/arguments.hpp"

#include <algorithm>
#include <cstring>

#include "support/owned_ref.hpp"
#include "support/text.hpp"

namespace brelt::py {

namespace {

// "argument 'path' must be str, not int" in the function's name.
bool wrong_type(const Argument& argument, const char* expected) {
    PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be %s, not %.200s",
                 argument.signature.function_name(), argument.name(), expected,
                 Py_TYPE(argument.object)->tp_name);
    return false;
}

// Prefixes a TypeError raised while converting with the argument's name, so
// the caller learns which argument was wrong; other exceptions pass as raised.
void name_argument_in_type_error(const Argument& argument) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    OwnedRef text = OwnedRef::steal(value ? PyObject_Str(value) : nullptr);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    if (!text) return;  // converting the message failed; that exception stands
    PyErr_Format(PyExc_TypeError, "%s() argument '%s': %U", argument.signature.function_name(),
                 argument.name(), text.get());
}

std::optional<std::string> utf8_of(PyObject* text) {
    const auto view = str_utf8(text);
    if (!view) return std::nullopt;
    return std::string(*view);
}

bool is_numpy_bool(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    // NumPy names its scalar "numpy.bool_" (1.x) or "numpy.bool" (2.x).
    return std::strcmp(type->tp_name, "numpy.bool_") == 0 ||
           std::strcmp(type->tp_name, "numpy.bool") == 0;
}

}  // namespace

Signature::Signature(const char* function_name, std::initializer_list<const char*> names,
                     std::size_t required_count, std::size_t positional_count)
    : function_name_(function_name),
      names_(names),
      required_count_(required_count),
      positional_count_(std::min(positional_count, names_.size())) {}

bool Signature::place_keyword(PyObject* key, PyObject* value, PyObject** bound) const {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (PyUnicode_CompareWithASCIIString(key, names_[i]) == 0) {
            if (bound[i] != nullptr) {
                PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'",
                             function_name_, names_[i]);
                return false;
            }
            bound[i] = value;
            return true;
        }
    }
    PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", function_name_,
                 key);
    return false;
}

bool Signature::bind(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     PyObject** bound) const {
    const std::size_t positional = static_cast<std::size_t>(PyVectorcall_NARGS(nargs));
    if (!place_positional(args, positional, bound)) return false;
    if (kwnames != nullptr) {
        const Py_ssize_t keywords = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < keywords; ++k) {
            if (!place_keyword(PyTuple_GET_ITEM(kwnames, k), args[positional + k], bound)) {
                return false;
            }
        }
    }
    return check_required(bound);
}

bool Signature::bind_tuple(PyObject* args, PyObject* kwargs, PyObject** bound) const {
    // A tuple's items are contiguous, like the fast-call argument array.
    const std::size_t positional = static_cast<std::size_t>(PyTuple_GET_SIZE(args));
    if (!place_positional(&PyTuple_GET_ITEM(args, 0), positional, bound)) return false;
    if (kwargs != nullptr) {
        PyObject *key, *value;
        Py_ssize_t position = 0;
        while (PyDict_Next(kwargs, &position, &key, &value)) {
            if (!place_keyword(key, value, bound)) return false;
        }
    }
    return check_required(bound);
}

bool Signature::place_positional(PyObject* const* args, std::size_t count, PyObject** bound) const {
    if (count > positional_count_) {
        const char* kind = positional_count_ < names_.size() ? "positional " : "";
        PyErr_Format(PyExc_TypeError, "%s() takes at most %zu %sargument%s (%zu given)",
                     function_name_, positional_count_, kind, positional_count_ == 1 ? "" : "s",
                     count);
        return false;
    }
    for (std::size_t i = 0; i < names_.size(); ++i)
        bound[i] = i < count ? args[i] : nullptr;
    return true;
}

bool Signature::check_required(PyObject* const* bound) const {
    for (std::size_t i = 0; i < required_count_; ++i) {
        if (bound[i] == nullptr) {
            PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zu)",
                         function_name_, names_[i], i + 1);
            return false;
        }
    }
    return true;
}

std::optional<std::string> to_string(const Argument& argument) {
    if (!PyUnicode_Check(argument.object)) {
        wrong_type(argument, "str");
        return std::nullopt;
    }
    return utf8_of(argument.object);
}

std::optional<std::string_view> to_string_view(const Argument& argument) {
    if (!PyUnicode_Check(argument.object)) {
        wrong_type(argument, "str");
        return std::nullopt;
    }
    return str_utf8(argument.object);
}

std::optional<std::string> to_path(const Argument& argument) {
    // The interpreter's own os.fspath, whose TypeError ("expected str, bytes
    // or os.PathLike object, not int") gets the argument's name in front.
    OwnedRef path = OwnedRef::steal(PyOS_FSPath(argument.object));
    if (!path) {
        name_argument_in_type_error(argument);
        return std::nullopt;
    }
    if (PyUnicode_Check(path.get())) {
        path = OwnedRef::steal(PyUnicode_EncodeFSDefault(path.get()));
        if (!path) return std::nullopt;
    }
    return std::string(PyBytes_AS_STRING(path.get()),
                       static_cast<std::size_t>(PyBytes_GET_SIZE(path.get())));
}

std::optional<std::optional<std::string>> to_optional_string(const Argument& argument) {
    if (!argument.given()) return std::optional<std::string>();
    auto text = to_string(argument);
    if (!text) return std::nullopt;
    return std::optional<std::string>(std::move(*text));
}

std::optional<bool> to_bool(const Argument& argument) {
    PyObject* object = argument.object;
    if (object == Py_True) return true;
    if (object == Py_False) return false;
    if (is_numpy_bool(object)) {
        int truth = PyObject_IsTrue(object);
        if (truth < 0) return std::nullopt;
        return truth == 1;
    }
    wrong_type(argument, "bool");
    return std::nullopt;
}

std::optional<std::uint64_t> to_u64(const Argument& argument) {
    OwnedRef index = OwnedRef::steal(PyNumber_Index(argument.object));
    if (!index) {
        name_argument_in_type_error(argument);
        return std::nullopt;
    }
    unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

std::optional<std::vector<std::string>> to_string_list(const Argument& argument) {
    PyObject* object = argument.object;
    if (PyUnicode_Check(object)) {
        PyErr_Format(PyExc_TypeError, "%s() argument '%s': Can't extract `str` to `Vec`",
                     argument.signature.function_name(), argument.name());
        return std::nullopt;
    }
    if (!PySequence_Check(object)) {
        wrong_type(argument, "a sequence of str");
        return std::nullopt;
    }
    OwnedRef items = OwnedRef::steal(PySequence_Fast(object, "expected a sequence"));
    if (!items) {
        name_argument_in_type_error(argument);
        return std::nullopt;
    }
    const Py_ssize_t count = PySequence_Fast_GET_SIZE(items.get());
    std::vector<std::string> strings;
    strings.reserve(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PySequence_Fast_GET_ITEM(items.get(), i);
        if (!PyUnicode_Check(item)) {
            PyErr_Format(PyExc_TypeError, "%s() argument '%s': item %zd must be str, not %.200s",
                         argument.signature.function_name(), argument.name(), i,
                         Py_TYPE(item)->tp_name);
            return std::nullopt;
        }
        auto text = utf8_of(item);
        if (!text) return std::nullopt;
        strings.push_back(std::move(*text));
    }
    return strings;
}

PyObject* to_dict(const Argument& argument) {
    if (!PyDict_Check(argument.object)) {
        wrong_type(argument, "dict");
        return nullptr;
    }
    return argument.object;
}

PyObject* to_list(const Argument& argument) {
    if (!PyList_Check(argument.object)) {
        wrong_type(argument, "list");
        return nullptr;
    }
    return argument.object;
}

std::optional<long> to_long(const Argument& argument) {
    const long value = PyLong_AsLong(argument.object);
    if (value == -1 && PyErr_Occurred()) {
        name_argument_in_type_error(argument);
        return std::nullopt;
    }
    return value;
}

}  // namespace brelt::py
