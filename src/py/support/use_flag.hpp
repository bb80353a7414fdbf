// The per-object use flag: a method that changes an object holds exclusive use
// of it for its whole run, and a method that only reads it holds shared use,
// so a call that arrives meanwhile (re-entrantly from a Python callback, or
// from another thread while the lock is released) fails with RuntimeError
// instead of running on half-updated state. Readers may overlap each other.
// Only touched with the interpreter lock held.
#pragma once

#include <cstdint>

#include "support/errors.hpp"

namespace brelt::py {

struct UseFlag {
    bool exclusive = false;
    std::uint32_t shared = 0;  // holders of shared use
};

class ExclusiveUse {
  public:
    // Sets RuntimeError "Already borrowed" when the object is in use.
    explicit ExclusiveUse(UseFlag& flag)
        : flag_(flag), acquired_(!flag.exclusive && flag.shared == 0) {
        if (acquired_) {
            flag_.exclusive = true;
        } else {
            raise(Error(ErrorKind::Runtime, "Already borrowed"));
        }
    }
    ExclusiveUse(const ExclusiveUse&) = delete;
    ExclusiveUse& operator=(const ExclusiveUse&) = delete;
    ~ExclusiveUse() {
        if (acquired_) flag_.exclusive = false;
    }

    bool acquired() const { return acquired_; }

  private:
    UseFlag& flag_;
    bool acquired_;
};

class SharedUse {
  public:
    // Sets RuntimeError "Already mutably borrowed" while exclusive use is held.
    explicit SharedUse(UseFlag& flag) : flag_(flag), acquired_(!flag.exclusive) {
        if (acquired_) {
            ++flag_.shared;
        } else {
            raise(Error(ErrorKind::Runtime, "Already mutably borrowed"));
        }
    }
    SharedUse(const SharedUse&) = delete;
    SharedUse& operator=(const SharedUse&) = delete;
    ~SharedUse() {
        if (acquired_) --flag_.shared;
    }

    bool acquired() const { return acquired_; }

  private:
    UseFlag& flag_;
    bool acquired_;
};

}  // namespace brelt::py
