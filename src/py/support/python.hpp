// The one place that includes Python.h, so every binding file sees the same
// configuration of the C API.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>
