// Releasing the interpreter lock around work that touches no Python object.
#pragma once

#include <utility>

#include "support/python.hpp"

namespace brelt::py {

// Releases the lock for its lifetime and takes it back on every path out.
class ReleasedGil {
  public:
    ReleasedGil() : saved_(PyEval_SaveThread()) {}
    ReleasedGil(const ReleasedGil&) = delete;
    ReleasedGil& operator=(const ReleasedGil&) = delete;
    ~ReleasedGil() { PyEval_RestoreThread(saved_); }

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
