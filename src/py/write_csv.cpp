// write_csv(path, data, ...): a list of dicts to a file (compressed when its
// name ends in .gz, .zst, .bz2 or .xz), the header taken from the first
// dict's keys, every line ended by LF. The lock is held
// throughout but for the file's system calls, which may block (a pipe);
// values' str() may run Python code meanwhile.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exports.hpp"
#include "field_text.hpp"
#include "output/bulk_field.hpp"
#include "output/output_file.hpp"
#include "support/arguments.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "support/owned_ref.hpp"
#include "support/text.hpp"

namespace brelt::py {

namespace {

struct Column {
    OwnedRef key;  // an exact str equal to the name, used for every lookup
    std::string name;
};

// The columns, from the first dict's own storage order (a subclass's keys()
// is not called). A key that is not a str raises TypeError; one that holds a
// lone surrogate, the interpreter's UnicodeEncodeError.
std::optional<std::vector<Column>> read_header(PyObject* first) {
    std::vector<Column> columns;
    PyObject *key, *value;
    Py_ssize_t position = 0;
    while (PyDict_Next(first, &position, &key, &value)) {
        if (!PyUnicode_Check(key)) {
            PyErr_Format(PyExc_TypeError, "'%.200s' object cannot be converted to 'PyString'",
                         Py_TYPE(key)->tp_name);
            return std::nullopt;
        }
        const auto name = str_utf8(key);
        if (!name) return std::nullopt;
        Column column;
        column.name.assign(*name);
        // An exact str hashes and compares without running Python code; a
        // subclass key is replaced by a plain str equal to it.
        column.key = PyUnicode_CheckExact(key)
                         ? OwnedRef::borrow(key)
                         : OwnedRef::steal(PyUnicode_FromStringAndSize(
                               name->data(), static_cast<Py_ssize_t>(name->size())));
        if (!column.key) return std::nullopt;
        columns.push_back(std::move(column));
    }
    return columns;
}

void write_header(OutputFile& file, const std::vector<Column>& columns, char delimiter,
                  BulkFieldEncoder& encoder) {
    for (std::size_t index = 0; index < columns.size(); ++index) {
        if (index != 0) file.push(delimiter);
        // Names are never guarded.
        const std::string_view name = columns[index].name;
        file.append(columns.size() == 1 ? encoder.encode_sole(name, false)
                                        : encoder.encode(name, false));
    }
    file.push('\n');
}

// One dict as a line. The lookup is a plain dict lookup (no __missing__);
// a missing key, a raising lookup or a raising str() gives an empty field.
void write_record(OutputFile& file, PyObject* record, const std::vector<Column>& columns,
                  char delimiter, bool safe, BulkFieldEncoder& encoder, std::string& scratch) {
    for (std::size_t index = 0; index < columns.size(); ++index) {
        if (index != 0) file.push(delimiter);
        PyObject* value = PyDict_GetItemWithError(record, columns[index].key.get());  // borrowed
        if (value == nullptr) PyErr_Clear();
        // Held while str() runs, which may remove it from the dict.
        OwnedRef held = OwnedRef::borrow(value);
        OwnedRef owner;
        const std::string_view text = bulk_field_text(held.get(), owner, scratch);
        file.append(columns.size() == 1 ? encoder.encode_sole(text, safe)
                                        : encoder.encode(text, safe));
    }
    file.push('\n');
}

// Releases the interpreter lock while the file's system calls may block.
class LockReleasedInCalls final : public BlockingCalls {
  public:
    void before() override { released_.emplace(); }
    void after() override { released_.reset(); }

  private:
    std::optional<ReleasedGil> released_;
};

// File errors are OSError; running out of memory (compressing) stays MemoryError.
PyObject* raise_os(Error error) {
    if (error.kind == ErrorKind::Memory) return raise(error);
    return raise(std::move(error).as(ErrorKind::OS));
}

// Every write error surfaces, the final write-out and close included: the call
// never returns normally after output was lost.
PyObject* finish(OutputFile& file) {
    auto written = file.finish();
    if (!written.ok()) return raise_os(std::move(written).error());
    Py_RETURN_NONE;
}

PyObject* write_csv(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("write_csv",
                                         {"path", "data", "delimiter", "safe", "strict"}, 2);
        PyObject* bound[5];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        auto path = to_path(Argument{signature, 0, bound[0]});
        if (!path) return nullptr;
        PyObject* data = to_list(Argument{signature, 1, bound[1]});
        if (data == nullptr) return nullptr;
        std::string delimiter_text = ",";
        if (bound[2] != nullptr) {
            auto text = to_string(Argument{signature, 2, bound[2]});
            if (!text) return nullptr;
            delimiter_text = std::move(*text);
        }
        bool safe = true;
        if (bound[3] != nullptr) {
            auto value = to_bool(Argument{signature, 3, bound[3]});
            if (!value) return nullptr;
            safe = *value;
        }
        if (bound[4] != nullptr) {
            // Accepted and checked; it changes nothing in the output.
            if (!to_bool(Argument{signature, 4, bound[4]})) return nullptr;
        }
        if (delimiter_text.empty()) {
            return raise(Error(ErrorKind::Value, "delimiter must not be empty"));
        }
        const char delimiter = delimiter_text[0];
        // Our own reference: str() of a value may empty the list meanwhile.
        OwnedRef data_ref = OwnedRef::borrow(data);
        LockReleasedInCalls around;

        if (PyList_GET_SIZE(data) == 0) {
            auto file = OutputFile::create(*path, &around);
            if (!file.ok()) return raise_os(std::move(file).error());
            return finish(*file);
        }
        OwnedRef first = OwnedRef::borrow(PyList_GET_ITEM(data, 0));
        if (!PyDict_Check(first.get())) {
            return raise(Error(ErrorKind::Type, "Expected list of dicts"));
        }
        auto columns = read_header(first.get());
        if (!columns) return nullptr;

        auto opened = OutputFile::create(*path, &around);
        if (!opened.ok()) return raise_os(std::move(opened).error());
        OutputFile& file = *opened;
        BulkFieldEncoder encoder(delimiter);
        std::string scratch;
        write_header(file, *columns, delimiter, encoder);

        // Up to the length at the start, and never past the current end:
        // a list that shrinks during the call ends the loop early.
        const Py_ssize_t count = PyList_GET_SIZE(data);
        for (Py_ssize_t index = 0; index < count && index < PyList_GET_SIZE(data); ++index) {
            OwnedRef record = OwnedRef::borrow(PyList_GET_ITEM(data, index));
            if (!PyDict_Check(record.get())) {
                // The header and the complete rows before it stay in the file;
                // should writing them fail, that lost output is the error.
                PyObject* finished = finish(file);
                if (finished == nullptr) return nullptr;
                Py_DECREF(finished);
                return raise(Error(ErrorKind::Type, "Expected dict"));
            }
            write_record(file, record.get(), *columns, delimiter, safe, encoder, scratch);
            if (file.failed()) break;  // finish() reports the error
        }
        return finish(file);
    });
}

}  // namespace

PyMethodDef write_csv_definition = {
    "write_csv",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(write_csv)),
    METH_FASTCALL | METH_KEYWORDS,
    "write_csv(path, data, delimiter=\",\", safe=True, strict=False)\n--\n\n"
    "High-level write: list[dict] -> CSV file",
};

}  // namespace brelt::py
