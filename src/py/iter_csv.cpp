// iter_csv(path, *, batch_rows=10000, <read_csv's options>): the rows read_csv
// gives for a file, in lists of batch_rows dicts, holding only a batch or two
// of them at a time whatever the file's size. The column types are fixed once,
// from the first records (or the schema) exactly as read_csv fixes them; while
// the caller works on one batch, the next is read, parsed and typed on the
// worker pool. Progress is the part of the file read so far.
//
// The object holds no Python object but its keys and shared strings, so it
// stays out of cyclic collection; closing it (or dropping it) lets go of the
// file and all buffers at once.
#include <algorithm>
#include <memory>

#include "exports.hpp"
#include "parallel/typed_blocks.hpp"
#include "parallel/worker_pool.hpp"
#include "read_options.hpp"
#include "support/arguments.hpp"
#include "support/collector_pause.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "support/methods.hpp"
#include "support/owned_ref.hpp"
#include "support/use_flag.hpp"
#include "table/streamed_read.hpp"
#include "typed_rows.hpp"

namespace brelt::py {

namespace {

constexpr std::uint64_t kDefaultBatchRows = 10'000;

struct BatchState {
    std::unique_ptr<PreparedRead> read;
    std::unique_ptr<TypedBlocks> blocks;  // reads `read`, so goes first
    TypedDicts dicts;
    std::uint64_t file_size = 0;
    std::uint64_t final_position = 0;  // once finished
    bool finished = false;
    UseFlag use;

    std::uint64_t bytes_read() const {
        if (finished || !read || !read->rest) return final_position;
        return read->rest->file_position();
    }

    // Lets go of the file and the buffers. The state changes with the lock
    // held, so bytes_read from another thread sees it whole; the wait for
    // work under way on the pool runs without it.
    void finish() {
        if (finished) return;
        if (read && read->rest) final_position = read->rest->file_position();
        std::unique_ptr<TypedBlocks> ending_blocks = std::move(blocks);
        std::unique_ptr<PreparedRead> ending_read = std::move(read);
        finished = true;
        without_gil([&] {
            ending_blocks.reset();
            ending_read.reset();
        });
    }
};

struct BatchesObject {
    PyObject_HEAD BatchState state;
};

BatchState& state_of(PyObject* self) {
    return reinterpret_cast<BatchesObject*>(self)->state;
}

enum : std::size_t { kBatchRows = kReadParameterCount, kParameterCount };

PyObject* batches_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("iter_csv", {BRELT_READ_PARAMETER_NAMES, "batch_rows"}, 1,
                                         1);
        PyObject* bound[kParameterCount];
        if (!signature.bind_tuple(args, kwargs, bound)) return nullptr;
        ReadOptions options;
        if (!read_options(signature, bound, options)) return nullptr;
        std::uint64_t batch_rows = kDefaultBatchRows;
        if (bound[kBatchRows] != nullptr) {
            auto rows = to_u64(Argument{signature, kBatchRows, bound[kBatchRows]});
            if (!rows) return nullptr;
            if (*rows == 0) return raise(Error(ErrorKind::Value, "batch_rows must be at least 1"));
            // A batch is one piece of a table, which numbers its rows in 32
            // bits; so the cells of a batch are counted without overflow.
            batch_rows = std::min<std::uint64_t>(*rows, TableLimits().max_table_rows);
        }
        options.request.piece_rows = batch_rows;

        Result<PreparedRead> prepared =
            without_gil([&] { return prepare_streamed_read(options.request); });
        if (!prepared.ok()) return raise_read_error(std::move(prepared).error());

        OwnedRef self = OwnedRef::steal(type->tp_alloc(type, 0));
        if (!self) return nullptr;
        BatchState* state = new (&state_of(self.get())) BatchState();
        state->file_size = prepared->file_size;
        state->final_position = prepared->file_size;
        if (!state->dicts.start(prepared->plan.keys)) return nullptr;
        if (prepared->table->row_count() == 0) {
            state->finished = true;
            return self.release();
        }
        if (options.threads && *options.threads != 0) request_pool_size(*options.threads);
        state->read = std::make_unique<PreparedRead>(std::move(*prepared));
        const PreparedRead& read = *state->read;
        const std::size_t width = std::max<std::size_t>(read.plan.columns.size(), 1);
        state->blocks =
            std::make_unique<TypedBlocks>(read.table, read.rest.get(), read.plan.columns,
                                          read.plan.nulls, batch_rows * width, true);
        return self.release();
    });
}

void batches_dealloc(PyObject* self) {
    BatchState& state = state_of(self);
    state.finish();
    state.~BatchState();
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject* batches_next(PyObject* self) {
    return guarded([&]() -> PyObject* {
        BatchState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        if (state.finished) return nullptr;
        Result<TypedBlocks::Block> next = without_gil([&] { return state.blocks->next(); });
        if (!next.ok()) {
            state.finish();
            return raise_read_error(std::move(next).error());
        }
        if (next->rows == 0) {
            state.finish();
            return nullptr;
        }
        OwnedRef batch = OwnedRef::steal(PyList_New(0));
        if (!batch) return memory_error("list alloc failed");
        {
            // Dicts of plain values cannot form cycles; see CollectorPause.
            CollectorPause paused;
            if (!state.dicts.append(*next, state.read->plan.columns, batch.get())) return nullptr;
        }
        state.dicts.forget_strings();
        return batch.release();
    });
}

PyObject* batches_close(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        BatchState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        state.finish();
        Py_RETURN_NONE;
    });
}

PyObject* batches_enter(PyObject* self, PyObject*) {
    return Py_NewRef(self);
}

PyObject* batches_exit(PyObject* self, PyObject* const*, Py_ssize_t) {
    PyObject* closed = batches_close(self, nullptr);
    if (closed == nullptr) return nullptr;
    Py_DECREF(closed);
    Py_RETURN_FALSE;
}

PyObject* bytes_read(PyObject* self, void*) {
    return PyLong_FromUnsignedLongLong(state_of(self).bytes_read());
}

PyObject* file_size(PyObject* self, void*) {
    return PyLong_FromUnsignedLongLong(state_of(self).file_size);
}

PyMethodDef batches_methods[] = {
    {"close", as_cfunction(batches_close), METH_NOARGS,
     "close($self)\n--\n\nStops the read and lets go of the file at once."},
    {"__enter__", as_cfunction(batches_enter), METH_NOARGS, nullptr},
    {"__exit__", as_cfunction(batches_exit), METH_FASTCALL, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef batches_getset[] = {
    {"bytes_read", bytes_read, nullptr,
     "How many bytes of the file the read has got through (of a compressed file, compressed "
     "bytes); it runs about a batch ahead of the batches handed out.",
     nullptr},
    {"file_size", file_size, nullptr,
     "The file's size in bytes when it was opened (0 when unknown, as for a pipe).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char kBatchesDoc[] =
    "iter_csv(path, *, delimiter=None, has_header=True, schema=None, skip_rows=0, "
    "max_rows=None, columns=None, null_values=None, encoding=None, strict=False, "
    "n_threads=None, batch_rows=10000)\n--\n\n"
    "The rows read_csv(path, ...) gives, as lists of at most batch_rows dicts, read with\n"
    "bounded memory. The column types are fixed once, as read_csv fixes them.";

PyType_Slot batches_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(batches_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(batches_dealloc)},
    {Py_tp_iter, reinterpret_cast<void*>(PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(batches_next)},
    {Py_tp_methods, batches_methods},
    {Py_tp_getset, batches_getset},
    {Py_tp_doc, const_cast<char*>(kBatchesDoc)},
    {0, nullptr},
};

// Not subclassable, no instance dict or weak references.
PyType_Spec batches_spec = {
    "brelt._core.iter_csv", sizeof(BatchesObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    batches_slots,
};

}  // namespace

PyObject* iter_csv_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) type = PyType_FromSpec(&batches_spec);
    return type;
}

}  // namespace brelt::py
