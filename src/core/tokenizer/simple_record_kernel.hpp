// The fast path for the records most files are made of: unquoted fields and
// quoted fields that open at the field's start and close right before a
// delimiter or the line end, with no doubled quote. Such a record needs no
// unquoting: each field is a slice of the input, so the record can be lent
// from the input and nothing is copied. Anything else (a doubled quote, text
// after a closing quote, a quote inside an unquoted field, an unterminated
// quote) stops this path at the start of the field in question, and the
// general state machine goes on from there; both give the same fields.
//
// Written once over a Scanner (the vector or the scalar searches) and
// compiled per instruction set, so the searches inline into the record loop.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "tokenizer/scan.hpp"
#include "tokenizer/tokenizer_bytes.hpp"

namespace brelt::scan {

template <class Scanner>
SimpleRecordResult read_simple_record(const SimpleRecordScan& scan,
                                      GrowableArray<RecordSpan>& spans) {
    using namespace tokenizer_bytes;
    const std::uint8_t* const base = scan.base;
    const std::size_t remaining = scan.remaining;
    const std::uint8_t delimiter = scan.delimiter;
    const std::uint8_t quote = scan.quote;
    // A delimiter that is also the quote byte only ever delimits.
    const bool quoting = quote != delimiter;

    // Offsets are from base; `at` is the next byte to read.
    std::size_t at = 0;
    std::uint64_t field_start = 0;
    // The record's last field ends at `end`; `consumed` counts its terminator too.
    auto finish = [&](std::uint64_t start, std::size_t end, std::size_t consumed,
                      bool drop_final_cr) {
        // A CR before the line end (or the end of input) goes when it lies
        // inside the last field.
        if (drop_final_cr && end > start && base[end - 1] == kCarriageReturn) --end;
        spans.push_back({start, end});
        return SimpleRecordResult{true, consumed, end, start};
    };
    for (;;) {
        if (quoting && at == field_start && at < remaining && base[at] == quote) {
            const std::size_t after_open = at + 1;
            const std::size_t close =
                after_open + Scanner::find_byte(base + after_open, remaining - after_open, quote);
            if (close == remaining) break;  // unterminated
            const std::size_t next = close + 1;
            // At the end of input a final CR goes even inside quotes, as the
            // general path drops the last byte of the record when it is CR.
            if (next == remaining) return finish(after_open, close, next, true);
            const std::uint8_t byte = base[next];
            if (byte == delimiter) {
                spans.push_back({after_open, close});
                at = next + 1;
                field_start = at;
                continue;
            }
            if (byte == kLineFeed) return finish(after_open, close, next + 1, false);
            if (byte == kCarriageReturn && next + 1 < remaining && base[next + 1] == kLineFeed) {
                return finish(after_open, close, next + 2, false);
            }
            break;  // a doubled quote, or text after the closing quote
        }

        const std::size_t slice = std::min(remaining - at, kScanSlice);
        spans.reserve_extra(slice);
        const UnquotedScan stretch{base + at, slice, delimiter, quote, at};
        const std::size_t stop = Scanner::scan_unquoted(stretch, field_start, spans);
        if (stop == slice) {
            at += slice;
            if (at < remaining) continue;
            return finish(field_start, at, at, true);  // the input ends the record
        }
        const std::size_t hit = at + stop;
        if (base[hit] == kLineFeed) return finish(field_start, hit, hit + 1, true);
        at = hit;
        // A quote opening the next field is read above; one inside an
        // unquoted field is the general path's.
        if (hit != field_start) break;
    }
    return SimpleRecordResult{false, 0, 0, field_start};
}

}  // namespace brelt::scan
