// Releasing the interpreter lock around work that touches no Python object.
#pragma once

#include <cxxabi.h>
#include <unistd.h>

#include <utility>

#include "support/python.hpp"

namespace brelt::py {

// Releases the lock for its lifetime and takes it back on every path out.
//
// A thread that asks for the lock back while the interpreter shuts down (a
// daemon thread still inside a call) is ended by the interpreter with a
// forced unwind (pthread_exit). Unwinding through our frames would run their
// destructors without the lock and stop at a noexcept boundary in
// std::terminate, aborting the process at exit; such a thread is parked for
// good instead, as newer interpreters do themselves, and goes with the process.
class ReleasedGil {
  public:
    ReleasedGil() : saved_(PyEval_SaveThread()) {}
    ReleasedGil(const ReleasedGil&) = delete;
    ReleasedGil& operator=(const ReleasedGil&) = delete;
    ~ReleasedGil() {
        try {
            PyEval_RestoreThread(saved_);
        } catch (abi::__forced_unwind&) {
            for (;;)
                pause();
        }
    }

  private:
    PyThreadState* saved_;
};

// Runs `work` without the lock and returns its result with the lock held
// again. `work` must not touch Python objects; should it throw (bad_alloc),
// the lock is taken back before the exception travels on.
template <class Work>
auto without_gil(Work&& work) {
    ReleasedGil released;
    return std::forward<Work>(work)();
}

}  // namespace brelt::py
