// Reader: the csv-style layer's row reader (what brelt.reader returns). It
// reads its source as rows are asked for, parses the text with the csv
// module's dialect (src/core/dialect/), and returns each record as a list, with
// the csv module's line counts and errors.
//
// The reader holds Python objects (its source, rows built ahead, exceptions
// to raise later), so it takes part in cyclic garbage collection.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "csv_reader.hpp"
#include "csv_reader_state.hpp"
#include "exports.hpp"
#include "input/utf8_encode.hpp"
#include "support/arguments.hpp"
#include "support/attribute.hpp"
#include "support/errors.hpp"
#include "support/use_flag.hpp"

namespace brelt::py {

namespace {

// The csv module reads about 8 KiB a time; blocks of this size keep the
// per-block costs small and the memory held bounded.
constexpr std::size_t kDefaultBlockSize = 128 * 1024;

struct ReaderObject {
    PyObject_HEAD CsvReaderState* state;
    PyObject* dialect;
    UseFlag use;
};

ReaderObject* reader_of(PyObject* self) {
    return reinterpret_cast<ReaderObject*>(self);
}

// One dialect character (a str of one character) as UTF-8, lone surrogates
// included; None is no character.
std::optional<dialect::DialectChar> dialect_char(PyObject* value, const char* name) {
    if (value == Py_None) return dialect::DialectChar{};
    if (!PyUnicode_Check(value) || PyUnicode_GET_LENGTH(value) != 1) {
        PyErr_Format(PyExc_TypeError, "\"%s\" must be a 1-character string", name);
        return std::nullopt;
    }
    GrowableArray<std::uint8_t> utf8;
    const Py_UCS4 code[1] = {PyUnicode_READ_CHAR(value, 0)};
    append_utf8_passing_surrogates(std::span<const std::uint32_t>(code, 1), utf8);
    return dialect::DialectChar::of(
        std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::optional<dialect::DialectChar> dialect_char_attribute(PyObject* dialect, const char* name,
                                                           Py_UCS4* code) {
    OwnedRef value = attribute(dialect, name);
    if (!value) return std::nullopt;
    auto c = dialect_char(value.get(), name);
    if (c && code != nullptr && value.get() != Py_None) *code = PyUnicode_READ_CHAR(value.get(), 0);
    return c;
}

std::optional<bool> flag_attribute(PyObject* dialect, const char* name) {
    OwnedRef value = attribute(dialect, name);
    if (!value) return std::nullopt;
    const int truth = PyObject_IsTrue(value.get());
    if (truth < 0) return std::nullopt;
    return truth == 1;
}

// The settings of `dialect`, an object with the csv module's attributes,
// already checked by brelt/_dialect.py.
bool read_dialect(PyObject* dialect, dialect::DialectOptions& options, RowConversion& conversion,
                  DialectNames& names) {
    auto delimiter = dialect_char_attribute(dialect, "delimiter", &names.delimiter);
    if (!delimiter) return false;
    auto quote = dialect_char_attribute(dialect, "quotechar", &names.quote);
    if (!quote) return false;
    auto escape = dialect_char_attribute(dialect, "escapechar", nullptr);
    if (!escape) return false;
    auto doublequote = flag_attribute(dialect, "doublequote");
    auto skipinitialspace =
        doublequote ? flag_attribute(dialect, "skipinitialspace") : std::nullopt;
    auto strict = skipinitialspace ? flag_attribute(dialect, "strict") : std::nullopt;
    if (!strict) return false;
    OwnedRef quoting_value = attribute(dialect, "quoting");
    const long quoting = quoting_value ? PyLong_AsLong(quoting_value.get()) : -1;
    if (quoting == -1 && PyErr_Occurred()) return false;
    if (quoting < 0 || quoting > 5) {
        PyErr_SetString(PyExc_TypeError, "bad \"quoting\" value");
        return false;
    }
    options.delimiter = *delimiter;
    options.quote = *quote;
    options.escape = *escape;
    options.doublequote = *doublequote;
    options.skipinitialspace = *skipinitialspace;
    options.strict = *strict;
    conversion.quoting = static_cast<Quoting>(quoting);
    options.quotes_are_text = conversion.quoting == Quoting::None;
    // A field that fails to convert ends the reading of its line only.
    options.record_field_lines =
        conversion.quoting == Quoting::NonNumeric || conversion.quoting == Quoting::Strings;
    options.isa = active_isa();
    return true;
}

PyObject* reader_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature signature("Reader",
                                         {"lines", "dialect", "file", "buffer", "block_size"}, 2);
        PyObject* bound[5];
        if (!signature.bind_tuple(args, kwargs, bound)) return nullptr;
        dialect::DialectOptions options;
        RowConversion conversion;
        DialectNames names;
        if (!read_dialect(bound[1], options, conversion, names)) return nullptr;
        std::size_t block_size = kDefaultBlockSize;
        if (bound[4] != nullptr) {
            auto size = to_u64(Argument{signature, 4, bound[4]});
            if (!size) return nullptr;
            block_size = *size == 0 ? 1 : static_cast<std::size_t>(*size);
        }
        const auto given = [](PyObject* value) {
            return OwnedRef::borrow(value == Py_None ? nullptr : value);
        };
        ReaderInput input(OwnedRef::borrow(bound[0]), given(bound[2]), given(bound[3]), block_size);
        auto state = std::make_unique<CsvReaderState>(std::move(input), options, conversion, names);
        PyObject* self = type->tp_alloc(type, 0);
        if (self == nullptr) return nullptr;
        ReaderObject* reader = reader_of(self);
        new (&reader->use) UseFlag();
        reader->state = state.release();
        reader->dialect = Py_NewRef(bound[1]);
        return self;
    });
}

int reader_traverse(PyObject* self, visitproc visit, void* arg) {
    ReaderObject* reader = reader_of(self);
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(reader->dialect);
    if (reader->state != nullptr) return reader->state->traverse(visit, arg);
    return 0;
}

int reader_clear(PyObject* self) {
    ReaderObject* reader = reader_of(self);
    Py_CLEAR(reader->dialect);
    // While a call runs on the state, it stays; the call holds what it uses.
    if (reader->state != nullptr && !reader->use.exclusive) reader->state->clear();
    return 0;
}

void reader_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    ReaderObject* reader = reader_of(self);
    Py_CLEAR(reader->dialect);
    delete reader->state;
    reader->state = nullptr;
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject* reader_next(PyObject* self) {
    return guarded([&]() -> PyObject* {
        ReaderObject* reader = reader_of(self);
        ExclusiveUse use(reader->use);
        if (!use.acquired()) return nullptr;
        return reader->state->next_row();
    });
}

PyObject* get_line_num(PyObject* self, void*) {
    return PyLong_FromUnsignedLongLong(reader_of(self)->state->line_num());
}

PyObject* get_dialect(PyObject* self, void*) {
    PyObject* dialect = reader_of(self)->dialect;
    return Py_NewRef(dialect != nullptr ? dialect : Py_None);
}

PyGetSetDef reader_getset[] = {
    {"line_num", get_line_num, nullptr,
     "The number of source lines read for the rows returned so far.", nullptr},
    {"dialect", get_dialect, nullptr, "The dialect the reader reads with.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char kReaderDoc[] =
    "Reader(lines, dialect, file=None, buffer=None, block_size=131072)\n--\n\n"
    "The rows of a CSV source as lists, read as they are asked for; made by "
    "brelt.reader().";

PyType_Slot reader_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(reader_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(reader_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(reader_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(reader_clear)},
    {Py_tp_iter, reinterpret_cast<void*>(PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(reader_next)},
    {Py_tp_getset, reader_getset},
    {Py_tp_doc, const_cast<char*>(kReaderDoc)},
    {0, nullptr},
};

PyType_Spec reader_spec = {
    "brelt._core.Reader",
    sizeof(ReaderObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_IMMUTABLETYPE,
    reader_slots,
};

}  // namespace

PyObject* csv_reader_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) type = PyType_FromSpec(&reader_spec);
    return type;
}

bool is_csv_reader(PyObject* object) {
    PyObject* type = csv_reader_type();
    return type != nullptr && Py_TYPE(object) == reinterpret_cast<PyTypeObject*>(type);
}

PyObject* csv_reader_next(PyObject* reader) {
    return reader_next(reader);
}

std::uint64_t csv_reader_line_num(PyObject* reader) {
    return reader_of(reader)->state->line_num();
}

}  // namespace brelt::py
