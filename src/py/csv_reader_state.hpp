// What a csv-style reader (brelt._core.Reader) holds between rows: the text
// read and not yet handed out as rows, the records parsed from it, the rows
// built ahead, and what to raise when the reader gets to it. Rows come out
// in the order, with the line counts and the errors, of the csv module's
// reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dialect/dialect_options.hpp"
#include "dialect/parsed_records.hpp"
#include "dialect/record_parser.hpp"
#include "reader_input.hpp"
#include "reader_rows.hpp"
#include "support/owned_ref.hpp"
#include "support/python.hpp"

namespace brelt::py {

// An exception taken out of the interpreter, to be raised later.
class HeldException {
  public:
    void take();     // the one set now
    void restore();  // sets it again; the holder is empty afterwards
    explicit operator bool() const { return static_cast<bool>(type_); }
    int traverse(visitproc visit, void* arg);
    void clear();

  private:
    OwnedRef type_, value_, traceback_;
};

// The dialect characters as the error messages name them.
struct DialectNames {
    Py_UCS4 delimiter = ',';
    Py_UCS4 quote = '"';
};

class CsvReaderState {
  public:
    CsvReaderState(ReaderInput input, const dialect::DialectOptions& options,
                   const RowConversion& conversion, const DialectNames& names);
    ~CsvReaderState();

    // The next row (a new reference); nullptr with an exception set, or
    // without one at the end of the input.
    PyObject* next_row();

    std::uint64_t line_num() const { return line_num_; }

    int traverse(visitproc visit, void* arg);
    void clear();

  private:
    bool refill();
    void parse(bool final);
    void prepare_rows();
    bool fields_convert(std::size_t record);
    PyObject* raise_failed_record(const dialect::RecordEntry& record);
    PyObject* raise_conversion_failure();
    // Forgets what was parsed and built from record `record` on and starts
    // again from the line `lines_in` lines into it, as the csv module goes
    // on after a record it gave up.
    void restart_from(std::size_t record, std::uint64_t lines_in);
    void release_prepared();
    std::uint64_t lines_held() const;

    ReaderInput input_;
    InputText text_;
    dialect::DialectOptions options_;
    RowConversion conversion_;
    DialectNames names_;

    dialect::ParsedRecords parsed_;
    dialect::ParseProgress progress_;
    std::int64_t parsed_limit_ = 0;  // the field limit parsed_ was read with
    bool reparse_ = false;           // text_ holds records not parsed yet
    std::size_t next_record_ = 0;    // the first record not built or raised yet

    ColumnStrings strings_;
    // Rows built ahead: prepared_[i] is record prepared_first_ + i.
    std::vector<PyObject*> prepared_;
    std::size_t prepared_next_ = 0;
    std::size_t prepared_first_ = 0;

    // A field that failed to convert, raised when its record's turn comes.
    HeldException conversion_error_;
    std::size_t conversion_record_ = 0;
    std::size_t conversion_field_ = 0;
    // What the source raised, once the rows read before it are out.
    HeldException source_error_;

    std::uint64_t line_num_ = 0;
};

}  // namespace brelt::py
