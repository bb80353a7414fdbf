// Everything a typed read does before Python objects are made: open the file,
// pick the text encoding and the delimiter, parse a first piece, and plan the
// columns (or take all of that from a given plan). Runs without the
// interpreter lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/result.hpp"
#include "table/parse_table.hpp"
#include "table/parsed_table.hpp"
#include "table/read_plan.hpp"
#include "table/text_runs.hpp"

namespace brelt {

struct PreparedRead;
Result<PreparedRead> prepare_read(const ReadRequest& request);

// The records after a read's first piece: the text they are parsed from, read
// on in runs, and the parse that goes on from where the first piece ended.
class RemainingRecords {
  public:
    RemainingRecords(const RemainingRecords&) = delete;
    RemainingRecords& operator=(const RemainingRecords&) = delete;

    // The next up to `max_records` records; an empty table once finished().
    // Errors as prepare_read's, and the file's own (corrupt data, a size that
    // changed) from the piece that reaches them.
    Result<ParseResult> next(std::uint64_t max_records) { return stream_->next(max_records); }
    bool finished() const { return stream_->finished(); }
    // Reads and decodes the text ahead on the pool from now on.
    void read_ahead() { runs_->read_ahead(); }
    // How many of the file's bytes the records parsed so far came from (of a
    // compressed file, compressed bytes), to a run's precision.
    std::uint64_t file_position() const { return runs_->file_position(); }

  private:
    friend Result<PreparedRead> prepare_once(const ReadRequest& request);
    explicit RemainingRecords(std::unique_ptr<TextRuns> runs) : runs_(std::move(runs)) {}
    std::unique_ptr<TextRuns> runs_;  // outlives the stream reading it
    std::unique_ptr<TableStream> stream_;
};

struct PreparedRead {
    // Every record, or with `rest` the first piece of them (the rows that the
    // column types were judged from).
    TableRef table;
    std::unique_ptr<RemainingRecords> rest;
    // The request's plan when it has one, else the one decided from the
    // start of the file.
    ReadPlan plan;
    std::uint64_t file_size = 0;  // when opened; 0 when unknown (a pipe)
};

// Errors keep the failing step's message: file errors, decoding errors,
// corrupt or truncated compressed data, "Unknown encoding: ...", "CSV parse
// error: ..."; ErrorKind::Memory when memory runs out. A guess that the text
// is UTF-8 proven wrong within the first piece starts the read over.
Result<PreparedRead> prepare_read(const ReadRequest& request);

// Whether `error` is a read's guess that the text is UTF-8 proven wrong (see
// ReadRequest::whole_file_utf8): a caller that has handed out nothing of the
// read yet starts it over with whole_file_utf8 = false.
bool is_not_utf8_guess(const Error& error);

// The bytes of a valid UTF-8 text that the delimiter is guessed from when the
// text is parsed in place: at most 4,096, cut back to a character boundary.
std::string_view delimiter_sample(std::string_view text);

}  // namespace brelt
