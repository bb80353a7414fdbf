// Writer: what brelt.writer returns, the csv module's writer object. Rows of
// any iterable are written under a dialect the Python layer has checked,
// byte for byte as the running interpreter's csv module writes them, through
// the serializer PyWriter uses. A row is built in a buffer and goes to the
// file's write() whole: one call per writerow, whose result it returns, and
// one per buffer of rows for writerows.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "exports.hpp"
#include "field_text.hpp"
#include "output/row.hpp"
#include "support/arguments.hpp"
#include "support/attribute.hpp"
#include "support/errors.hpp"
#include "support/owned_ref.hpp"
#include "support/use_flag.hpp"

namespace brelt::py {

namespace {

// writerows hands its text over each time this much has gathered, so memory
// stays bounded however many rows come.
constexpr std::size_t kHandOverBytes = 262'144;

struct WriterState {
    WriterState(RowFormat format, PyObject* write_method, PyObject* settings)
        : encoder(std::move(format)),
          write(OwnedRef::borrow(write_method)),
          dialect(OwnedRef::borrow(settings)) {}

    RowEncoder encoder;
    OwnedRef write;    // the file's write method, looked up once, as the csv module does
    OwnedRef dialect;  // the checked settings, returned by `dialect`
    std::string buffer;
    std::string text_scratch;  // a field's text when it is not an ASCII str's own
    UseFlag use;
};

struct WriterObject {
    PyObject_HEAD WriterState state;
};

WriterState& state_of(PyObject* self) {
    return reinterpret_cast<WriterObject*>(self)->state;
}

// True for no problem; otherwise raises the csv module's Error for it.
bool accepted(RowProblem problem) {
    if (problem == RowProblem::None) return true;
    raise(row_problem_error(problem));
    return false;
}

// Whether the dialect's mode quotes `value` from the start, judged by its
// type as the csv module does (before str() is called on it).
bool quoted_by_type(PyObject* value, QuotingMode quoting) {
    switch (quoting) {
        case QuotingMode::QuoteAll:
            return true;
        case QuotingMode::QuoteNonNumeric:
            return !PyNumber_Check(value);
        case QuotingMode::QuoteStrings:
            return PyUnicode_Check(value);
        case QuotingMode::QuoteNotNull:
            return value != Py_None;
        default:
            return false;
    }
}

// One row's fields, appended to the writer's buffer as they come.
class RowBuilder {
  public:
    explicit RowBuilder(WriterState& state) : state_(state), row_start_(state.buffer.size()) {}

    // Converts and appends one value; false with the exception set.
    bool add(PyObject* value) {
        const bool is_null = value == Py_None;
        const bool quoted = quoted_by_type(value, state_.encoder.format().quoting);
        std::string_view text;
        OwnedRef owner;  // holds a str() result until its text is appended
        if (!is_null) {
            auto converted = dialect_field_text(value, owner, state_.text_scratch);
            if (!converted) return false;
            text = *converted;
        }
        last_is_null_ = is_null;
        return accepted(
            state_.encoder.append_field(state_.buffer, fields_++, text, quoted, is_null));
    }

    // Ends the row; false with the exception set.
    bool finish() {
        return accepted(state_.encoder.end_row(state_.buffer, row_start_, fields_, last_is_null_));
    }

  private:
    WriterState& state_;
    std::size_t row_start_;
    std::size_t fields_ = 0;
    bool last_is_null_ = false;
};

// Appends one row to the buffer; false with the exception set, the buffer
// then holding part of the row for the caller to drop.
bool append_row(WriterState& state, PyObject* row) {
    RowBuilder builder(state);
    if (PyList_CheckExact(row)) {
        // As a list iterator does: the length is read at every step, since a
        // str() may change the list. Our own reference to each value, which
        // that str() may remove from it.
        for (Py_ssize_t index = 0; index < PyList_GET_SIZE(row); ++index) {
            OwnedRef value = OwnedRef::borrow(PyList_GET_ITEM(row, index));
            if (!builder.add(value.get())) return false;
        }
    } else if (PyTuple_CheckExact(row)) {
        for (Py_ssize_t index = 0; index < PyTuple_GET_SIZE(row); ++index) {
            if (!builder.add(PyTuple_GET_ITEM(row, index))) return false;
        }
    } else {
        OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(row));
        if (!iterator) {
            // The csv module's words for a row that cannot be iterated.
            if (PyErr_ExceptionMatches(PyExc_TypeError)) {
                PyErr_Clear();
                std::string type_name(Py_TYPE(row)->tp_name);
                raise(Error(ErrorKind::Csv, "iterable expected, not " + type_name.substr(0, 200)));
            }
            return false;
        }
        while (OwnedRef value = OwnedRef::steal(PyIter_Next(iterator.get()))) {
            if (!builder.add(value.get())) return false;
        }
        if (PyErr_Occurred()) return false;
    }
    return builder.finish();
}

// Hands the buffer to write() and empties it; write()'s result, or nullptr
// with its exception set. The text is lost either way, as in the csv module.
OwnedRef hand_over(WriterState& state) {
    // The bytes are UTF-8 but for lone surrogates, passed through from the
    // values as their three bytes.
    OwnedRef text = OwnedRef::steal(PyUnicode_DecodeUTF8(
        state.buffer.data(), static_cast<Py_ssize_t>(state.buffer.size()), "surrogatepass"));
    state.buffer.clear();
    if (!text) return OwnedRef();
    if (!state.write) {
        // Only after the cycle collector cleared an unreachable writer.
        raise(Error(ErrorKind::Internal, "internal error: writer has no file object"));
        return OwnedRef();
    }
    // Our own reference: write() may drop the writer's last one.
    OwnedRef write = OwnedRef::borrow(state.write.get());
    return OwnedRef::steal(PyObject_CallOneArg(write.get(), text.get()));
}

PyObject* writerow(PyObject* self, PyObject* row) {
    return guarded([&]() -> PyObject* {
        WriterState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        state.buffer.clear();  // whatever a failed call left
        if (!append_row(state, row)) {
            state.buffer.clear();
            return nullptr;
        }
        return hand_over(state).release();
    });
}

// The rows already complete go to the file before the pending exception is
// raised again, as the csv module writes each row before taking the next; a
// failing write() replaces that exception.
PyObject* hand_over_and_fail(WriterState& state) {
    if (state.buffer.empty()) return nullptr;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    OwnedRef written = hand_over(state);
    if (!written) {
        Py_XDECREF(type);
        Py_XDECREF(value);
        Py_XDECREF(traceback);
        return nullptr;
    }
    PyErr_Restore(type, value, traceback);
    return nullptr;
}

PyObject* writerows(PyObject* self, PyObject* rows) {
    return guarded([&]() -> PyObject* {
        WriterState& state = state_of(self);
        ExclusiveUse use(state.use);
        if (!use.acquired()) return nullptr;
        state.buffer.clear();
        OwnedRef iterator = OwnedRef::steal(PyObject_GetIter(rows));
        if (!iterator) return nullptr;
        while (OwnedRef row = OwnedRef::steal(PyIter_Next(iterator.get()))) {
            const std::size_t row_start = state.buffer.size();
            if (!append_row(state, row.get())) {
                state.buffer.resize(row_start);
                return hand_over_and_fail(state);
            }
            if (state.buffer.size() >= kHandOverBytes && !hand_over(state)) return nullptr;
        }
        if (PyErr_Occurred()) return hand_over_and_fail(state);
        if (!state.buffer.empty() && !hand_over(state)) return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject* get_dialect(PyObject* self, void*) {
    PyObject* dialect = state_of(self).dialect.get();
    return Py_NewRef(dialect != nullptr ? dialect : Py_None);  // None once cleared by the collector
}

// The settings read from a dialect, and their attribute names.
enum class Setting {
    Delimiter,
    Quotechar,
    Escapechar,
    Lineterminator,
    Doublequote,
    Skipinitialspace,
    Quoting,
    Count
};
constexpr const char* kSettingNames[] = {"delimiter",      "quotechar",   "escapechar",
                                         "lineterminator", "doublequote", "skipinitialspace",
                                         "quoting"};

// The dialect's attribute for `setting`.
OwnedRef setting_value(PyObject* dialect, Setting setting) {
    return attribute(dialect, kSettingNames[static_cast<std::size_t>(setting)]);
}

// A text setting as UTF-8 (lone surrogates passed); "" for None where
// `none` is allowed. nullopt with TypeError for anything else.
std::optional<std::string> text_setting(PyObject* dialect, Setting setting, bool none) {
    OwnedRef value = setting_value(dialect, setting);
    if (!value) return std::nullopt;
    if (none && value.get() == Py_None) return std::string();
    if (!PyUnicode_Check(value.get())) {
        PyErr_Format(PyExc_TypeError, "dialect.%s must be a str, not %.200s",
                     kSettingNames[static_cast<std::size_t>(setting)],
                     Py_TYPE(value.get())->tp_name);
        return std::nullopt;
    }
    std::string text;
    utf8_passing_surrogates(value.get(), text);
    return text;
}

std::optional<bool> flag_setting(PyObject* dialect, Setting setting) {
    OwnedRef value = setting_value(dialect, setting);
    if (!value) return std::nullopt;
    const int truth = PyObject_IsTrue(value.get());
    if (truth < 0) return std::nullopt;
    return truth != 0;
}

std::optional<QuotingMode> quoting_setting(PyObject* dialect) {
    OwnedRef value = setting_value(dialect, Setting::Quoting);
    if (!value) return std::nullopt;
    const long quoting = PyLong_AsLong(value.get());
    if (quoting == -1 && PyErr_Occurred()) return std::nullopt;
    if (quoting < 0 || quoting > static_cast<long>(QuotingMode::QuoteNotNull)) {
        PyErr_SetString(PyExc_ValueError, "dialect.quoting must be one of the QUOTE_* values");
        return std::nullopt;
    }
    return static_cast<QuotingMode>(quoting);
}

// The csv module's rules for writing under `dialect` (any object with the
// settings as attributes, already checked by the Python layer).
std::optional<RowFormat> format_of(PyObject* dialect, bool line_breaks_quoted,
                                   bool empty_fields_quoted) {
    RowFormat format;
    auto delimiter = text_setting(dialect, Setting::Delimiter, false);
    if (!delimiter) return std::nullopt;
    auto quotechar = text_setting(dialect, Setting::Quotechar, true);
    if (!quotechar) return std::nullopt;
    auto escapechar = text_setting(dialect, Setting::Escapechar, true);
    if (!escapechar) return std::nullopt;
    auto lineterminator = text_setting(dialect, Setting::Lineterminator, false);
    if (!lineterminator) return std::nullopt;
    auto doublequote = flag_setting(dialect, Setting::Doublequote);
    if (!doublequote) return std::nullopt;
    auto skipinitialspace = flag_setting(dialect, Setting::Skipinitialspace);
    if (!skipinitialspace) return std::nullopt;
    auto quoting = quoting_setting(dialect);
    if (!quoting) return std::nullopt;
    format.delimiter = std::move(*delimiter);
    format.quotechar = std::move(*quotechar);
    format.escapechar = std::move(*escapechar);
    format.lineterminator = std::move(*lineterminator);
    format.doublequote = *doublequote;
    format.quoting = *quoting;
    format.refuse_unwritable = true;
    format.line_breaks_are_special = line_breaks_quoted;
    format.lineterminator_is_special = true;
    format.quote_empty_fields = empty_fields_quoted && *skipinitialspace && format.delimiter == " ";
    return format;
}

PyObject* writer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature signature(
            "Writer", {"write", "dialect", "safe", "line_breaks_quoted", "empty_fields_quoted"}, 2);
        PyObject* bound[5];
        if (!signature.bind_tuple(args, kwargs, bound)) return nullptr;
        bool flags[3] = {false, true, true};  // safe and the rules of the newest csv module
        for (std::size_t index = 2; index < 5; ++index) {
            if (bound[index] == nullptr) continue;
            auto flag = to_bool(Argument{signature, index, bound[index]});
            if (!flag) return nullptr;
            flags[index - 2] = *flag;
        }
        if (!PyCallable_Check(bound[0])) {
            return raise(Error(ErrorKind::Type, "Writer() argument 'write' must be callable"));
        }
        auto format = format_of(bound[1], flags[1], flags[2]);
        if (!format) return nullptr;
        format->safe = flags[0];

        WriterState state(std::move(*format), bound[0], bound[1]);
        PyObject* self = type->tp_alloc(type, 0);
        if (self == nullptr) return nullptr;
        new (&state_of(self)) WriterState(std::move(state));
        return self;
    });
}

int writer_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(state_of(self).write.get());
    Py_VISIT(state_of(self).dialect.get());
    return 0;
}

int writer_clear(PyObject* self) {
    state_of(self).write = OwnedRef();
    state_of(self).dialect = OwnedRef();
    return 0;
}

void writer_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    state_of(self).~WriterState();
    type->tp_free(self);
    Py_DECREF(type);
}

PyMethodDef writer_methods[] = {
    {"writerow", writerow, METH_O,
     "writerow($self, row, /)\n--\n\n"
     "Writes one row, any iterable of values, and returns what the file's write() returned."},
    {"writerows", writerows, METH_O,
     "writerows($self, rows, /)\n--\n\n"
     "Writes every row of an iterable of rows; the text goes to write() in large pieces."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef writer_getset[] = {
    {"dialect", get_dialect, nullptr, "The settings this writer writes with (read-only).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char kWriterDoc[] =
    "Writer(write, dialect, safe=False, line_breaks_quoted=True, empty_fields_quoted=True)\n--\n\n"
    "Made by brelt.writer(): writes rows with the file method `write` under `dialect`, whose\n"
    "settings it takes as checked. The two rules follow the running csv module.";

PyType_Slot writer_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(writer_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(writer_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(writer_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(writer_clear)},
    {Py_tp_methods, writer_methods},
    {Py_tp_getset, writer_getset},
    {Py_tp_doc, const_cast<char*>(kWriterDoc)},
    {0, nullptr},
};

// Not subclassable, no instance dict; the collector sees the file's method
// and the dialect, which may refer back to the writer.
PyType_Spec writer_spec = {
    "brelt._core.Writer",
    sizeof(WriterObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_IMMUTABLETYPE,
    writer_slots,
};

}  // namespace

PyObject* writer_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) type = PyType_FromSpec(&writer_spec);
    return type;
}

}  // namespace brelt::py
