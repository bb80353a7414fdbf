// _brelt_testing: a test-only extension that exposes the binding layer's
// error table and its guard against C++ exceptions to pytest (its argument
// rules are tested through the real entry points). It is never installed.
#include <new>
#include <stdexcept>
#include <string>

#include "support/errors.hpp"

namespace brelt::py {
namespace {

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

PyMethodDef methods[] = {
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
