// One record as the tokenizer hands it out: the record's bytes after unquoting
// and one span per field. The caller owns it and passes the same object to
// every read, so a steady-state read reuses its storage and allocates nothing.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/growable_array.hpp"

namespace brelt {

struct RecordSpan {
    std::uint64_t start;
    std::uint64_t end;
};

struct RawRecord {
    // Unquoted stretches are copied as they stand, delimiters included; the
    // quotes that open and close a quoted stretch are dropped and a doubled
    // quote inside one is kept once. A copied delimiter lies between two
    // spans and belongs to neither.
    GrowableArray<std::uint8_t> bytes;
    // One per field, in field order; start <= end <= bytes.size().
    GrowableArray<RecordSpan> spans;

    std::size_t field_count() const { return spans.size(); }
    std::string_view field(std::size_t i) const {
        const RecordSpan span = spans[i];
        return {reinterpret_cast<const char*>(bytes.data()) + span.start,
                static_cast<std::size_t>(span.end - span.start)};
    }
    void clear() {
        bytes.clear();
        spans.clear();
    }
    void copy_from(const RawRecord& other) {
        clear();
        bytes.append(other.bytes.data(), other.bytes.size());
        spans.append(other.spans.data(), other.spans.size());
    }
};

}  // namespace brelt
