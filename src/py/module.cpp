// The module's initialiser: one module object per process, refused in a second
// interpreter, with its classes and functions registered in a fixed order.
#include <atomic>
#include <cstdint>

#include "exports.hpp"
#include "field_limit.hpp"
#include "support/errors.hpp"
#include "support/owned_ref.hpp"
#include "support/python.hpp"
#include "table_limits.hpp"

namespace brelt::py {

namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_core",
    "",  // module docstring
    0,   // no per-module state: all state is process-wide
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// The host API version the module is created against.
constexpr int kApiVersion = 1013;

// The interpreter that first imported the module; every object the module
// keeps belongs to it.
std::atomic<std::int64_t> owning_interpreter{-1};

// Created once, never torn down. Written and read with the interpreter lock
// held; the import lock keeps two initialisations from interleaving.
PyObject* module_object = nullptr;

bool add_to_all(PyObject* module, const char* name) {
    PyObject* all = PyDict_GetItemString(PyModule_GetDict(module), "__all__");  // borrowed
    if (all == nullptr) {
        OwnedRef created = OwnedRef::steal(PyList_New(0));
        if (!created || PyModule_AddObjectRef(module, "__all__", created.get()) < 0) return false;
        all = created.get();
    }
    OwnedRef text = OwnedRef::steal(PyUnicode_FromString(name));
    return text && PyList_Append(all, text.get()) == 0;
}

bool add_function(PyObject* module, PyMethodDef* definition) {
    OwnedRef module_name = OwnedRef::steal(PyUnicode_FromString("brelt._core"));
    if (!module_name) return false;
    OwnedRef function = OwnedRef::steal(PyCFunction_NewEx(definition, module, module_name.get()));
    if (!function) return false;
    return PyModule_AddObjectRef(module, definition->ml_name, function.get()) == 0;
}

bool register_function(PyObject* module, PyMethodDef* definition) {
    return add_function(module, definition) && add_to_all(module, definition->ml_name);
}

bool register_type(PyObject* module, const char* name, PyObject* (*type_object)()) {
    PyObject* type = type_object();  // borrowed
    if (type == nullptr) return false;
    if (PyModule_AddObjectRef(module, name, type) < 0) return false;
    return add_to_all(module, name);
}

bool add_type(PyObject* module, const char* name, PyObject* (*type_object)()) {
    PyObject* type = type_object();  // borrowed
    return type != nullptr && PyModule_AddObjectRef(module, name, type) == 0;
}

bool claim_interpreter() {
    const std::int64_t current = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (current < 0) return false;
    std::int64_t expected = -1;
    if (owning_interpreter.compare_exchange_strong(expected, current) || expected == current) {
        return true;
    }
    PyErr_SetString(PyExc_ImportError,
                    "brelt._core is already initialised in another interpreter of this process "
                    "and cannot be used from a sub-interpreter");
    return false;
}

PyObject* build_module() {
    OwnedRef module = OwnedRef::steal(PyModule_Create2(&module_definition, kApiVersion));
    if (!module) return nullptr;
    // Registration order is part of the interface: it is the order of __all__.
    if (!register_type(module.get(), "PyReader", py_reader_type)) return nullptr;
    if (!register_type(module.get(), "PyWriter", py_writer_type)) return nullptr;
    if (!register_type(module.get(), "Row", row_type)) return nullptr;
    if (!register_type(module.get(), "RowIterator", row_iterator_type)) return nullptr;
    if (!register_function(module.get(), &read_csv_definition)) return nullptr;
    if (!register_function(module.get(), &write_csv_definition)) return nullptr;
    if (!register_function(module.get(), &sniff_delimiter_definition)) return nullptr;
    if (!register_type(module.get(), "iter_csv", iter_csv_type)) return nullptr;
    // Private, so not in __all__: the Python layer wraps them.
    if (!add_function(module.get(), &plan_partitions_definition)) return nullptr;
    if (!add_function(module.get(), &read_partition_definition)) return nullptr;
    // The csv layer's writer object, made by brelt.writer: not in __all__.
    PyObject* writer = writer_type();  // borrowed
    if (writer == nullptr || PyModule_AddObjectRef(module.get(), "Writer", writer) < 0) {
        return nullptr;
    }
    // What the csv-style reader (brelt/_reader.py, brelt/_field_limit.py)
    // is built on, also private.
    if (!add_type(module.get(), "Reader", csv_reader_type)) return nullptr;
    if (!add_type(module.get(), "DictReaderBase", dict_reader_base_type)) return nullptr;
    if (!add_function(module.get(), &field_limit_definition)) return nullptr;
#ifdef BRELT_TEST_HOOKS
    // Private and only in test builds, so not in __all__ (table_limits.hpp).
    if (!add_function(module.get(), &set_table_limits_for_tests_definition)) return nullptr;
#endif
    return module.release();
}

}  // namespace

}  // namespace brelt::py

PyMODINIT_FUNC PyInit__core() {
    using namespace brelt::py;
    return guarded([]() -> PyObject* {
        if (!claim_interpreter()) return nullptr;
        if (module_object == nullptr) {
            PyObject* module = build_module();
            if (module == nullptr) return nullptr;
            // Building may run Python code; keep the first module if another
            // initialisation finished meanwhile.
            if (module_object == nullptr) {
                module_object = module;
            } else {
                Py_DECREF(module);
            }
        }
        return Py_NewRef(module_object);
    });
}
