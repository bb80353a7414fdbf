// parse_table: runs the tokenizer over a whole in-memory buffer and packs the
// selected fields of every record into one ParsedTable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "table/parsed_table.hpp"
#include "tokenizer/csv_tokenizer.hpp"

namespace brelt {

class TextRuns;

struct TableOptions {
    std::uint8_t delimiter = ',';
    bool has_header = true;
    std::uint64_t skip_rows = 0;  // data records dropped before storing
    std::optional<std::uint64_t> max_rows;
    // Header names to keep, in this order; a name is matched to the first
    // header field equal to it, may be asked for twice, and is skipped when
    // nothing matches. Without a header nothing matches.
    std::optional<std::vector<std::string>> columns;
    // Every record must have as many fields as the first one.
    bool strict = false;
    // Set when the input is a later part of a file (see MidFile): the header
    // read from the file's start gives the names and the selection, and
    // has_header, skip_rows and max_rows are not applied.
    struct MidFileColumns {
        MidFile position;
        std::vector<std::string> column_names;
        std::vector<std::size_t> selection;  // used when `columns` is set
    };
    std::optional<MidFileColumns> mid_file;
    ScanTuning tuning;
};

// What the 32-bit offsets and 16-bit field counts of a table can address.
// Tests lower them to exercise the checks cheaply.
struct TableLimits {
    std::uint64_t max_text_bytes = 0xFFFFFFFFULL;  // below 4 GiB
    std::uint64_t max_fields = 0xFFFFFFFFULL;      // below 2^32
    std::uint64_t max_row_fields = 0xFFFF;
    std::uint64_t max_table_rows = 0xFFFFFFFFULL;  // rows are numbered in 32 bits
};

struct ParseResult {
    TableRef table;
    std::uint64_t rows = 0;
};

// Errors are ErrorKind::Value, with a message beginning "CSV parse error: ",
// or ErrorKind::Memory when memory runs out. `input` need not outlive the call.
Result<ParseResult> parse_table(std::span<const std::uint8_t> input, const TableOptions& options,
                                const TableLimits& limits = {});

// Parses an input a piece at a time: each next() stores up to `max_records`
// further records in a table of their own, with the same column names.
// Record numbers, byte offsets, skip_rows, max_rows and the strict field
// count run on across pieces, so the pieces together hold what parse_table
// would, and an error comes out of the piece that reaches it, reading as
// parse_table's would. The limits hold per piece. `input` must outlive the
// stream.
class TableStream {
  public:
    // Reads the header line (when there is one).
    static Result<std::unique_ptr<TableStream>> open(std::span<const std::uint8_t> input,
                                                     const TableOptions& options,
                                                     const TableLimits& limits = {});
    // The same over a text that arrives in runs, cut by options.delimiter;
    // an error in reading the text comes out of the piece that reaches it.
    // `runs` must outlive the stream.
    static Result<std::unique_ptr<TableStream>> open(TextRuns& runs, const TableOptions& options,
                                                     const TableLimits& limits = {});
    ~TableStream();
    TableStream(const TableStream&) = delete;
    TableStream& operator=(const TableStream&) = delete;

    // The next records; an empty table once finished().
    Result<ParseResult> next(std::uint64_t max_records);
    bool finished() const;
    // The number of column names each piece has.
    std::size_t column_count() const;
    // How far into the (whole) input the records read so far reach.
    std::size_t byte_position() const;
    // The field count of the input's first record (the header line when
    // there is one), which strict reads hold every record to.
    std::size_t first_record_fields() const;
    // The header fields each column comes from when `columns` is set.
    const std::vector<std::size_t>& selection() const;

  private:
    struct State;
    explicit TableStream(std::unique_ptr<State> state);
    static Result<std::unique_ptr<TableStream>> open_state(std::span<const std::uint8_t> input,
                                                           const TableOptions& options,
                                                           const TableLimits& limits,
                                                           TextRuns* runs, bool last_input);
    Result<ParseResult> next_piece(std::uint64_t max_records);

    std::unique_ptr<State> state_;
};

}  // namespace brelt
