// read_csv(path, ...): a whole CSV file to a list of dicts with typed values.
// Opening the file, parsing a first piece of it and choosing the types run
// without the interpreter lock; then, while the dicts of one block of rows are
// built (sharing their key objects), the next block is read, parsed and typed
// on the worker pool.
#include "exports.hpp"
#include "parallel/convert_columns.hpp"
#include "parallel/typed_blocks.hpp"
#include "parallel/worker_pool.hpp"
#include "read_options.hpp"
#include "support/arguments.hpp"
#include "support/collector_pause.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "support/owned_ref.hpp"
#include "table/prepare_read.hpp"
#include "typed_dicts.hpp"

namespace brelt::py {

namespace {

// Records are parsed and typed in blocks of about this many cells, so the
// memory beside the result stays small whatever the file size.
constexpr std::size_t kCellsPerBlock = 1 << 18;

// The dicts of every row, built block by block while the next block is
// parsed and typed on the pool. Sets `not_utf8`, with no exception, when the
// read's guess that the text is UTF-8 proves wrong.
PyObject* build_rows(PreparedRead& read, TypedDicts& dicts, bool& not_utf8) {
    OwnedRef list = OwnedRef::steal(PyList_New(0));
    if (!list) return memory_error("list alloc failed");
    // A small file's blocks are typed on the calling thread.
    const bool parallel = read.rest != nullptr ||
                          converts_in_parallel(read.table->row_count(), read.plan.columns.size());
    TypedBlocks blocks(read.table, read.rest.get(), read.plan.columns, read.plan.nulls,
                       kCellsPerBlock, parallel);
    for (;;) {
        Result<TypedBlocks::Block> next = blocks.next();
        if (!next.ok()) {
            Error error = std::move(next).error();
            not_utf8 = is_not_utf8_guess(error);
            return not_utf8 ? nullptr : raise_read_error(std::move(error));
        }
        if (next->rows == 0) return list.release();
        if (!dicts.append(*next, read.plan.columns, list.get())) return nullptr;
    }
}

PyObject* read_csv(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("read_csv", {BRELT_READ_PARAMETER_NAMES}, 1);
        PyObject* bound[kReadParameterCount];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        ReadOptions options;
        if (!to_read_options(signature, bound, options)) return nullptr;
        options.request.piece_cells = kCellsPerBlock;
        // At most twice: a read that guessed its text is UTF-8 and found
        // otherwise starts over, nothing of it having been handed out.
        for (;;) {
            Result<PreparedRead> prepared =
                without_gil([&] { return prepare_read(options.request); });
            if (!prepared.ok()) return raise_read_error(std::move(prepared).error());
            PreparedRead& read = *prepared;
            if (read.table->row_count() == 0) return PyList_New(0);
            if (options.threads && *options.threads != 0) request_pool_size(*options.threads);

            TypedDicts dicts;
            if (!dicts.start(read.plan.keys)) return nullptr;
            // Dicts of plain values cannot form cycles; see CollectorPause.
            CollectorPause paused;
            bool not_utf8 = false;
            PyObject* rows = build_rows(read, dicts, not_utf8);
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
