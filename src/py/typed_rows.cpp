#include "typed_rows.hpp"

#include "parallel/convert_columns.hpp"
#include "parallel/worker_pool.hpp"
#include "support/collector_pause.hpp"
#include "support/errors.hpp"

namespace brelt::py {

namespace {

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

bool out_of_memory(const char* message) {
    memory_error(message);
    return false;
}

// The dicts of every row, built block by block while the next block is
// parsed and typed on the pool.
PyObject* build_rows(PreparedRead& read, TypedDicts& dicts, bool* not_utf8) {
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
            if (not_utf8 != nullptr && is_not_utf8_guess(error)) {
                *not_utf8 = true;
                return nullptr;
            }
            return raise_read_error(std::move(error));
        }
        if (next->rows == 0) return list.release();
        if (!dicts.append(*next, read.plan.columns, list.get())) return nullptr;
    }
}

}  // namespace

PyObject* memory_error(const char* message) {
    PyErr_Clear();
    return raise(Error(ErrorKind::Memory, message));
}

PyObject* raise_read_error(Error error) {
    if (error.kind != ErrorKind::Memory) error.kind = ErrorKind::Value;
    return raise(error);
}

bool TypedDicts::start(const std::vector<std::string>& keys) {
    template_dict_ = OwnedRef::steal(PyDict_New());
    if (!template_dict_) return false;
    keys_.reserve(keys.size());
    for (const std::string& name : keys) {
        PyObject* key =
            PyUnicode_DecodeUTF8(name.data(), static_cast<Py_ssize_t>(name.size()), "replace");
        if (key == nullptr) return false;
        PyUnicode_InternInPlace(&key);
        keys_.push_back(OwnedRef::steal(key));
        if (PyDict_SetItem(template_dict_.get(), key, Py_None) < 0) return false;
    }
    forget_strings();
    return true;
}

void TypedDicts::forget_strings() {
    strings_.clear();
    const HashSeed seed = HashSeed::random();
    for (std::size_t k = 0; k < keys_.size(); ++k)
        strings_.emplace_back(seed);
}

bool TypedDicts::append(const TypedBlocks::Block& block, std::span<const ColumnPlan> columns,
                        PyObject* list) {
    const std::size_t width = columns.size();
    const ParsedTable& table = *block.table;
    for (std::size_t r = 0; r < block.rows; ++r) {
        const std::size_t row = block.first_row + r;
        OwnedRef dict = OwnedRef::steal(PyDict_Copy(template_dict_.get()));
        if (!dict) return out_of_memory("dict alloc failed");
        for (std::size_t k = 0; k < width; ++k) {
            OwnedRef value = OwnedRef::steal(value_of(block.cells[k * block.rows + r], table, row,
                                                      columns[k].source, strings_[k]));
            if (!value) return out_of_memory("value alloc failed");
            if (PyDict_SetItem(dict.get(), keys_[k].get(), value.get()) < 0) {
                return out_of_memory("dict alloc failed");
            }
        }
        if (PyList_Append(list, dict.get()) < 0) return out_of_memory("list alloc failed");
    }
    return true;
}

PyObject* typed_rows(PreparedRead& read, std::optional<std::uint64_t> threads, bool* not_utf8) {
    if (read.table->row_count() == 0 && read.rest == nullptr) return PyList_New(0);
    if (threads && *threads != 0) request_pool_size(*threads);
    TypedDicts dicts;
    if (!dicts.start(read.plan.keys)) return nullptr;
    // Dicts of plain values cannot form cycles; see CollectorPause.
    CollectorPause paused;
    return build_rows(read, dicts, not_utf8);
}

}  // namespace brelt::py
