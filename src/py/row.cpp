// Row and RowIterator. A Row is a table reference and a row number; its
// fields become str objects only when asked for. Rows come and go once per
// row of a file, so their memory cycles through a pool (row_pool.hpp).
//
// Neither type takes part in cyclic garbage collection: a Row holds no Python
// object, and a RowIterator holds only its Row, so no cycle can run through
// either of them and reference counting alone frees them.
#include "row.hpp"

#include <new>

#include "exports.hpp"
#include "row_entry_points.hpp"
#include "row_pool.hpp"
#include "support/methods.hpp"
#include "support/owned_ref.hpp"
#include "support/use_flag.hpp"

namespace brelt::py {

namespace {

struct RowObject {
    PyObject_HEAD TableRef table;
    std::uint32_t row;
};

static_assert(sizeof(RowObject) - sizeof(PyObject) == 16);

RowObject& row_of(PyObject* self) {
    return *reinterpret_cast<RowObject*>(self);
}

struct RowSource {
    struct Lease {};
    static constexpr RowWording wording{"string alloc", "RowIndex"};

    static bool open(PyObject* self, Lease&, RowView& view) {
        const RowObject& row = row_of(self);
        view = RowView{row.table.get(), row.row, &wording};
        return true;
    }
};

using RowEntries = RowEntryPoints<RowSource>;

PyTypeObject* row_type_object = nullptr;
PyTypeObject* iterator_type_object = nullptr;

// ---- memory: the pool first, the interpreter's allocator otherwise ----

PyObject* row_alloc(PyTypeObject* type, Py_ssize_t nitems) {
    if (type == row_type_object && nitems == 0) {
        if (void* memory = row_pool().pop()) {
            // Sets the reference count to 1 and the type, which it retains.
            return PyObject_Init(static_cast<PyObject*>(memory), type);
        }
    }
    return PyType_GenericAlloc(type, nitems);
}

// The type has no GC header, so its blocks come from PyObject_Malloc.
void row_free(void* memory) {
    if (!row_pool().push(memory)) PyObject_Free(memory);
}

void row_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    // A pooled block holds no table reference.
    row_of(self).table.~TableRef();
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject* refuse_row_new(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, "No constructor defined for Row");
    return nullptr;
}

// ---- RowIterator ----

struct IteratorState {
    OwnedRef row;
    std::uint64_t position = 0;
    UseFlag use;
};

struct RowIteratorObject {
    PyObject_HEAD IteratorState state;
};

IteratorState& iterator_of(PyObject* self) {
    return reinterpret_cast<RowIteratorObject*>(self)->state;
}

PyObject* row_iter(PyObject* self) {
    return guarded([&]() -> PyObject* {
        auto* type = reinterpret_cast<PyTypeObject*>(row_iterator_type());
        if (type == nullptr) return nullptr;
        PyObject* iterator = type->tp_alloc(type, 0);
        if (iterator == nullptr) return nullptr;
        new (&iterator_of(iterator)) IteratorState();
        iterator_of(iterator).row = OwnedRef::borrow(self);
        return iterator;
    });
}

PyObject* iterator_next(PyObject* self) {
    return guarded([&]() -> PyObject* {
        IteratorState& state = iterator_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        const RowObject& row = row_of(state.row.get());
        if (state.position >= row.table->field_count(row.row)) return nullptr;  // StopIteration
        PyObject* field = field_to_str(row.table->field(row.row, state.position),
                                       RowSource::wording.field_failure);
        if (field != nullptr) ++state.position;
        return field;
    });
}

void iterator_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    iterator_of(self).~IteratorState();
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject* refuse_iterator_new(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, "No constructor defined for RowIterator");
    return nullptr;
}

// ---- type objects ----

PyMethodDef row_methods[] = {
    {"to_list", as_cfunction(RowEntries::values), METH_NOARGS, kToListDoc},
    {"keys", as_cfunction(RowEntries::keys), METH_NOARGS, kKeysDoc},
    {"values", as_cfunction(RowEntries::values), METH_NOARGS, kValuesDoc},
    {"items", as_cfunction(RowEntries::items), METH_NOARGS, kItemsDoc},
    {"get", as_cfunction(RowEntries::get), METH_FASTCALL | METH_KEYWORDS, kGetDoc},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char kRowDoc[] =
    "Lightweight CSV row — 16 bytes on stack (Arc + u32 + padding).\n"
    "No per-row heap allocation for field data. Freelist-pooled pyclass.";

PyType_Slot row_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_row_new)},
    {Py_tp_alloc, reinterpret_cast<void*>(row_alloc)},
    {Py_tp_free, reinterpret_cast<void*>(row_free)},
    {Py_tp_dealloc, reinterpret_cast<void*>(row_dealloc)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_repr, reinterpret_cast<void*>(RowEntries::repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(RowEntries::richcompare)},
    {Py_tp_iter, reinterpret_cast<void*>(row_iter)},
    {Py_sq_length, reinterpret_cast<void*>(RowEntries::length)},
    {Py_sq_item, reinterpret_cast<void*>(RowEntries::item)},
    {Py_sq_contains, reinterpret_cast<void*>(RowEntries::contains)},
    {Py_mp_length, reinterpret_cast<void*>(RowEntries::length)},
    {Py_mp_subscript, reinterpret_cast<void*>(RowEntries::subscript)},
    {Py_tp_methods, row_methods},
    {Py_tp_doc, const_cast<char*>(kRowDoc)},
    {0, nullptr},
};

// Not subclassable (the pool hands out blocks of exactly this size), no
// instance dict or weak references.
PyType_Spec row_spec = {
    "builtins.Row", sizeof(RowObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, row_slots,
};

PyType_Slot iterator_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_iterator_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(iterator_dealloc)},
    {Py_tp_iter, reinterpret_cast<void*>(PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(iterator_next)},
    {0, nullptr},
};

PyType_Spec iterator_spec = {
    "builtins.RowIterator",
    sizeof(RowIteratorObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    iterator_slots,
};

}  // namespace

PyObject* row_type() {
    if (row_type_object == nullptr) {
        row_type_object = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&row_spec));
    }
    return reinterpret_cast<PyObject*>(row_type_object);
}

PyObject* row_iterator_type() {
    if (iterator_type_object == nullptr) {
        iterator_type_object = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&iterator_spec));
    }
    return reinterpret_cast<PyObject*>(iterator_type_object);
}

PyObject* new_row(TableRef table, std::uint32_t row) {
    auto* type = reinterpret_cast<PyTypeObject*>(row_type());
    if (type == nullptr) return nullptr;
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    RowObject& object = row_of(self);
    new (&object.table) TableRef(std::move(table));
    object.row = row;
    return self;
}

}  // namespace brelt::py
