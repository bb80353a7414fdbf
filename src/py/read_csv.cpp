// read_csv(path, ...): a whole CSV file to a list of dicts with typed values.
// Loading the file, parsing a first piece of it and choosing the types run
// without the interpreter lock; then, while the dicts of one block of rows are
// built (sharing their key objects), the next block is parsed and typed on the
// worker pool.
#include <algorithm>
#include <deque>
#include <new>
#include <vector>

#include "exports.hpp"
#include "parallel/convert_columns.hpp"
#include "parallel/typed_blocks.hpp"
#include "parallel/worker_pool.hpp"
#include "read_schema.hpp"
#include "str_cache.hpp"
#include "support/arguments.hpp"
#include "support/collector_pause.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "support/owned_ref.hpp"
#include "table/prepare_read.hpp"
#include "table_limits.hpp"

namespace brelt::py {

namespace {

// Records are parsed and typed in blocks of about this many cells, so the
// memory beside the result stays small whatever the file size.
constexpr std::size_t kCellsPerBlock = 1 << 18;

enum Parameter {
    kPath,
    kDelimiter,
    kHasHeader,
    kSchema,
    kSkipRows,
    kMaxRows,
    kColumns,
    kNullValues,
    kEncoding,
    kStrict,
    kThreads,
    kParameterCount
};

struct CallOptions {
    ReadRequest request;
    std::optional<std::uint64_t> threads;
};

// Converts the arguments in signature order, then reads the schema.
bool read_arguments(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    CallOptions& options) {
    static const Signature signature(
        "read_csv",
        {"path", "delimiter", "has_header", "schema", "skip_rows", "max_rows", "columns",
         "null_values", "encoding", "strict", "n_threads"},
        1);
    PyObject* bound[kParameterCount];
    if (!signature.bind(args, nargs, kwnames, bound)) return false;
    auto argument = [&](Parameter p) { return Argument{signature, p, bound[p]}; };
    // Plain booleans and counts refuse None; only the optional ones take it.
    auto passed = [&](Parameter p) { return bound[p] != nullptr; };
    ReadRequest& request = options.request;
    request.piece_cells = kCellsPerBlock;
    request.limits = table_limits();

    auto path = to_string(argument(kPath));
    if (!path) return false;
    request.path = std::move(*path);

    auto delimiter = to_optional_string(argument(kDelimiter));
    if (!delimiter) return false;
    if (*delimiter) {
        if ((*delimiter)->empty()) {
            raise(Error(ErrorKind::Value, "delimiter must be a non-empty string"));
            return false;
        }
        request.delimiter = static_cast<std::uint8_t>((**delimiter)[0]);
    }
    if (passed(kHasHeader)) {
        auto has_header = to_bool(argument(kHasHeader));
        if (!has_header) return false;
        request.has_header = *has_header;
    }
    PyObject* schema = nullptr;
    if (argument(kSchema).given()) {
        schema = to_dict(argument(kSchema));
        if (schema == nullptr) return false;
    }
    if (passed(kSkipRows)) {
        auto skip = to_u64(argument(kSkipRows));
        if (!skip) return false;
        request.skip_rows = *skip;
    }
    if (argument(kMaxRows).given()) {
        auto max_rows = to_u64(argument(kMaxRows));
        if (!max_rows) return false;
        request.max_rows = *max_rows;
    }
    if (argument(kColumns).given()) {
        auto columns = to_string_list(argument(kColumns));
        if (!columns) return false;
        request.columns = std::move(*columns);
    }
    if (argument(kNullValues).given()) {
        auto nulls = to_string_list(argument(kNullValues));
        if (!nulls) return false;
        request.nulls = NullValues(std::move(*nulls));
    }
    auto encoding = to_optional_string(argument(kEncoding));
    if (!encoding) return false;
    request.encoding = std::move(*encoding);
    if (passed(kStrict)) {
        auto strict = to_bool(argument(kStrict));
        if (!strict) return false;
        request.strict = *strict;
    }
    if (argument(kThreads).given()) {
        auto threads = to_u64(argument(kThreads));
        if (!threads) return false;
        options.threads = *threads;
    }
    if (schema != nullptr) {
        auto types = read_schema(schema);
        if (!types) return false;
        request.schema = std::move(*types);
    }
    return true;
}

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
// parsed and typed on the pool. Sets `not_utf8`, with no exception, when the
// read's guess that the text is UTF-8 proves wrong.
PyObject* build_rows(PreparedRead& read, const DictShape& shape, bool& not_utf8) {
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
        if (!next.ok()) {
            Error error = std::move(next).error();
            if (is_not_utf8_guess(error)) {
                not_utf8 = true;
                return nullptr;
            }
            if (error.kind != ErrorKind::Memory) error.kind = ErrorKind::Value;
            return raise(error);
        }
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

PyObject* read_csv(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        CallOptions options;
        if (!read_arguments(args, nargs, kwnames, options)) return nullptr;
        // At most twice: a read that guessed its text is UTF-8 and found
        // otherwise starts over, nothing of it having been handed out.
        for (;;) {
            Result<PreparedRead> prepared =
                without_gil([&] { return prepare_read(options.request); });
            if (!prepared.ok()) {
                Error error = std::move(prepared).error();
                if (error.kind != ErrorKind::Memory) error.kind = ErrorKind::Value;
                return raise(error);
            }
            PreparedRead& read = *prepared;
            if (read.table->row_count() == 0) return PyList_New(0);
            if (options.threads && *options.threads != 0) request_pool_size(*options.threads);

            DictShape shape;
            if (!make_shape(read.plan.keys, shape)) return nullptr;
            // Dicts of plain values cannot form cycles; see CollectorPause.
            CollectorPause paused;
            bool not_utf8 = false;
            PyObject* rows = build_rows(read, shape, not_utf8);
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
    "High-level read: path -> list[dict] with type inference.\n"
    "Uses mmap + SIMD CSV parsing + GIL release.",
};

}  // namespace brelt::py
