#include "support/errors.hpp"

#include <exception>
#include <new>

namespace brelt::py {

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
        case ErrorKind::Internal:
            return PyExc_SystemError;
    }
    return PyExc_SystemError;
}

PyObject* raise(const Error& error) {
    PyObject* message = PyUnicode_DecodeUTF8(
        error.message.data(), static_cast<Py_ssize_t>(error.message.size()), "replace");
    if (message == nullptr) return nullptr;
    // A single argument, even for KeyError whose argument is the missing key.
    PyErr_SetObject(exception_type(error.kind), message);
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
