// Everything a typed read does before Python objects are made: load the file,
// pick the text and the delimiter, parse a first piece, and plan the columns
// (or take all of that from a given plan). Runs without the interpreter lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/result.hpp"
#include "input/load.hpp"
#include "table/parse_table.hpp"
#include "table/parsed_table.hpp"
#include "table/read_plan.hpp"

namespace brelt {

struct PreparedRead;
Result<PreparedRead> prepare_read(const ReadRequest& request);

// The records after a read's first piece: the input they are parsed from,
// kept open, and the parse that goes on from where the first piece ended.
class RemainingRecords {
  public:
    RemainingRecords(InputBytes input, std::string decoded);
    ~RemainingRecords();
    RemainingRecords(const RemainingRecords&) = delete;
    RemainingRecords& operator=(const RemainingRecords&) = delete;

    // The next up to `max_records` records; an empty table once finished().
    // The pages of a mapped file that lie behind them are let go: the tables
    // hold their own copy of the text.
    Result<ParseResult> next(std::uint64_t max_records);
    bool finished() const { return stream_->finished(); }

  private:
    friend Result<PreparedRead> prepare_read(const ReadRequest& request);
    InputBytes input_;
    std::string decoded_;
    std::size_t text_offset_ = 0;  // where the parsed text starts in input_
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
};

// Errors keep the failing step's message: file errors, decoding errors,
// "Unknown encoding: ...", "CSV parse error: ..."; ErrorKind::Memory when
// memory runs out.
Result<PreparedRead> prepare_read(const ReadRequest& request);

// The bytes of a valid UTF-8 text that the delimiter is guessed from when the
// text is parsed in place: at most 4,096, cut back to a character boundary.
std::string_view delimiter_sample(std::string_view text);

}  // namespace brelt
