// Error values become Python exceptions here and nowhere else.
#pragma once

#include <cxxabi.h>

#include "common/result.hpp"
#include "support/python.hpp"

namespace brelt::py {

// The exception class each ErrorKind stands for (borrowed); nullptr with an
// exception set only when brelt.Error cannot be imported.
PyObject* exception_type(ErrorKind kind);

// Sets the Python exception for `error` and returns nullptr, so callers can
// write `return raise(error);`.
PyObject* raise(const Error& error);

// Converts the C++ exception being handled into a Python exception. Called
// from a catch block at an entry point: nothing thrown may unwind into the
// interpreter.
void raise_current_cpp_exception();

// The outer shape of every entry point: runs `body` (which returns a new
// reference, or nullptr with an exception set) and turns any C++ exception
// into a Python one.
//
// Except one: the interpreter ends a thread that wants the lock back while
// it shuts down (a daemon thread inside a Python callback of ours) with a
// forced unwind, which must go on to the thread's start. Swallowed, or met
// by noexcept, it aborts the process ("FATAL: exception not rethrown").
template <class Body>
PyObject* guarded(Body&& body) {
    try {
        return body();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        raise_current_cpp_exception();
        return nullptr;
    }
}

// The same for the slots that return a size or a status, where -1 stands for
// the exception.
template <class Body>
auto guarded_status(Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        raise_current_cpp_exception();
        return -1;
    }
}

}  // namespace brelt::py
