#include "field_limit.hpp"

#include "support/arguments.hpp"
#include "support/errors.hpp"

namespace brelt::py {

namespace {

// The csv module's default: 128 Ki characters.
std::int64_t limit = 128 * 1024;

PyObject* field_limit_function(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("_field_limit", {"new_limit"}, 0);
        PyObject* bound[1];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        const std::int64_t old = limit;
        if (bound[0] != nullptr && bound[0] != Py_None) {
            // The csv module's conversion, with its OverflowError.
            const long value = PyLong_AsLong(bound[0]);
            if (value == -1 && PyErr_Occurred()) return nullptr;
            limit = value;
        }
        return PyLong_FromLongLong(old);
    });
}

}  // namespace

std::int64_t field_limit() {
    return limit;
}

PyMethodDef field_limit_definition = {
    "_field_limit",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(field_limit_function)),
    METH_FASTCALL | METH_KEYWORDS,
    "_field_limit($module, new_limit=None)\n--\n\n"
    "The field size limit of the csv-style reader, first set to new_limit when given.",
};

}  // namespace brelt::py
