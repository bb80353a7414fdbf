// DictReaderBase: the part of brelt.DictReader (brelt/_dict.py) that runs
// once per row, in C: the csv module's DictReader.__next__, step for step,
// without a Python frame. The subclass in Python holds the rest: the
// constructor, the `fieldnames` property, restkey, restval and dialect.
//
// Per row, the csv module's code reads `self.fieldnames` (the property)
// twice and builds the dict with dict(zip(...)). Here, for brelt's own
// DictReader (not a subclass of it, which may redefine the property), the
// property's effect is had directly: the names are `_fieldnames` and
// line_num becomes the reader's. The dict is a copy of a template holding
// the names, its values then set in order, which gives zip's order and its
// handling of a name given twice.
#include <cstdint>

#include "csv_reader.hpp"
#include "exports.hpp"
#include "support/errors.hpp"
#include "support/owned_ref.hpp"

#include <structmember.h>

namespace brelt::py {

namespace {

struct DictReaderObject {
    PyObject_HEAD PyObject* reader;  // the attributes `reader` and `_fieldnames`
    PyObject* fieldnames;
    // line_num: a count, unless something else was assigned to it, which is
    // then kept as it is.
    std::uint64_t line_num;
    PyObject* line_num_object;
    // A dict of the names in `template_names` (each to None), made while
    // those names were the items of `template_items`.
    PyObject* template_dict;
    PyObject* template_names;
    PyObject* template_items;
};

DictReaderObject* state_of(PyObject* self) {
    return reinterpret_cast<DictReaderObject*>(self);
}

// The attributes read per row, as interned names made once.
struct Names {
    PyObject* fieldnames = PyUnicode_InternFromString("fieldnames");
    PyObject* restkey = PyUnicode_InternFromString("restkey");
    PyObject* restval = PyUnicode_InternFromString("restval");
    PyObject* line_num = PyUnicode_InternFromString("line_num");
};

PyObject* attribute(PyObject* object, PyObject* Names::*name) {
    static const Names names;
    PyObject* key = names.*name;
    if (key == nullptr) {
        PyErr_SetString(PyExc_MemoryError, "attribute name");
        return nullptr;
    }
    return PyObject_GetAttr(object, key);
}

// ---- line_num ----

void set_line_num(DictReaderObject* state, std::uint64_t value) {
    Py_CLEAR(state->line_num_object);
    state->line_num = value;
}

int line_num_is_zero(DictReaderObject* state) {
    if (state->line_num_object == nullptr) return state->line_num == 0;
    OwnedRef zero = OwnedRef::steal(PyLong_FromLong(0));
    if (!zero) return -1;
    return PyObject_RichCompareBool(state->line_num_object, zero.get(), Py_EQ);
}

// self.line_num = self.reader.line_num
bool take_line_num(DictReaderObject* state) {
    PyObject* reader = state->reader;
    if (reader != nullptr && is_csv_reader(reader)) {
        set_line_num(state, csv_reader_line_num(reader));
        return true;
    }
    if (reader == nullptr) {
        PyErr_SetString(PyExc_AttributeError, "'DictReader' object has no attribute 'reader'");
        return false;
    }
    PyObject* value = attribute(reader, &Names::line_num);
    if (value == nullptr) return false;
    Py_XSETREF(state->line_num_object, value);
    return true;
}

PyObject* get_line_num(PyObject* self, void*) {
    DictReaderObject* state = state_of(self);
    if (state->line_num_object != nullptr) return Py_NewRef(state->line_num_object);
    return PyLong_FromUnsignedLongLong(state->line_num);
}

int set_line_num_attribute(PyObject* self, PyObject* value, void*) {
    if (value == nullptr) {
        PyErr_SetString(PyExc_AttributeError, "line_num cannot be deleted");
        return -1;
    }
    DictReaderObject* state = state_of(self);
    if (PyLong_CheckExact(value)) {
        const unsigned long long count = PyLong_AsUnsignedLongLong(value);
        if (!(count == static_cast<unsigned long long>(-1) && PyErr_Occurred())) {
            set_line_num(state, count);
            return 0;
        }
        PyErr_Clear();  // negative or huge: kept as given
    }
    Py_XSETREF(state->line_num_object, Py_NewRef(value));
    return 0;
}

// ---- rows ----

// next(self.reader): nullptr at the end (no exception) or on an error.
PyObject* next_row(DictReaderObject* state) {
    PyObject* reader = state->reader;
    if (reader == nullptr) {
        PyErr_SetString(PyExc_AttributeError, "'DictReader' object has no attribute 'reader'");
        return nullptr;
    }
    // Held: while the reader parses without the interpreter lock, another
    // thread may assign self.reader.
    OwnedRef held = OwnedRef::borrow(reader);
    if (is_csv_reader(reader)) return csv_reader_next(reader);
    if (!PyIter_Check(reader)) {
        PyErr_Format(PyExc_TypeError, "'%.200s' object is not an iterator",
                     Py_TYPE(reader)->tp_name);
        return nullptr;
    }
    return PyIter_Next(reader);
}

// row == []
int is_blank(PyObject* row) {
    if (PyList_CheckExact(row)) return PyList_GET_SIZE(row) == 0;
    OwnedRef empty = OwnedRef::steal(PyList_New(0));
    if (!empty) return -1;
    return PyObject_RichCompareBool(row, empty.get(), Py_EQ);
}

// The template for `names` (a list or tuple), made again when they changed.
PyObject* template_for(DictReaderObject* state, PyObject* names) {
    const Py_ssize_t count = PySequence_Fast_GET_SIZE(names);
    PyObject** items = PySequence_Fast_ITEMS(names);
    if (state->template_dict != nullptr && state->template_names == names &&
        PyTuple_GET_SIZE(state->template_items) == count) {
        bool same = true;
        for (Py_ssize_t i = 0; i < count && same; ++i)
            same = PyTuple_GET_ITEM(state->template_items, i) == items[i];
        if (same) return state->template_dict;
    }
    OwnedRef dict = OwnedRef::steal(PyDict_New());
    OwnedRef snapshot = OwnedRef::steal(PyTuple_New(count));
    if (!dict || !snapshot) return nullptr;
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyTuple_SET_ITEM(snapshot.get(), i, Py_NewRef(items[i]));
        if (PyDict_SetItem(dict.get(), items[i], Py_None) < 0) return nullptr;
    }
    Py_XSETREF(state->template_dict, dict.release());
    Py_XSETREF(state->template_names, Py_NewRef(names));
    Py_XSETREF(state->template_items, snapshot.release());
    return state->template_dict;
}

// The csv module's: d = dict(zip(names, row)), then the rest of a longer row
// under restkey, or restval for the names a shorter row lacks.
PyObject* dict_of(PyObject* self, PyObject* names, PyObject* row) {
    DictReaderObject* state = state_of(self);
    const bool fast =
        (PyList_CheckExact(names) || PyTuple_CheckExact(names)) && PyList_CheckExact(row);
    OwnedRef dict;
    Py_ssize_t names_count, row_count;
    if (fast) {
        PyObject* shape = template_for(state, names);
        if (shape == nullptr) return nullptr;
        dict = OwnedRef::steal(PyDict_Copy(shape));
        if (!dict) return nullptr;
        names_count = PySequence_Fast_GET_SIZE(names);
        row_count = PyList_GET_SIZE(row);
        // A name past the row's end keeps its place, to be given restval.
        PyObject** keys = PySequence_Fast_ITEMS(names);
        for (Py_ssize_t i = 0; i < names_count && i < row_count; ++i) {
            if (PyDict_SetItem(dict.get(), keys[i], PyList_GET_ITEM(row, i)) < 0) return nullptr;
        }
    } else {
        dict = OwnedRef::steal(PyDict_New());
        OwnedRef key_iterator = OwnedRef::steal(dict ? PyObject_GetIter(names) : nullptr);
        OwnedRef value_iterator = OwnedRef::steal(key_iterator ? PyObject_GetIter(row) : nullptr);
        if (!value_iterator) return nullptr;
        for (;;) {
            OwnedRef key = OwnedRef::steal(PyIter_Next(key_iterator.get()));
            if (!key) break;
            OwnedRef value = OwnedRef::steal(PyIter_Next(value_iterator.get()));
            if (!value) break;
            if (PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
        }
        if (PyErr_Occurred()) return nullptr;
        names_count = PyObject_Size(names);
        if (names_count < 0) return nullptr;
        row_count = PyObject_Size(row);
        if (row_count < 0) return nullptr;
    }
    if (names_count < row_count) {
        OwnedRef restkey = OwnedRef::steal(attribute(self, &Names::restkey));
        OwnedRef rest = OwnedRef::steal(
            restkey ? PySequence_GetSlice(row, names_count, PY_SSIZE_T_MAX) : nullptr);
        if (!rest || PyDict_SetItem(dict.get(), restkey.get(), rest.get()) < 0) return nullptr;
    } else if (names_count > row_count) {
        OwnedRef restval = OwnedRef::steal(attribute(self, &Names::restval));
        OwnedRef missing = OwnedRef::steal(
            restval ? PySequence_GetSlice(names, row_count, PY_SSIZE_T_MAX) : nullptr);
        OwnedRef keys = OwnedRef::steal(missing ? PyObject_GetIter(missing.get()) : nullptr);
        if (!keys) return nullptr;
        while (PyObject* key = PyIter_Next(keys.get())) {
            const int failed = PyDict_SetItem(dict.get(), key, restval.get());
            Py_DECREF(key);
            if (failed < 0) return nullptr;
        }
        if (PyErr_Occurred()) return nullptr;
    }
    return dict.release();
}

PyObject* base_type_object = nullptr;

// brelt's DictReader itself, whose `fieldnames` property is known.
bool is_plain_dict_reader(PyObject* self) {
    return Py_TYPE(self)->tp_base == reinterpret_cast<PyTypeObject*>(base_type_object);
}

PyObject* dict_reader_next(PyObject* self) {
    return guarded([&]() -> PyObject* {
        DictReaderObject* state = state_of(self);
        const int zero = line_num_is_zero(state);
        if (zero < 0) return nullptr;
        if (zero == 1) {
            OwnedRef names = OwnedRef::steal(attribute(self, &Names::fieldnames));  // the header
            if (!names) return nullptr;
        }
        OwnedRef row = OwnedRef::steal(next_row(state));
        if (!row || !take_line_num(state)) return nullptr;
        for (;;) {
            const int blank = is_blank(row.get());
            if (blank < 0) return nullptr;
            if (blank == 0) break;
            row = OwnedRef::steal(next_row(state));
            if (!row) return nullptr;
        }
        OwnedRef names;
        if (is_plain_dict_reader(self) && state->fieldnames != nullptr &&
            state->fieldnames != Py_None) {
            names = OwnedRef::borrow(state->fieldnames);
            if (!take_line_num(state)) return nullptr;
        } else {
            names = OwnedRef::steal(attribute(self, &Names::fieldnames));
            if (!names) return nullptr;
        }
        return dict_of(self, names.get(), row.get());
    });
}

// ---- the type ----

int dict_reader_traverse(PyObject* self, visitproc visit, void* arg) {
    DictReaderObject* state = state_of(self);
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(state->reader);
    Py_VISIT(state->fieldnames);
    Py_VISIT(state->line_num_object);
    Py_VISIT(state->template_dict);
    Py_VISIT(state->template_names);
    Py_VISIT(state->template_items);
    return 0;
}

int dict_reader_clear(PyObject* self) {
    DictReaderObject* state = state_of(self);
    Py_CLEAR(state->reader);
    Py_CLEAR(state->fieldnames);
    Py_CLEAR(state->line_num_object);
    Py_CLEAR(state->template_dict);
    Py_CLEAR(state->template_names);
    Py_CLEAR(state->template_items);
    return 0;
}

void dict_reader_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    dict_reader_clear(self);
    type->tp_free(self);
    Py_DECREF(type);
}

PyMemberDef dict_reader_members[] = {
    {"reader", T_OBJECT_EX, offsetof(DictReaderObject, reader), 0,
     "The reader the rows come from."},
    {"_fieldnames", T_OBJECT_EX, offsetof(DictReaderObject, fieldnames), 0, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef dict_reader_getset[] = {
    {"line_num", get_line_num, set_line_num_attribute,
     "The reader's line_num after the last row returned.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot dict_reader_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(PyType_GenericNew)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dict_reader_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(dict_reader_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(dict_reader_clear)},
    {Py_tp_iter, reinterpret_cast<void*>(PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(dict_reader_next)},
    {Py_tp_members, dict_reader_members},
    {Py_tp_getset, dict_reader_getset},
    {Py_tp_doc, const_cast<char*>("The rows of a DictReader as dicts; see brelt.DictReader.")},
    {0, nullptr},
};

PyType_Spec dict_reader_spec = {
    "brelt._core.DictReaderBase",
    sizeof(DictReaderObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC,
    dict_reader_slots,
};

}  // namespace

PyObject* dict_reader_base_type() {
    if (base_type_object == nullptr) base_type_object = PyType_FromSpec(&dict_reader_spec);
    return base_type_object;
}

}  // namespace brelt::py
