// One record as the tokenizer hands it out: the record's bytes after unquoting
// and one span per field. The caller owns it and passes the same object to
// every read, so a steady-state read reuses its storage and allocates nothing.
#pragma once

#include <cassert>
#include <cstdint>
#include <string_view>

#include "common/growable_array.hpp"

namespace brelt {

struct RecordSpan {
    std::uint64_t start;
    std::uint64_t end;
};

class RawRecord {
  public:
    // One per field, in field order; start <= end <= size().
    GrowableArray<RecordSpan> spans;

    // The record's bytes. Unquoted stretches stand as they were, delimiters
    // included; the quotes that open and close a quoted stretch are dropped
    // and a doubled quote inside one is kept once. A delimiter lies between
    // two spans and belongs to neither.
    const std::uint8_t* data() const { return lent_ != nullptr ? lent_ : storage_.data(); }
    std::size_t size() const { return lent_ != nullptr ? lent_size_ : storage_.size(); }
    // Bytes up to here may be read (not used) past the end of a field, so a
    // short field can be copied with one fixed-size move.
    const std::uint8_t* readable_end() const {
        return lent_ != nullptr ? lent_readable_end_ : storage_.data() + storage_.capacity();
    }

    std::size_t field_count() const { return spans.size(); }
    std::string_view field(std::size_t i) const {
        const RecordSpan span = spans[i];
        return {reinterpret_cast<const char*>(data()) + span.start,
                static_cast<std::size_t>(span.end - span.start)};
    }

    void clear() {
        storage_.clear();
        spans.clear();
        lent_ = nullptr;
    }

    // The tokenizer's side. A record that is one unquoted stretch of the
    // input is lent from the input (which outlives the tokenizer) instead of
    // copied; anything else is built in the record's own storage.
    GrowableArray<std::uint8_t>& storage() { return storage_; }
    bool is_lent() const { return lent_ != nullptr; }
    void lend(const std::uint8_t* bytes, std::size_t size, const std::uint8_t* readable_end) {
        lent_ = bytes;
        lent_size_ = size;
        lent_readable_end_ = readable_end;
    }
    // Only records built in storage are trimmed; lent ones come trimmed.
    void drop_last_byte() {
        assert(lent_ == nullptr && !storage_.empty());
        storage_.pop_back();
    }

  private:
    GrowableArray<std::uint8_t> storage_;
    const std::uint8_t* lent_ = nullptr;
    std::size_t lent_size_ = 0;
    const std::uint8_t* lent_readable_end_ = nullptr;
};

}  // namespace brelt
