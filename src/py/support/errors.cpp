#include "support/errors.hpp"

#include <exception>
#include <new>

namespace brelt::py {

namespace {

// brelt.Error is defined in Python (brelt/_error.py, a subclass of
// csv.Error); looked up on first use and kept for the life of the process.
PyObject* csv_error_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) {
        PyObject* module = PyImport_ImportModule("brelt._error");
        if (module == nullptr) return nullptr;
        type = PyObject_GetAttrString(module, "Error");
        Py_DECREF(module);
    }
    return type;
}

}  // namespace

PyObject* exception_type(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Value:
            return PyExc_ValueError;
        case ErrorKind::Type:
            return PyExc_TypeError;
        case ErrorKind::OS:
            return PyExc_OSError;
        case ErrorKind::Key:
            return PyExc_KeyError;
        case ErrorKind::Index:
            return PyExc_IndexError;
        case ErrorKind::Attribute:
            return PyExc_AttributeError;
        case ErrorKind::Memory:
            return PyExc_MemoryError;
        case ErrorKind::Runtime:
            return PyExc_RuntimeError;
        case ErrorKind::Overflow:
            return PyExc_OverflowError;
        case ErrorKind::Import:
            return PyExc_ImportError;
        case ErrorKind::Csv:
            return csv_error_type();
        case ErrorKind::Internal:
            return PyExc_SystemError;
    }
    return PyExc_SystemError;
}

PyObject* raise(const Error& error) {
    PyObject* type = exception_type(error.kind);
    if (type == nullptr) return nullptr;  // brelt.Error could not be found
    PyObject* message = PyUnicode_DecodeUTF8(
        error.message.data(), static_cast<Py_ssize_t>(error.message.size()), "replace");
    if (message == nullptr) return nullptr;
    // A single argument, even for KeyError whose argument is the missing key.
    PyErr_SetObject(type, message);
    Py_DECREF(message);
    return nullptr;
}

void raise_current_cpp_exception() {
    try {
        throw;
    } catch (abi::__forced_unwind&) {
        throw;  // never a Python exception: see guarded()
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& failure) {
        raise(Error(ErrorKind::Internal, std::string("internal error: ") + failure.what()));
    } catch (...) {
        raise(Error(ErrorKind::Internal, "internal error: unknown C++ exception"));
    }
}

}  // namespace brelt::py
