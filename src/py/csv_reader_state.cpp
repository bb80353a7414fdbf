#include "csv_reader_state.hpp"

#include <algorithm>

#include "field_limit.hpp"
#include "support/gil.hpp"

namespace brelt::py {

namespace {

using dialect::RecordStatus;

// Longer text is parsed with the interpreter lock released.
constexpr std::size_t kParseWithoutLock = 1 << 16;
// Rows are built this many at a time, with the collector paused.
constexpr std::size_t kRowsPerBuild = 16;

}  // namespace

void HeldException::take() {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    type_ = OwnedRef::steal(type);
    value_ = OwnedRef::steal(value);
    traceback_ = OwnedRef::steal(traceback);
}

void HeldException::restore() {
    PyErr_Restore(type_.release(), value_.release(), traceback_.release());
}

int HeldException::traverse(visitproc visit, void* arg) {
    Py_VISIT(type_.get());
    Py_VISIT(value_.get());
    Py_VISIT(traceback_.get());
    return 0;
}

void HeldException::clear() {
    type_ = OwnedRef();
    value_ = OwnedRef();
    traceback_ = OwnedRef();
}

CsvReaderState::CsvReaderState(ReaderInput input, const dialect::DialectOptions& options,
                               const RowConversion& conversion, const DialectNames& names)
    : input_(std::move(input)), options_(options), conversion_(conversion), names_(names) {}

CsvReaderState::~CsvReaderState() {
    release_prepared();
}

void CsvReaderState::release_prepared() {
    for (std::size_t i = prepared_next_; i < prepared_.size(); ++i)
        Py_DECREF(prepared_[i]);
    prepared_.clear();
    prepared_next_ = 0;
}

PyObject* CsvReaderState::next_row() {
    for (;;) {
        // A new field limit applies from the next row on, which is parsed
        // again with it.
        if (field_limit() != parsed_limit_ && !parsed_.records.empty()) {
            const std::size_t next =
                prepared_next_ < prepared_.size() ? prepared_first_ + prepared_next_ : next_record_;
            if (next < parsed_.records.size()) restart_from(next, 0);
        }
        if (prepared_next_ < prepared_.size()) {
            const std::size_t record = prepared_first_ + prepared_next_;
            line_num_ += parsed_.records[record].lines;
            return prepared_[prepared_next_++];
        }
        if (conversion_error_ && next_record_ == conversion_record_) {
            return raise_conversion_failure();
        }
        if (next_record_ < parsed_.records.size()) {
            const dialect::RecordEntry& record = parsed_.records[next_record_];
            if (record.status == RecordStatus::Row) {
                prepare_rows();
                continue;
            }
            if (record.field_count != 0 && !fields_convert(next_record_)) {
                return raise_conversion_failure();
            }
            ++next_record_;
            line_num_ += record.lines;
            if (record.status == RecordStatus::Dropped) continue;
            return raise_failed_record(record);
        }
        if (!refill()) return nullptr;
    }
}

void CsvReaderState::prepare_rows() {
    release_prepared();
    std::size_t end = next_record_;
    const std::size_t limit = std::min(parsed_.records.size(), next_record_ + kRowsPerBuild);
    while (end < limit && parsed_.records[end].status == RecordStatus::Row)
        ++end;
    const BuiltRows built = build_rows(parsed_, text_.bytes.data(), next_record_, end, conversion_,
                                       strings_, prepared_);
    prepared_first_ = next_record_;
    next_record_ = built.stopped_at;
    if (built.stopped_at != end) {
        conversion_error_.take();
        conversion_record_ = built.stopped_at;
        conversion_field_ = built.failed_field;
    }
}

// The fields a failed record saved before it failed are converted, and
// dropped, as the csv module converts them before it reaches the failure.
bool CsvReaderState::fields_convert(std::size_t record) {
    std::vector<PyObject*> built;
    const BuiltRows result =
        build_rows(parsed_, text_.bytes.data(), record, record + 1, conversion_, strings_, built);
    for (PyObject* row : built)
        Py_DECREF(row);
    if (result.stopped_at == record + 1) return true;
    conversion_error_.take();
    conversion_record_ = record;
    conversion_field_ = result.failed_field;
    return false;
}

PyObject* CsvReaderState::raise_failed_record(const dialect::RecordEntry& record) {
    OwnedRef message;
    switch (record.status) {
        case RecordStatus::FieldTooLarge:
            message = OwnedRef::steal(PyUnicode_FromFormat("field larger than field limit (%lld)",
                                                           static_cast<long long>(parsed_limit_)));
            break;
        case RecordStatus::QuoteNotFollowed:
            message = OwnedRef::steal(PyUnicode_FromFormat("'%c' expected after '%c'",
                                                           static_cast<int>(names_.delimiter),
                                                           static_cast<int>(names_.quote)));
            break;
        case RecordStatus::UnexpectedEnd:
            message = OwnedRef::steal(PyUnicode_FromString("unexpected end of data"));
            break;
        default:
            message = OwnedRef::steal(PyUnicode_FromString(
#if PY_VERSION_HEX < 0x030C0000
                "new-line character seen in unquoted field - "
                "do you need to open the file in universal-newline mode?"
#else
                "new-line character seen in unquoted field - "
                "do you need to open the file with newline=''?"
#endif
                ));
            break;
    }
    if (message) raise_csv_error(message.get());
    return nullptr;
}

// The csv module converts a field as it ends, and on failure gives up the
// rest of that line: the record's later lines, if any, are read anew.
PyObject* CsvReaderState::raise_conversion_failure() {
    const std::size_t record = conversion_record_;
    const dialect::RecordEntry& entry = parsed_.records[record];
    const std::uint64_t line = parsed_.field_lines[entry.first_field + conversion_field_];
    const std::uint64_t lines_in = std::min<std::uint64_t>(line + 1, entry.lines);
    line_num_ += lines_in;
    conversion_error_.restore();
    if (lines_in == entry.lines) {
        next_record_ = record + 1;
    } else {
        restart_from(record, lines_in);
    }
    return nullptr;
}

void CsvReaderState::restart_from(std::size_t record, std::uint64_t lines_in) {
    std::size_t offset;
    std::size_t lines = 0;
    if (text_.explicit_lines) {
        for (std::size_t r = 0; r < record; ++r)
            lines += parsed_.records[r].lines;
        lines += lines_in;
        offset = lines == 0 ? 0 : text_.line_ends[lines - 1];
    } else {
        offset = dialect::skip_lines(text_.bytes.data(), text_.checked,
                                     parsed_.records[record].input_start, lines_in);
    }
    release_prepared();
    conversion_error_.clear();
    parsed_.clear();
    next_record_ = 0;
    text_.drop_front(offset, lines);
    progress_ = {};
    reparse_ = true;
}

std::uint64_t CsvReaderState::lines_held() const {
    if (text_.explicit_lines) return text_.line_ends.size();
    std::uint64_t lines = 0;
    std::size_t at = 0;
    const std::size_t size = text_.bytes.size();
    while (at < size) {
        at = dialect::skip_lines(text_.bytes.data(), size, at, 1);
        ++lines;
    }
    return lines;
}

bool CsvReaderState::refill() {
    // Everything parsed has been handed out.
    text_.drop_front(progress_.consumed, progress_.lines_consumed);
    parsed_.clear();
    next_record_ = 0;
    progress_ = {};
    if (source_error_) {
        // As the csv module drops the record it was reading when its source
        // raised; the lines it read count.
        line_num_ += lines_held();
        text_.clear();
        reparse_ = false;
        source_error_.restore();
        return false;
    }
    if (reparse_) {
        reparse_ = false;
        parse(false);
        if (!parsed_.records.empty()) return true;
    }
    for (;;) {
        // At least what is held: an unfinished record of many blocks is read
        // again a logarithmic number of times, not once per block.
        const Pulled pulled = input_.pull(text_, text_.bytes.size());
        if (pulled == Pulled::Failed) {
            source_error_.take();
            parse(false);
            if (!parsed_.records.empty()) return true;
            return refill();
        }
        const bool end = pulled == Pulled::End;
        parse(end);
        if (input_.reading_first_record() && !parsed_.records.empty() &&
            progress_.consumed == text_.bytes.size() && !input_.first_record_read()) {
            return false;
        }
        if (!parsed_.records.empty()) return true;
        if (end) return false;
    }
}

void CsvReaderState::parse(bool final) {
    dialect::ParseInput input;
    input.data = text_.bytes.data();
    input.size = text_.checked;
    input.explicit_lines = text_.explicit_lines;
    input.line_ends = text_.line_ends.data();
    input.line_count = text_.line_ends.size();
    input.final = final && text_.checked == text_.bytes.size();
    options_.field_limit = field_limit();
    parsed_limit_ = options_.field_limit;
    conversion_.surrogates = text_.surrogates;
    const auto run = [&] { return dialect::parse_records(input, options_, parsed_); };
    progress_ = input.size >= kParseWithoutLock ? without_gil(run) : run();
}

int CsvReaderState::traverse(visitproc visit, void* arg) {
    for (std::size_t i = prepared_next_; i < prepared_.size(); ++i)
        Py_VISIT(prepared_[i]);
    if (int failed = conversion_error_.traverse(visit, arg)) return failed;
    if (int failed = source_error_.traverse(visit, arg)) return failed;
    return input_.traverse(visit, arg);
}

void CsvReaderState::clear() {
    release_prepared();
    conversion_error_.clear();
    source_error_.clear();
    input_.clear();
}

}  // namespace brelt::py
