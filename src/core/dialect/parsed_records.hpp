// What the record parser makes of one stretch of input: an entry per record
// (or per failed attempt at one), and per field the bounds of its text. A
// field that is one unbroken stretch of the input points into the input; one
// put together from pieces (quotes doubled or escaped, line ends added) is
// copied into side_text.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/growable_array.hpp"

namespace brelt::dialect {

struct FieldSpan {
    // Offsets into the input, or into side_text when kInSideText is set.
    std::uint64_t start;
    std::uint64_t end;

    static constexpr std::uint64_t kInSideText = 1ULL << 63;
    // The field began with the quote character.
    static constexpr std::uint64_t kQuoted = 1ULL << 62;
    // The field began with the escape character (so not with plain text).
    static constexpr std::uint64_t kEscapeStart = 1ULL << 61;
    static constexpr std::uint64_t kFlags = kInSideText | kQuoted | kEscapeStart;

    std::uint64_t offset() const { return start & ~kFlags; }
    std::uint64_t size() const { return end - offset(); }
    bool quoted() const { return (start & kQuoted) != 0; }
    bool escape_start() const { return (start & kEscapeStart) != 0; }
    bool in_side_text() const { return (start & kInSideText) != 0; }
};

enum class RecordStatus : std::uint8_t {
    Row,               // a complete record
    FieldTooLarge,     // "field larger than field limit (N)"
    QuoteNotFollowed,  // strict: "'<delimiter>' expected after '<quote>'"
    UnexpectedEnd,     // strict: the input ended inside a field
    LineBreakInField,  // a character after a line break within one line
    Dropped,           // the input ended on a record without text: no row
};

// A failed record has no fields, unless DialectOptions::record_field_lines
// keeps the ones it saved before it failed.
struct RecordEntry {
    std::uint64_t first_field;
    // Where the record's first line starts in the input.
    std::uint64_t input_start;
    // The lines the record took (for a failure: up to the one it failed on).
    std::uint64_t lines;
    std::uint32_t field_count;
    RecordStatus status;
};

struct ParsedRecords {
    GrowableArray<RecordEntry> records;
    GrowableArray<FieldSpan> fields;
    // Per field, when DialectOptions::record_field_lines: the line of its
    // record (from 0) on which it ended.
    GrowableArray<std::uint32_t> field_lines;
    GrowableArray<std::uint8_t> side_text;

    void clear() {
        records.clear();
        fields.clear();
        field_lines.clear();
        side_text.clear();
    }

    std::string_view text(const std::uint8_t* input, FieldSpan span) const {
        const std::uint8_t* base = span.in_side_text() ? side_text.data() : input;
        return {reinterpret_cast<const char*>(base) + span.offset(),
                static_cast<std::size_t>(span.size())};
    }
};

}  // namespace brelt::dialect
