// What a typed read is asked for, and what it fixes before it types any
// record: how the bytes become text, the delimiter, and each output column's
// key, source and type. The plan is decided once, from the start of the file,
// or handed in; every later piece of the read (a block of read_csv, a batch
// of iter_csv, a partition of a file) is read under the same plan, so the
// pieces together read as the whole file would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "input/file_range.hpp"
#include "input/text_encoding.hpp"
#include "table/parse_table.hpp"
#include "types/column_plan.hpp"
#include "types/null_values.hpp"

namespace brelt {

struct ReadPlan {
    TextEncoding text;
    char delimiter = ',';
    // One per distinct column name, in the order names first appear; the plan
    // reads the last column of that name, whose value a dict would keep.
    std::vector<std::string> keys;
    std::vector<ColumnPlan> columns;  // one per key
    NullValues nulls = NullValues::defaults();
};

// One part of a file, read on its own (a partition): bytes [start, start +
// size), which begin at a record start. A part after the file's start is
// read mid-file: no byte-order mark, no header line, no skip_rows or
// max_rows; the names, the selection and the strict field count come from
// `mid_file`, as the file's start fixed them.
struct FilePart {
    std::uint64_t start = 0;
    std::uint64_t size = 0;
    FileIdentity identity;  // the file must still have it when read
    TableOptions::MidFileColumns mid_file;
};

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
    // the rows inference looks at) is parsed up front; the rest is left to
    // PreparedRead::rest. Without a header, a plan or widest_record every
    // record is parsed at once: the names depend on the widest one.
    std::size_t piece_cells = 0;
    // When not 0 (piece_cells is then not looked at), the first piece is the
    // smallest multiple of this many rows that holds the rows inference looks
    // at, so that later pieces of this many rows keep to the same multiples.
    std::uint64_t piece_rows = 0;
    // Without a header: the widest record's field count, when a pass over the
    // whole file has found it; the columns are named after it.
    std::optional<std::size_t> widest_record;
    // Whether every byte of the file is valid UTF-8, when known beforehand (a
    // check of the whole file, or a read that found it is not). Looked at only
    // without a label or a UTF-16 mark. Unknown, the read guesses it is and
    // confirms the guess as it goes: see is_not_utf8_guess.
    std::optional<bool> whole_file_utf8;
    // When given, the read decides nothing: the text encoding, the delimiter
    // and the columns are the plan's (`encoding`, `delimiter`, `schema` and
    // `nulls` are then not looked at).
    std::optional<ReadPlan> plan;
    // When given (with a plan), only that part of the file is read.
    std::optional<FilePart> part;
    TableLimits limits;  // tests lower them
};

// Without a header row the columns are called column_1 ... column_N, N being
// the widest record's field count.
inline constexpr std::string_view kGeneratedNamePrefix = "column_";

// Sets the plan's keys and columns for a read whose first records are
// `first`: named by the header (or generated up to `widest`, the widest
// record's field count in the whole input, by default that of `first`),
// narrowed to `columns` when asked, typed by the schema or by inference over
// the first kInferenceSampleRows records of `first`.
void plan_columns(const ParsedTable& first, const ReadRequest& request, ReadPlan& plan,
                  std::optional<std::size_t> widest = std::nullopt);

// How the request's records are parsed with `delimiter` (mid-file for a part
// after the file's start).
TableOptions table_options(const ReadRequest& request, char delimiter);

}  // namespace brelt
