// _brelt_testing: a test-only extension that exposes the binding layer's
// argument conversions and error table to pytest. It is never installed.
#include <stdexcept>
#include <string>

#include "support/arguments.hpp"
#include "support/errors.hpp"
#include "support/owned_ref.hpp"

namespace brelt::py {
namespace {

using Converter = PyObject* (*)(const Argument&);

PyObject* string_result(const std::string& text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* convert_str(const Argument& argument) {
    auto value = to_string(argument);
    return value ? string_result(*value) : nullptr;
}
PyObject* convert_optional_str(const Argument& argument) {
    auto value = to_optional_string(argument);
    if (!value) return nullptr;
    return *value ? string_result(**value) : Py_NewRef(Py_None);
}
PyObject* convert_bool(const Argument& argument) {
    auto value = to_bool(argument);
    return value ? PyBool_FromLong(*value) : nullptr;
}
PyObject* convert_u64(const Argument& argument) {
    auto value = to_u64(argument);
    return value ? PyLong_FromUnsignedLongLong(*value) : nullptr;
}
PyObject* convert_str_list(const Argument& argument) {
    auto value = to_string_list(argument);
    if (!value) return nullptr;
    OwnedRef list = OwnedRef::steal(PyList_New(0));
    if (!list) return nullptr;
    for (const std::string& text : *value) {
        OwnedRef item = OwnedRef::steal(string_result(text));
        if (!item || PyList_Append(list.get(), item.get()) < 0) return nullptr;
    }
    return list.release();
}
PyObject* convert_dict(const Argument& argument) {
    PyObject* dict = to_dict(argument);
    return dict ? Py_NewRef(dict) : nullptr;
}

template <Converter convert>
PyObject* one_argument(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("convert", {"value"}, 1);
        PyObject* bound[1];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        return convert(Argument{signature, 0, bound[0]});
    });
}

// bind(a, b=None, c=None) -> (a, b, c) with None for what was not given.
PyObject* bind(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("bind", {"a", "b", "c"}, 1);
        PyObject* bound[3];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        for (PyObject*& slot : bound) {
            if (slot == nullptr) slot = Py_None;
        }
        return PyTuple_Pack(3, bound[0], bound[1], bound[2]);
    });
}

// bind_tuple(a, b=None, c=None): the same through the (args, kwargs) convention.
PyObject* bind_tuple(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("bind_tuple", {"a", "b", "c"}, 1);
        PyObject* bound[3];
        if (!signature.bind_tuple(args, kwargs, bound)) return nullptr;
        for (PyObject*& slot : bound) {
            if (slot == nullptr) slot = Py_None;
        }
        return PyTuple_Pack(3, bound[0], bound[1], bound[2]);
    });
}

// raise_error(kind, message): raises through the module's one error table.
PyObject* raise_error(PyObject*, PyObject* args) {
    int kind;
    const char* message;
    if (!PyArg_ParseTuple(args, "is", &kind, &message)) return nullptr;
    if (kind < 0 || kind > static_cast<int>(ErrorKind::Internal)) {
        PyErr_SetString(PyExc_ValueError, "no such kind");
        return nullptr;
    }
    return raise(Error(static_cast<ErrorKind>(kind), message));
}

// throw_cpp(what): a C++ exception thrown inside an entry point.
PyObject* throw_cpp(PyObject*, PyObject* args) {
    const char* what;
    if (!PyArg_ParseTuple(args, "s", &what)) return nullptr;
    return guarded([&]() -> PyObject* {
        if (std::string(what) == "bad_alloc") throw std::bad_alloc();
        if (std::string(what) == "int") throw 42;
        throw std::logic_error(what);
    });
}

#define FASTCALL(fn) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn))

PyMethodDef methods[] = {
    {"convert_str", FASTCALL(one_argument<convert_str>), METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"convert_optional_str", FASTCALL(one_argument<convert_optional_str>),
     METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"convert_bool", FASTCALL(one_argument<convert_bool>), METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"convert_u64", FASTCALL(one_argument<convert_u64>), METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"convert_str_list", FASTCALL(one_argument<convert_str_list>), METH_FASTCALL | METH_KEYWORDS,
     nullptr},
    {"convert_dict", FASTCALL(one_argument<convert_dict>), METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"bind", FASTCALL(bind), METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"bind_tuple", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(bind_tuple)),
     METH_VARARGS | METH_KEYWORDS, nullptr},
    {"raise_error", raise_error, METH_VARARGS, nullptr},
    {"throw_cpp", throw_cpp, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef definition = {PyModuleDef_HEAD_INIT,
                          "_brelt_testing",
                          nullptr,
                          0,
                          methods,
                          nullptr,
                          nullptr,
                          nullptr,
                          nullptr};

}  // namespace
}  // namespace brelt::py

PyMODINIT_FUNC PyInit__brelt_testing() {
    return PyModule_Create(&brelt::py::definition);
}
