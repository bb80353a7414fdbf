// read_csv(path, ...): a whole CSV file (plain or compressed) to a list of
// dicts with typed values. Opening the file, parsing a first piece of it and
// choosing the types run without the interpreter lock; then, while the dicts
// of one block of rows are built (sharing their key objects), the next block
// is read, parsed and typed on the worker pool.
#include "exports.hpp"
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
        // At most twice: a read that guessed its text is UTF-8 and found
        // otherwise starts over, nothing of it having been handed out.
        for (;;) {
            Result<PreparedRead> prepared =
                without_gil([&] { return prepare_read(options.request); });
            if (!prepared.ok()) return raise_read_error(std::move(prepared).error());
            bool not_utf8 = false;
            PyObject* rows = typed_rows(*prepared, options.threads, &not_utf8);
            if (!not_utf8) return rows;
            options.request.whole_file_utf8 = false;
        }
    });
}

}  // namespace

PyMethodDef read_csv_definition = {
    "read_csv",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(read_csv)),
    METH_FASTCALL | METH_KEYWORDS,
    "read_csv(path, delimiter=None, has_header=True, schema=None, skip_rows=0, max_rows=None, "
    "columns=None, null_values=None, encoding=None, strict=False, n_threads=None)\n--\n\n"
    "A CSV file (plain or compressed) as a list of dicts with typed values.",
};

}  // namespace brelt::py
