#include "table_limits.hpp"

#ifndef BRELT_TEST_HOOKS

namespace brelt::py {

TableLimits table_limits() {
    return TableLimits();
}

}  // namespace brelt::py

#else

#include <algorithm>
#include <cstdint>

#include "support/arguments.hpp"
#include "support/errors.hpp"

namespace brelt::py {

namespace {

// Only touched with the interpreter lock held.
TableLimits lowered_limits;

PyObject* set_table_limits_for_tests(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                     PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature(
            "_set_table_limits_for_tests",
            {"max_text_bytes", "max_fields", "max_row_fields", "max_table_rows"}, 0);
        PyObject* bound[4];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        const TableLimits defaults;
        TableLimits limits;
        std::uint64_t TableLimits::*const fields[] = {
            &TableLimits::max_text_bytes, &TableLimits::max_fields, &TableLimits::max_row_fields,
            &TableLimits::max_table_rows};
        for (std::size_t i = 0; i < 4; ++i) {
            const Argument argument{signature, i, bound[i]};
            if (!argument.given()) continue;
            auto value = to_u64(argument);
            if (!value) return nullptr;
            // Only lower: the widths cannot address more than the defaults.
            limits.*fields[i] = std::min(*value, defaults.*fields[i]);
        }
        lowered_limits = limits;
        Py_RETURN_NONE;
    });
}

}  // namespace

TableLimits table_limits() {
    return lowered_limits;
}

PyMethodDef set_table_limits_for_tests_definition = {
    "_set_table_limits_for_tests",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(set_table_limits_for_tests)),
    METH_FASTCALL | METH_KEYWORDS,
    "_set_table_limits_for_tests(max_text_bytes=None, max_fields=None, max_row_fields=None, "
    "max_table_rows=None)\n--\n\nTest builds only: lowers the table limits; None restores one.",
};

}  // namespace brelt::py

#endif
