// read_csv(path, ...): a whole CSV file to a list of dicts with typed values.
// Loading the file, parsing a first piece of it and choosing the types run
// without the interpreter lock; then, while the dicts of one block of rows are
// built (sharing their key objects), the next block is parsed and typed on the
// worker pool.
#include "exports.hpp"
#include "parallel/worker_pool.hpp"
#include "read_options.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "table/prepare_read.hpp"
#include "typed_rows.hpp"

namespace brelt::py {

namespace {

PyObject* read_csv(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("read_csv", {BRELT_READ_PARAMETER_NAMES}, 1);
        PyObject* bound[kReadParameterCount];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        ReadOptions options;
        if (!read_options(signature, bound, options)) return nullptr;

        Result<PreparedRead> prepared = without_gil([&] { return prepare_read(options.request); });
        if (!prepared.ok()) return raise_read_error(std::move(prepared).error());
        if (options.threads && *options.threads != 0) request_pool_size(*options.threads);
        return typed_rows(*prepared);
    });
}

}  // namespace

PyMethodDef read_csv_definition = {
    "read_csv",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(read_csv)),
    METH_FASTCALL | METH_KEYWORDS,
    "read_csv(path, delimiter=None, has_header=True, schema=None, skip_rows=0, max_rows=None, "
    "columns=None, null_values=None, encoding=None, strict=False, n_threads=None)\n--\n\n"
    "High-level read: path -> list[dict] with type inference.\n"
    "Uses mmap + SIMD CSV parsing + GIL release.",
};

}  // namespace brelt::py
