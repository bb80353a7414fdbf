#include "typed_rows.hpp"

#include <deque>
#include <vector>

#include "parallel/convert_columns.hpp"
#include "parallel/typed_blocks.hpp"
#include "str_cache.hpp"
#include "support/collector_pause.hpp"
#include "support/errors.hpp"
#include "support/owned_ref.hpp"

namespace brelt::py {

namespace {

// Interned keys, shared by every dict, and a template dict holding them in
// column order: copying it gives each row's dict its final size and order at
// once, so setting the values never resizes.
struct DictShape {
    std::vector<OwnedRef> keys;
    OwnedRef template_dict;
};

bool make_shape(const std::vector<std::string>& names, DictShape& shape) {
    shape.template_dict = OwnedRef::steal(PyDict_New());
    if (!shape.template_dict) return false;
    shape.keys.reserve(names.size());
    for (const std::string& name : names) {
        PyObject* key =
            PyUnicode_DecodeUTF8(name.data(), static_cast<Py_ssize_t>(name.size()), "replace");
        if (key == nullptr) return false;
        PyUnicode_InternInPlace(&key);
        shape.keys.push_back(OwnedRef::steal(key));
        if (PyDict_SetItem(shape.template_dict.get(), key, Py_None) < 0) return false;
    }
    return true;
}

// Only a string cell needs its field's text, so only it looks the field up.
PyObject* value_of(const CellValue& cell, const ParsedTable& table, std::size_t row,
                   std::size_t source, StrObjectCache& strings) {
    switch (cell.kind) {
        case CellValue::Kind::None:
            return Py_NewRef(Py_None);
        case CellValue::Kind::Int:
            return PyLong_FromLongLong(cell.integer);
        case CellValue::Kind::Float:
            return PyFloat_FromDouble(cell.real);
        case CellValue::Kind::Bool:
            return PyBool_FromLong(cell.boolean);
        case CellValue::Kind::Str: {
            const std::string_view field =
                source < table.field_count(row) ? table.field(row, source) : std::string_view();
            return strings.get(cell.text_in(field));
        }
    }
    return nullptr;
}

PyObject* memory_error(const char* message) {
    PyErr_Clear();
    return raise(Error(ErrorKind::Memory, message));
}

// The dicts of every row, built block by block while the next block is
// parsed and typed on the pool.
PyObject* build_rows(PreparedRead& read, const DictShape& shape) {
    const std::size_t width = read.plan.columns.size();
    OwnedRef list = OwnedRef::steal(PyList_New(0));
    if (!list) return memory_error("list alloc failed");
    // A small file's blocks are typed on the calling thread.
    const bool parallel =
        read.rest != nullptr || converts_in_parallel(read.table->row_count(), width);
    TypedBlocks blocks(read.table, read.rest.get(), read.plan.columns, read.plan.nulls,
                       kCellsPerBlock, parallel);
    const HashSeed seed = HashSeed::random();
    std::deque<StrObjectCache> strings;  // caches do not move
    for (std::size_t k = 0; k < width; ++k)
        strings.emplace_back(seed);

    for (;;) {
        Result<TypedBlocks::Block> next = blocks.next();
        if (!next.ok()) return raise_read_error(std::move(next).error());
        const TypedBlocks::Block& block = *next;
        if (block.rows == 0) break;
        const ParsedTable& table = *block.table;
        for (std::size_t r = 0; r < block.rows; ++r) {
            const std::size_t row = block.first_row + r;
            OwnedRef dict = OwnedRef::steal(PyDict_Copy(shape.template_dict.get()));
            if (!dict) return memory_error("dict alloc failed");
            for (std::size_t k = 0; k < width; ++k) {
                OwnedRef value =
                    OwnedRef::steal(value_of(block.cells[k * block.rows + r], table, row,
                                             read.plan.columns[k].source, strings[k]));
                if (!value) return memory_error("value alloc failed");
                if (PyDict_SetItem(dict.get(), shape.keys[k].get(), value.get()) < 0) {
                    return memory_error("dict alloc failed");
                }
            }
            if (PyList_Append(list.get(), dict.get()) < 0) return memory_error("list alloc failed");
        }
    }
    return list.release();
}

}  // namespace

PyObject* raise_read_error(Error error) {
    if (error.kind != ErrorKind::Memory) error.kind = ErrorKind::Value;
    return raise(error);
}

PyObject* typed_rows(PreparedRead& read) {
    if (read.table->row_count() == 0 && read.rest == nullptr) return PyList_New(0);
    DictShape shape;
    if (!make_shape(read.plan.keys, shape)) return nullptr;
    // Dicts of plain values cannot form cycles; see CollectorPause.
    CollectorPause paused;
    return build_rows(read, shape);
}

}  // namespace brelt::py
