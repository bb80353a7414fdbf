// Attribute lookups by a name the binding spells as a C string.
#pragma once

#include "support/owned_ref.hpp"
#include "support/python.hpp"

namespace brelt::py {

// `object.name`, or an empty reference with the exception set. The name is
// interned first: CPython 3.11's type caches keep a reference to the name
// they were asked with, so a str made afresh for each lookup stays behind.
inline OwnedRef attribute(PyObject* object, const char* name) {
    OwnedRef key = OwnedRef::steal(PyUnicode_InternFromString(name));
    if (!key) return OwnedRef();
    return OwnedRef::steal(PyObject_GetAttr(object, key.get()));
}

}  // namespace brelt::py
