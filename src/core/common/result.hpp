// Failures are values: every core routine returns either its result or an
// Error, and only the Python binding turns an Error into an exception (through
// the one table in src/py/support/errors.cpp).
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace brelt {

// Which Python exception an error becomes at the boundary. Core code that runs
// without the interpreter lock reports a message; the caller picks the kind
// that its own Python-visible contract promises (see Error::as).
enum class ErrorKind : unsigned char {
    Value,      // ValueError
    Type,       // TypeError
    OS,         // OSError
    Key,        // KeyError
    Index,      // IndexError
    Attribute,  // AttributeError
    Memory,     // MemoryError
    Runtime,    // RuntimeError
    Overflow,   // OverflowError
    Import,     // ImportError
    Csv,        // brelt.Error, the csv-compatible layer's (a csv.Error)
    Internal,   // a broken invariant: SystemError carrying the text
};

struct Error {
    ErrorKind kind = ErrorKind::Value;
    std::string message;

    Error() = default;
    Error(ErrorKind k, std::string m) : kind(k), message(std::move(m)) {}
    explicit Error(std::string m) : message(std::move(m)) {}

    // The same message under another exception kind.
    Error as(ErrorKind k) && { return Error(k, std::move(message)); }
    Error as(ErrorKind k) const& { return Error(k, message); }
};

template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const& {
        assert(!ok());
        return std::get<1>(state_);
    }
    Error&& error() && {
        assert(!ok());
        return std::get<1>(std::move(state_));
    }

  private:
    std::variant<T, Error> state_;
};

}  // namespace brelt
