// PyWriter: CSV rows to a Python file object in text mode. Each writerow and
// writerows call ends in at most one file_obj.write(str) call.
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "exports.hpp"
#include "field_text.hpp"
#include "output/row.hpp"
#include "support/arguments.hpp"
#include "support/errors.hpp"
#include "support/gil.hpp"
#include "support/owned_ref.hpp"
#include "support/use_flag.hpp"

namespace brelt::py {

namespace {

constexpr std::size_t kWriterBufferCapacity = 262'144;

struct WriterState {
    explicit WriterState(RowFormat format) : encoder(std::move(format)) {}

    RowEncoder encoder;
    // Output not yet handed to file_obj; it holds bytes only after a failed
    // hand-over, and those go out with the next writerow or __del__.
    std::string buffer;
    OwnedRef file_obj;
    UseFlag use;
};

struct PyWriterObject {
    PyObject_HEAD WriterState state;
};

WriterState& state_of(PyObject* self) {
    return reinterpret_cast<PyWriterObject*>(self)->state;
}

// Decodes `bytes` (UTF-8) into a str and passes it to file_obj.write, whose
// result is dropped unexamined. Pending bytes are invalid UTF-8 only when a
// non-ASCII delimiter or quote character was cut to its first byte.
bool hand_over(PyObject* file_obj, std::string_view bytes) {
    OwnedRef text = OwnedRef::steal(
        PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "strict"));
    if (!text) {
        PyErr_Clear();
        raise(Error(ErrorKind::Memory, "alloc"));
        return false;
    }
    if (file_obj == nullptr) {
        // Only after the cycle collector cleared an unreachable writer.
        raise(Error(ErrorKind::Internal, "internal error: writer has no file object"));
        return false;
    }
    static PyObject* const write_name = PyUnicode_InternFromString("write");
    if (write_name == nullptr) return false;
    // Our own reference: write() may drop the writer's last one.
    OwnedRef target = OwnedRef::borrow(file_obj);
    OwnedRef result =
        OwnedRef::steal(PyObject_CallMethodOneArg(target.get(), write_name, text.get()));
    return static_cast<bool>(result);
}

bool flush_buffer(WriterState& state) {
    if (state.buffer.empty()) return true;
    if (!hand_over(state.file_obj.get(), state.buffer)) return false;
    state.buffer.clear();  // keeps the capacity
    return true;
}

// A row's field count: a list's size, else its length.
Py_ssize_t field_count(PyObject* row) {
    return PyList_Check(row) ? PyList_GET_SIZE(row) : PyObject_Length(row);
}

// Field `index` of `row`, or nullptr with the exception set. For a list, the
// item straight from its storage; nullptr without an exception when the list
// has shrunk below `index` meanwhile (a str() that mutates it), which ends
// the row there.
OwnedRef field_at(PyObject* row, Py_ssize_t index) {
    if (PyList_Check(row)) {
        if (index >= PyList_GET_SIZE(row)) return OwnedRef();
        return OwnedRef::borrow(PyList_GET_ITEM(row, index));
    }
    return OwnedRef::steal(PySequence_GetItem(row, index));
}

// Truncates the writer's buffer back to where the failing call began, so no
// part of a row that failed is ever handed over.
class BufferRollback {
  public:
    explicit BufferRollback(std::string& buffer) : buffer_(buffer), mark_(buffer.size()) {}
    BufferRollback(const BufferRollback&) = delete;
    BufferRollback& operator=(const BufferRollback&) = delete;
    ~BufferRollback() {
        if (!committed_) buffer_.resize(mark_);
    }
    void commit() { committed_ = true; }

  private:
    std::string& buffer_;
    std::size_t mark_;
    bool committed_ = false;
};

// Converts the fields of `row` in order and passes each to `take(index,
// text, owner)`, `owner` holding the str the text lives in. False with the
// exception set when a field cannot be had or converted.
template <class Take>
bool convert_fields(PyObject* row, Take&& take) {
    const Py_ssize_t count = field_count(row);
    if (count < 0) return false;
    for (Py_ssize_t index = 0; index < count; ++index) {
        OwnedRef item = field_at(row, index);
        if (!item) {
            if (PyErr_Occurred()) return false;
            break;
        }
        OwnedRef owner;
        auto text = writer_field_text(item.get(), owner);
        if (!text) return false;
        take(static_cast<std::size_t>(index), *text, std::move(owner));
    }
    return true;
}

bool append_row(WriterState& state, PyObject* row) {
    const std::size_t row_start = state.buffer.size();
    std::size_t fields = 0;
    // The owner goes as soon as its field has been appended.
    const bool converted =
        convert_fields(row, [&](std::size_t index, std::string_view text, OwnedRef) {
            (void)state.encoder.append_field(state.buffer, index, text, false);
            ++fields;
        });
    if (!converted) return false;
    (void)state.encoder.end_row(state.buffer, row_start, fields);
    return true;
}

// The field texts of a writerows call, gathered with the lock held. Each text
// points into a str held in `owners`, so it stays valid while other threads
// run during serialization, whatever they do to the rows.
struct FieldBatch {
    std::vector<std::string_view> texts;
    std::vector<std::size_t> row_sizes;
    std::vector<OwnedRef> owners;
};

bool gather_row(FieldBatch& batch, PyObject* row) {
    std::size_t gathered = 0;
    const bool converted =
        convert_fields(row, [&](std::size_t, std::string_view text, OwnedRef owner) {
            batch.texts.push_back(text);
            batch.owners.push_back(std::move(owner));
            ++gathered;
        });
    if (!converted) return false;
    batch.row_sizes.push_back(gathered);
    return true;
}

// Runs without the interpreter lock: touches only the batch's texts and the
// encoder, which the caller's exclusive use keeps to this call.
std::string serialize_batch(const FieldBatch& batch, RowEncoder& encoder) {
    std::string out;
    out.reserve(12 * batch.texts.size());
    std::size_t first = 0;
    for (std::size_t size : batch.row_sizes) {
        serialize_row(out, std::span(batch.texts).subspan(first, size), encoder);
        first += size;
    }
    return out;
}

PyObject* writerow(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("writerow", {"row"}, 1);
        PyObject* bound[1];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        WriterState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;

        BufferRollback rollback(state.buffer);
        if (!append_row(state, bound[0])) return nullptr;
        rollback.commit();
        // A failed hand-over keeps the row pending for the next call.
        if (!flush_buffer(state)) return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject* writerows(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("writerows", {"rows"}, 1);
        PyObject* bound[1];
        if (!signature.bind(args, nargs, kwnames, bound)) return nullptr;
        WriterState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        PyObject* rows = bound[0];
        if (!PyList_Check(rows)) return raise(Error(ErrorKind::Type, "Expected list"));

        const Py_ssize_t row_count = PyList_GET_SIZE(rows);
        FieldBatch batch;
        batch.texts.reserve(10 * static_cast<std::size_t>(row_count));
        batch.owners.reserve(10 * static_cast<std::size_t>(row_count));
        batch.row_sizes.reserve(static_cast<std::size_t>(row_count));
        // Rows are taken by index up to the length read at the start, and
        // never past the current end.
        for (Py_ssize_t index = 0; index < row_count && index < PyList_GET_SIZE(rows); ++index) {
            // Our own reference: a str() may remove the row from the list.
            OwnedRef row = OwnedRef::borrow(PyList_GET_ITEM(rows, index));
            if (!gather_row(batch, row.get())) return nullptr;
        }
        // A row of no fields is still a line; only no rows at all (or an
        // empty line terminator) leave nothing to write.
        if (batch.row_sizes.empty()) Py_RETURN_NONE;
        const std::string out = without_gil([&] { return serialize_batch(batch, state.encoder); });
        if (out.empty()) Py_RETURN_NONE;
        if (!hand_over(state.file_obj.get(), out)) return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject* writer_del(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        WriterState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        if (!flush_buffer(state)) return nullptr;
        Py_RETURN_NONE;
    });
}

// First byte of a one-character setting; the empty string gives `fallback`.
std::optional<char> dialect_byte(const Argument& argument, char fallback) {
    if (argument.object == nullptr) return fallback;
    auto text = to_string(argument);
    if (!text) return std::nullopt;
    return text->empty() ? fallback : (*text)[0];
}

std::optional<std::uint32_t> to_quoting(const Argument& argument) {
    if (argument.object == nullptr) return 0;
    auto value = to_long(argument);
    if (!value) return std::nullopt;
    if (*value < 0 || *value > static_cast<long>(std::numeric_limits<std::uint32_t>::max())) {
        raise(Error(ErrorKind::Overflow, "out of range integral type conversion attempted"));
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

// Converts in signature order; the first failure is raised. PyWriter's own
// rules: the first byte of each character setting, any unknown quoting mode
// taken as QUOTE_MINIMAL, QUOTE_NONNUMERIC judged by the text, and what a mode
// cannot protect written as it stands.
std::optional<RowFormat> read_format(const Signature& signature, PyObject* const* bound) {
    RowFormat format;
    format.quote_by_text = true;
    auto delimiter = dialect_byte(Argument{signature, 1, bound[1]}, ',');
    if (!delimiter) return std::nullopt;
    auto quotechar = dialect_byte(Argument{signature, 2, bound[2]}, '"');
    if (!quotechar) return std::nullopt;
    auto quoting = to_quoting(Argument{signature, 3, bound[3]});
    if (!quoting) return std::nullopt;
    if (bound[4] != nullptr) {
        auto lineterminator = to_string(Argument{signature, 4, bound[4]});
        if (!lineterminator) return std::nullopt;
        format.lineterminator = std::move(*lineterminator);
    }
    if (bound[5] != nullptr) {
        auto safe = to_bool(Argument{signature, 5, bound[5]});
        if (!safe) return std::nullopt;
        format.safe = *safe;
    }
    format.delimiter.assign(1, *delimiter);
    format.quotechar.assign(1, *quotechar);
    format.quoting = *quoting <= static_cast<std::uint32_t>(QuotingMode::QuoteNone)
                         ? static_cast<QuotingMode>(*quoting)
                         : QuotingMode::QuoteMinimal;
    return format;
}

PyObject* writer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature signature(
            "PyWriter", {"file_obj", "delimiter", "quotechar", "quoting", "lineterminator", "safe"},
            1);
        PyObject* bound[6];
        if (!signature.bind_tuple(args, kwargs, bound)) return nullptr;
        auto format = read_format(signature, bound);
        if (!format) return nullptr;

        WriterState state(std::move(*format));
        state.buffer.reserve(kWriterBufferCapacity);
        state.file_obj = OwnedRef::borrow(bound[0]);

        PyObject* self = type->tp_alloc(type, 0);
        if (self == nullptr) return nullptr;
        new (&state_of(self)) WriterState(std::move(state));
        return self;
    });
}

int writer_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(state_of(self).file_obj.get());
    return 0;
}

int writer_clear(PyObject* self) {
    state_of(self).file_obj = OwnedRef();
    return 0;
}

// Releases file_obj and frees the buffer; pending output is not written.
void writer_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    state_of(self).~WriterState();
    type->tp_free(self);
    Py_DECREF(type);
}

template <class Method>
PyCFunction as_cfunction(Method method) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(method));
}

PyMethodDef writer_methods[] = {
    {"writerow", as_cfunction(writerow), METH_FASTCALL | METH_KEYWORDS,
     "writerow($self, row)\n--\n\nWrite a single row — flush immediately for stdlib compat."},
    {"writerows", as_cfunction(writerows), METH_FASTCALL | METH_KEYWORDS,
     "writerows($self, rows)\n--\n\nWrite multiple rows — raw FFI extraction, GIL-released "
     "serialization, single write."},
    // An ordinary method: the type has no finalizer, and destroying a writer
    // does not call it.
    {"__del__", as_cfunction(writer_del), METH_NOARGS, "__del__($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char kWriterDoc[] =
    R"(PyWriter(file_obj, delimiter=",", quotechar="\"", quoting=0, lineterminator="\r\n", safe=False))"
    "\n--\n\n";

PyType_Slot writer_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(writer_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(writer_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(writer_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(writer_clear)},
    {Py_tp_methods, writer_methods},
    {Py_tp_doc, const_cast<char*>(kWriterDoc)},
    {0, nullptr},
};

// Not subclassable, no instance dict or weak references; the collector sees
// the file object, which may refer back to the writer.
PyType_Spec writer_spec = {
    "builtins.PyWriter",
    sizeof(PyWriterObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_IMMUTABLETYPE,
    writer_slots,
};

}  // namespace

PyObject* py_writer_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) type = PyType_FromSpec(&writer_spec);
    return type;
}

}  // namespace brelt::py
