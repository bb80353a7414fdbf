// Method tables take every C function as PyCFunction, whatever its calling
// convention; the flags next to it say how the interpreter calls it.
#pragma once

#include "support/python.hpp"

namespace brelt::py {

template <class Method>
PyCFunction as_cfunction(Method method) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(method));
}

}  // namespace brelt::py
