// Records of the csv module's dialect, read exactly as its reader reads them:
// one state machine (START_RECORD, START_FIELD, ESCAPED_CHAR, IN_FIELD,
// IN_QUOTED_FIELD, ESCAPE_IN_QUOTED_FIELD, QUOTE_IN_QUOTED_FIELD, EAT_CRNL,
// AFTER_ESCAPED_CRNL) fed one character at a time, with an end-of-line event
// after each line. A record is complete only at an end-of-line event; a
// failure abandons the rest of its line, and the next record starts on the
// line after it.
//
// The text is UTF-8 and the dialect's characters are matched as byte
// sequences. Any byte that does not begin a dialect character is text on its
// own; a field's length in characters counts the bytes that are not UTF-8
// continuation bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dialect/dialect_options.hpp"
#include "dialect/parsed_records.hpp"

namespace brelt::dialect {

struct ParseInput {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    // Lines given one by one (each item of an iterable is one line): the
    // offset where each ends, ascending, the last one `size`. When absent,
    // a line ends after LF, after CR LF and after a lone CR, as a file opened
    // with newline="" splits its lines.
    const std::uint64_t* line_ends = nullptr;
    std::size_t line_count = 0;
    bool explicit_lines = false;
    // Nothing follows: the end of the text ends its last line and record.
    bool final = false;
};

struct ParseProgress {
    // The input up to here is accounted for by the entries appended; the
    // rest starts a record that needs more input.
    std::size_t consumed = 0;
    // With explicit lines: how many of them that part holds.
    std::size_t lines_consumed = 0;
};

// Parses the input's complete records, and at the end of a final input what
// the csv module makes of an unfinished one, appending to `out`. Throws
// std::bad_alloc when memory runs out.
ParseProgress parse_records(const ParseInput& input, const DialectOptions& options,
                            ParsedRecords& out);

// Where the line after `lines` whole lines from `start` begins, lines ending
// as parse_records ends them without explicit lines; `size` if there are
// fewer. For restarting after a failed record on the line that follows.
std::size_t skip_lines(const std::uint8_t* data, std::size_t size, std::size_t start,
                       std::uint64_t lines);

}  // namespace brelt::dialect
