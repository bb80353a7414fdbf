// Assembling a CSV row from field texts: delimiters between the fields, each
// field guarded and quoted, the line terminator after the last.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brelt {

// The settings a writer serializes rows with.
struct RowFormat {
    char delimiter = ',';
    char quotechar = '"';
    std::uint32_t quoting = 0;  // a QuotingMode value; unknown values act as minimal
    bool safe = false;          // formula guard
    std::string lineterminator = "\r\n";
};

// Appends field number `index` of a row: the delimiter before every field but
// the first, then the text as guard_formula returns it, quoted by write_field
// (the guard comes first, so the quoting judges the guarded text). `scratch`
// holds a guarded text and is reused from field to field.
void append_row_field(std::string& out, std::size_t index, std::string_view text,
                      const RowFormat& format, std::string& scratch);

// Ends a row begun at out[row_start] with `field_count` fields. A row of one
// empty field would be a bare line end, which readers skip as a blank line,
// so the field is written as "" instead (under every mode but QuoteNone,
// which never quotes).
void end_row(std::string& out, std::size_t row_start, std::size_t field_count,
             const RowFormat& format);

// Appends one whole row; a row of no fields is just the line terminator.
void serialize_row(std::string& out, std::span<const std::string_view> fields,
                   const RowFormat& format, std::string& scratch);

}  // namespace brelt
