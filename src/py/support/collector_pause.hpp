// Holding the cyclic garbage collector off while a batch of new containers is
// built. Every few thousand new lists the collector would run, and as the
// batch ages into the oldest generation it would traverse all of it again and
// again: measured at a third of the time of turning half a million rows into
// lists. Paused, the batch is traversed once, at the next collection.
#pragma once

#include "support/python.hpp"

namespace brelt::py {

// Restores the collector's previous state on every path out. Only for work
// that runs no Python code, so no other code sees the collector paused.
class CollectorPause {
  public:
    CollectorPause() : was_enabled_(PyGC_Disable() == 1) {}
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;
    ~CollectorPause() {
        if (was_enabled_) PyGC_Enable();
    }

  private:
    bool was_enabled_;
};

}  // namespace brelt::py
