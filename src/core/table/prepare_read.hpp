// Everything a typed read does before Python objects are made: load the file,
// pick the text and the delimiter, parse, and decide each output column's
// source and type. Runs without the interpreter lock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/result.hpp"
#include "input/load.hpp"
#include "table/parse_table.hpp"
#include "table/parsed_table.hpp"
#include "types/column_plan.hpp"
#include "types/null_values.hpp"

namespace brelt {

struct ReadRequest {
    std::string path;
    std::optional<std::uint8_t> delimiter;  // detected when absent
    bool has_header = true;
    // When given (even empty), names it lacks are Str and nothing is inferred.
    std::optional<std::unordered_map<std::string, ColumnType>> schema;
    std::uint64_t skip_rows = 0;
    std::optional<std::uint64_t> max_rows;
    std::optional<std::vector<std::string>> columns;
    NullValues nulls = NullValues::defaults();
    std::optional<std::string> encoding;
    bool strict = false;
    // When not 0, only a first piece of about this many cells (and at least
    // the rows inference looks at) is parsed here; the rest is left to
    // PreparedRead::rest. Without a header every record is parsed at once:
    // the names depend on the widest one.
    std::size_t piece_cells = 0;
    TableLimits limits;  // tests lower them
};

struct PreparedRead;
Result<PreparedRead> prepare_read(const ReadRequest& request);

// The records after a read's first piece: the input they are parsed from,
// kept open, and the parse that goes on from where the first piece ended.
class RemainingRecords {
  public:
    RemainingRecords(InputBytes input, std::string decoded);
    ~RemainingRecords();
    // Opens the parse of `decoded`, or with `in_place` of input's bytes from
    // `text_start` on; both are kept for as long as the records are read.
    static Result<std::unique_ptr<RemainingRecords>> open(InputBytes input, std::string decoded,
                                                          bool in_place, std::size_t text_start,
                                                          const TableOptions& options,
                                                          const TableLimits& limits);
    RemainingRecords(const RemainingRecords&) = delete;
    RemainingRecords& operator=(const RemainingRecords&) = delete;

    // The next up to `max_records` records; an empty table once finished().
    // The pages of a mapped file that lie behind them are let go: the tables
    // hold their own copy of the text.
    Result<ParseResult> next(std::uint64_t max_records);
    bool finished() const { return stream_->finished(); }
    const TableStream& stream() const { return *stream_; }

  private:
    InputBytes input_;
    std::string decoded_;
    std::size_t text_offset_ = 0;  // where the parsed text starts in input_
    std::unique_ptr<TableStream> stream_;
};

// Without a header row the columns are called column_1 ... column_N, N being
// the widest record's field count.
inline constexpr std::string_view kGeneratedNamePrefix = "column_";

struct PreparedRead {
    // Every record, or with `rest` the first piece of them (the rows that the
    // column types were judged from).
    TableRef table;
    std::unique_ptr<RemainingRecords> rest;
    // One per distinct column name, in the order names first appear; the plan
    // reads the last column of that name, whose value a dict would keep.
    std::vector<std::string> keys;
    std::vector<ColumnPlan> columns;
    char delimiter = ',';  // the one used
};

// Errors keep the failing step's message: file errors, decoding errors,
// "Unknown encoding: ...", "CSV parse error: ..."; ErrorKind::Memory when
// memory runs out.
Result<PreparedRead> prepare_read(const ReadRequest& request);

// How the request's records are parsed with `delimiter`.
TableOptions table_options(const ReadRequest& request, char delimiter);

// Chooses read.keys and read.columns from read.table, the read's first
// records. Without a header the names come from `widest`, the widest
// record's field count in the whole input, or from read.table's own when it
// holds the whole input (nullopt).
void plan_columns(PreparedRead& read, const ReadRequest& request,
                  std::optional<std::size_t> widest = std::nullopt);

// The bytes of a valid UTF-8 text that the delimiter is guessed from when the
// text is parsed in place: at most 4,096, cut back to a character boundary.
std::string_view delimiter_sample(std::string_view text);

}  // namespace brelt
