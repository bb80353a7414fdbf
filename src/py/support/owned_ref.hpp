// A strong reference to a Python object, released when it goes out of scope.
// Only ever used with the interpreter lock held.
#pragma once

#include <utility>

#include "support/python.hpp"

namespace brelt::py {

class OwnedRef {
  public:
    OwnedRef() = default;
    // Takes over a reference the caller already owns (a "new reference").
    static OwnedRef steal(PyObject* object) { return OwnedRef(object); }
    // Adds a reference to a borrowed object.
    static OwnedRef borrow(PyObject* object) {
        Py_XINCREF(object);
        return OwnedRef(object);
    }

    OwnedRef(OwnedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    OwnedRef& operator=(OwnedRef&& other) noexcept {
        if (this != &other) {
            Py_XDECREF(object_);
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    OwnedRef(const OwnedRef&) = delete;
    OwnedRef& operator=(const OwnedRef&) = delete;
    ~OwnedRef() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the reference to the caller (for returning to the interpreter).
    PyObject* release() { return std::exchange(object_, nullptr); }

  private:
    explicit OwnedRef(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace brelt::py
