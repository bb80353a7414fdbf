// PyReader: a cursor over the rows of a text file object. The constructor
// reads the whole file with one file_obj.read() and parses it with the
// interpreter lock released; the reader then stands on the current row, whose
// fields become str objects only when asked for.
//
// The reader holds no Python object, so it stays out of cyclic collection.
#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string_view>

#include "exports.hpp"
#include "parse_str.hpp"
#include "row.hpp"
#include "row_entry_points.hpp"
#include "support/arguments.hpp"
#include "support/collector_pause.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "support/methods.hpp"
#include "support/owned_ref.hpp"
#include "support/use_flag.hpp"
#include "table/rename_columns.hpp"

namespace brelt::py {

namespace {

struct ReaderState {
    TableRef table;
    std::uint64_t total_rows = 0;
    std::uint64_t current = 0;  // the row the row operations read
    std::uint64_t next_row = 0;
    std::uint64_t line_num = 0;
    UseFlag use;
};

struct PyReaderObject {
    PyObject_HEAD ReaderState state;
};

ReaderState& state_of(PyObject* self) {
    return reinterpret_cast<PyReaderObject*>(self)->state;
}

PyObject* index_out_of_range() {
    return raise(Error(ErrorKind::Index, "index out of range"));
}

// Row operations read the current row under shared use, so a callback they
// run (an index's __index__) cannot move the cursor or swap the table.
struct ReaderSource {
    using Lease = std::optional<SharedUse>;
    static constexpr RowWording wording{"alloc", "FieldIndex"};

    static bool open(PyObject* self, Lease& lease, RowView& view) {
        ReaderState& state = state_of(self);
        lease.emplace(state.use);
        if (!lease->acquired()) return false;
        // Only a table without rows has no current row.
        if (state.current >= state.total_rows) {
            index_out_of_range();
            return false;
        }
        view = RowView{state.table.get(), static_cast<std::size_t>(state.current), &wording};
        return true;
    }
};

using ReaderEntries = RowEntryPoints<ReaderSource>;

// len(reader): the current row's field count. A table without rows has no
// current row, but its length is 0 rather than an error, so that list(reader)
// (which asks for a size hint) and bool(reader) behave as for any empty
// iterable.
Py_ssize_t reader_length(PyObject* self) {
    if (state_of(self).total_rows != 0) return ReaderEntries::length(self);
    return guarded_status([&]() -> Py_ssize_t {
        SharedUse lease(state_of(self).use);
        return lease.acquired() ? 0 : -1;
    });
}

// ---- construction ----

// First byte of a one-character setting; the empty string gives `fallback`.
std::optional<std::uint8_t> dialect_byte(const Argument& argument, std::uint8_t fallback) {
    if (argument.object == nullptr) return fallback;
    auto text = to_string_view(argument);
    if (!text) return std::nullopt;
    return text->empty() ? fallback : static_cast<std::uint8_t>((*text)[0]);
}

std::optional<bool> flag(const Argument& argument) {
    if (argument.object == nullptr) return false;
    return to_bool(argument);
}

// Converts in signature order; the first failure is raised. The quote is
// always '"' and `safe` concerns writing only: both are checked, not used.
std::optional<TableOptions> read_options(const Signature& signature, PyObject* const* bound) {
    TableOptions options;
    options.has_header = false;
    auto delimiter = dialect_byte(Argument{signature, 1, bound[1]}, ',');
    if (!delimiter) return std::nullopt;
    if (!dialect_byte(Argument{signature, 2, bound[2]}, '"')) return std::nullopt;
    auto strict = flag(Argument{signature, 3, bound[3]});
    if (!strict) return std::nullopt;
    if (!flag(Argument{signature, 4, bound[4]})) return std::nullopt;
    options.delimiter = *delimiter;
    options.strict = *strict;
    return options;
}

// file_obj.read(), which must give a str; its own exceptions pass unchanged.
OwnedRef read_text(PyObject* file_obj) {
    static PyObject* const read_name = PyUnicode_InternFromString("read");
    if (read_name == nullptr) return OwnedRef();
    OwnedRef text = OwnedRef::steal(PyObject_CallMethodNoArgs(file_obj, read_name));
    if (text && !PyUnicode_Check(text.get())) {
        PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to 'PyString'",
                     Py_TYPE(text.get())->tp_name);
        return OwnedRef();
    }
    return text;
}

PyObject* reader_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature signature(
            "PyReader", {"file_obj", "delimiter", "quotechar", "strict", "safe"}, 1);
        PyObject* bound[5];
        if (!signature.bind_tuple(args, kwargs, bound)) return nullptr;
        auto options = read_options(signature, bound);
        if (!options) return nullptr;

        OwnedRef text = read_text(bound[0]);
        if (!text) return nullptr;
        std::optional<Result<ParseResult>> parsed = parse_str(std::move(text), *options);
        if (!parsed) return nullptr;
        if (!*parsed) return raise(parsed->error());

        PyObject* self = type->tp_alloc(type, 0);
        if (self == nullptr) return nullptr;
        ReaderState& state = *new (&state_of(self)) ReaderState();
        state.table = std::move((*parsed)->table);
        state.total_rows = (*parsed)->rows;
        return self;
    });
}

void reader_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    state_of(self).~ReaderState();
    type->tp_free(self);
    Py_DECREF(type);
}

// ---- the cursor ----

PyObject* reader_next(PyObject* self) {
    return guarded([&]() -> PyObject* {
        ReaderState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        if (state.next_row >= state.total_rows) return nullptr;  // StopIteration
        state.current = state.next_row++;
        ++state.line_num;
        return Py_NewRef(self);
    });
}

template <std::uint64_t ReaderState::*Field>
PyObject* counter_getter(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        ReaderState& state = state_of(self);
        SharedUse use(state.use);
        if (!use.acquired()) return nullptr;
        return PyLong_FromUnsignedLongLong(state.*Field);
    });
}

PyObject* snapshot(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        ReaderSource::Lease lease;
        RowView view;
        if (!ReaderSource::open(self, lease, view)) return nullptr;
        const ReaderState& state = state_of(self);
        return new_row(state.table, static_cast<std::uint32_t>(state.current));
    });
}

// ---- batches ----

// Rows [first, first + count) as lists of str.
PyObject* rows_as_lists(const ParsedTable& table, std::uint64_t first, std::uint64_t count) {
    OwnedRef batch = OwnedRef::steal(new_list(static_cast<Py_ssize_t>(count)));
    if (!batch) return nullptr;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t row = static_cast<std::size_t>(first + i);
        const std::size_t fields = table.field_count(row);
        PyObject* list = new_list(static_cast<Py_ssize_t>(fields));
        if (list == nullptr) return nullptr;
        // In the batch at once, so a failure below frees it with the batch.
        PyList_SET_ITEM(batch.get(), static_cast<Py_ssize_t>(i), list);
        for (std::size_t column = 0; column < fields; ++column) {
            PyObject* field =
                field_to_str(table.field(row, column), ReaderSource::wording.field_failure);
            if (field == nullptr) return nullptr;
            PyList_SET_ITEM(list, static_cast<Py_ssize_t>(column), field);
        }
    }
    return batch.release();
}

PyObject* fetch_many_lists(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("fetch_many_lists", {"n"}, 0);
        PyObject* bound[1];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        ReaderState& state = state_of(self);
        // Taken before n is converted: its __index__ may call back.
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        std::uint64_t wanted = 1000;
        if (bound[0] != nullptr) {
            auto n = to_u64(Argument{signature, 0, bound[0]});
            if (!n) return nullptr;
            wanted = *n;
        }
        const std::uint64_t count = std::min(wanted, state.total_rows - state.next_row);
        PyObject* batch = nullptr;
        {
            // Building the lists runs no Python code: strs and lists only.
            CollectorPause pause;
            batch = rows_as_lists(*state.table, state.next_row, count);
        }
        if (batch == nullptr) return nullptr;
        // The cursor moves only once the whole batch exists.
        state.next_row += count;
        state.line_num += count;
        return batch;
    });
}

// ---- column names ----

PyObject* set_field_names(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("set_field_names", {"names"}, 1);
        PyObject* bound[1];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        ReaderState& state = state_of(self);
        // Taken before the names are read: a sequence may run Python code.
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        auto names = to_string_list(Argument{signature, 0, bound[0]});
        if (!names) return nullptr;
        // Rows already handed out keep the old table and its names.
        Result<TableRef> renamed = with_column_names(*state.table, std::move(*names));
        if (!renamed) return raise(renamed.error());
        state.table = std::move(*renamed);
        Py_RETURN_NONE;
    });
}

// ---- type object ----

PyMethodDef reader_methods[] = {
    {"to_list", as_cfunction(ReaderEntries::values), METH_NOARGS, kToListDoc},
    {"keys", as_cfunction(ReaderEntries::keys), METH_NOARGS, kKeysDoc},
    {"values", as_cfunction(ReaderEntries::values), METH_NOARGS, kValuesDoc},
    {"items", as_cfunction(ReaderEntries::items), METH_NOARGS, kItemsDoc},
    {"get", as_cfunction(ReaderEntries::get), METH_FASTCALL | METH_KEYWORDS, kGetDoc},
    {"snapshot", as_cfunction(snapshot), METH_NOARGS,
     "snapshot($self)\n--\n\nSnapshot current row as standalone Row object."},
    {"fetch_many_lists", as_cfunction(fetch_many_lists), METH_FASTCALL | METH_KEYWORDS,
     "fetch_many_lists($self, n=1000)\n--\n\nBatch as list[list[str]] via raw FFI — for "
     "DictReader fallback."},
    {"set_field_names", as_cfunction(set_field_names), METH_FASTCALL | METH_KEYWORDS,
     "set_field_names($self, names)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef reader_getset[] = {
    {"total_rows", counter_getter<&ReaderState::total_rows>, nullptr, nullptr, nullptr},
    {"line_num", counter_getter<&ReaderState::line_num>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char kReaderDoc[] =
    R"(PyReader(file_obj, delimiter=",", quotechar="\"", strict=False, safe=False))"
    "\n--\n\n";

PyType_Slot reader_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(reader_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(reader_dealloc)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_repr, reinterpret_cast<void*>(ReaderEntries::repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(ReaderEntries::richcompare)},
    {Py_tp_iter, reinterpret_cast<void*>(PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(reader_next)},
    {Py_sq_length, reinterpret_cast<void*>(reader_length)},
    {Py_sq_item, reinterpret_cast<void*>(ReaderEntries::item)},
    {Py_sq_contains, reinterpret_cast<void*>(ReaderEntries::contains)},
    {Py_mp_length, reinterpret_cast<void*>(reader_length)},
    {Py_mp_subscript, reinterpret_cast<void*>(ReaderEntries::subscript)},
    {Py_tp_methods, reader_methods},
    {Py_tp_getset, reader_getset},
    {Py_tp_doc, const_cast<char*>(kReaderDoc)},
    {0, nullptr},
};

// Not subclassable, no instance dict or weak references.
PyType_Spec reader_spec = {
    "builtins.PyReader", sizeof(PyReaderObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    reader_slots,
};

}  // namespace

PyObject* py_reader_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) type = PyType_FromSpec(&reader_spec);
    return type;
}

}  // namespace brelt::py
