// Many records read in one call straight into packed arrays: the text of
// every field back to back, the 32-bit offset where each field's text ends
// (the next one's begins there) and an entry per record.
// This is the layout a ParsedTable keeps, so a parse can skip the per-record
// RawRecord and the copy out of it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brelt {

struct RowEntry {
    std::uint32_t first;  // index of the row's first field
    std::uint16_t count;  // fields in the row
};

static_assert(sizeof(RowEntry) == 8);

// Where a batch writes and how far it may go. The arrays are the caller's;
// the batch appends from the current sizes and advances them. A record that
// would pass any limit is left unread for the record-at-a-time path, which
// then reports the limit or grows the arrays.
struct RecordBatch {
    // Room for every byte of input still to be read plus kBatchTextSlack: a
    // record's text is never longer than its input, and short fields are
    // moved with fixed-size copies that may write that far past their end.
    std::uint8_t* text;
    std::size_t text_size;
    std::size_t text_limit;     // the text may not grow beyond this many bytes
    std::uint32_t* field_ends;  // field i's text ends at text offset field_ends[i]
    std::size_t field_count;
    std::size_t field_limit;  // capacity or limit, whichever is smaller
    RowEntry* rows;
    std::size_t row_count;
    std::size_t row_limit;
    std::size_t max_row_fields;
    // Every record must have this many fields (0: any number).
    std::size_t expected_fields;
};

inline constexpr std::size_t kBatchTextSlack = 64;

// The input from a record start on, for the batch kernels.
struct BatchScan {
    const std::uint8_t* base;
    std::size_t remaining;
    std::uint8_t delimiter;
    std::uint8_t quote;
};

struct BatchResult {
    std::size_t records;
    std::size_t consumed;  // bytes up to and including the last record's line feed
};

}  // namespace brelt
