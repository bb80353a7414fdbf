// _brelt_testing: a test-only extension that exposes the binding layer's
// guard against C++ exceptions to pytest (its argument rules and error table
// are tested through the real entry points). It is never installed.
#include <new>
#include <stdexcept>
#include <string>

#include "support/errors.hpp"

namespace brelt::py {
namespace {

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
