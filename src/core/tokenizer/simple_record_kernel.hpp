// The fast path for the records most files are made of: unquoted fields and
// quoted fields that open at the field's start and close right before a
// delimiter or the line end, with no doubled quote. Such a record needs no
// unquoting: each field is a slice of the input, so the record can be lent
// from the input and nothing is copied. Anything else (a doubled quote, text
// after a closing quote, a quote inside an unquoted field, an unterminated
// quote) stops this path at the start of the field in question, and the
// general state machine goes on from there; both give the same fields.
//
// One pass over the record a block at a time: each block yields bit masks of
// its delimiters, line feeds and quotes, and the events are taken lowest bit
// first, so a quoted field costs a few bit operations rather than a new scan.
// Written once over the vector interface of scan_kernels.hpp and compiled per
// instruction set (the scalar set with eight-byte words).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "tokenizer/scan.hpp"
#include "tokenizer/tokenizer_bytes.hpp"

namespace brelt::scan {

// Masks of one block, in the layout of V::mask: kBitsPerByte bits per byte,
// only the highest of them set.
struct BlockMasks {
    std::uint64_t delimiters;
    std::uint64_t line_feeds;
    std::uint64_t quotes;
};

template <class V>
struct RecordBlocks {
    typename V::Reg delimiter, line_feed, quote;
    std::uint8_t delimiter_byte, quote_byte;

    RecordBlocks(std::uint8_t d, std::uint8_t q)
        : delimiter(V::splat(d)),
          line_feed(V::splat('\n')),
          quote(V::splat(q)),
          delimiter_byte(d),
          quote_byte(q) {}

    BlockMasks full(const std::uint8_t* p) const {
        const auto block = V::load(p);
        return {V::mask(V::equal(block, delimiter)), V::mask(V::equal(block, line_feed)),
                V::mask(V::equal(block, quote))};
    }
    // The last, partial block: the same masks from a byte loop.
    BlockMasks partial(const std::uint8_t* p, std::size_t size) const {
        BlockMasks masks{0, 0, 0};
        for (std::size_t k = 0; k < size; ++k) {
            const std::uint64_t bit = std::uint64_t{1}
                                      << (k * V::kBitsPerByte + V::kBitsPerByte - 1);
            if (p[k] == delimiter_byte) masks.delimiters |= bit;
            if (p[k] == '\n') masks.line_feeds |= bit;
            if (p[k] == quote_byte) masks.quotes |= bit;
        }
        return masks;
    }
};

// Mask bits of the bytes from `byte` on (byte < kWidth, or all clear).
template <class V>
inline std::uint64_t bits_from(std::size_t byte) {
    const std::size_t shift = byte * V::kBitsPerByte;
    return shift >= 64 ? 0 : ~std::uint64_t{0} << shift;
}

template <class V>
inline std::size_t first_byte(std::uint64_t mask) {
    return static_cast<unsigned>(std::countr_zero(mask)) / V::kBitsPerByte;
}

[[gnu::noinline, gnu::cold]] inline RecordSpan* grow_spans(GrowableArray<RecordSpan>& spans,
                                                           RecordSpan* out, std::size_t room) {
    spans.commit(static_cast<std::size_t>(out - spans.spare()));
    spans.reserve_extra(room);
    return spans.spare();
}

template <class V>
SimpleRecordResult read_simple_record(const SimpleRecordScan& scan,
                                      GrowableArray<RecordSpan>& spans) {
    using namespace tokenizer_bytes;
    const std::uint8_t* const base = scan.base;
    const std::size_t remaining = scan.remaining;
    const RecordBlocks<V> blocks(scan.delimiter, scan.quote);
    // A delimiter that is also the quote byte only ever delimits.
    const bool quoting = scan.quote != scan.delimiter;

    // Offsets are from base. Spans are written through `out`, kept in a local
    // (a span store could alias a member) and committed on the way out.
    constexpr std::size_t kRoom = V::kWidth + 1;
    RecordSpan* out = spans.spare();
    if (spans.capacity() - spans.size() < kRoom) out = grow_spans(spans, out, kRoom);
    RecordSpan* limit = spans.data() + spans.capacity();
    std::uint64_t field_start = 0;
    bool in_quotes = false;
    std::size_t open = 0;  // the opening quote of the current quoted field

    auto finish = [&](std::uint64_t start, std::size_t end, std::size_t consumed,
                      bool drop_final_cr) {
        // A CR before the line end (or the end of input) goes when it lies
        // inside the last field; at the end of input even inside quotes, as
        // the general path drops a final CR of the record.
        if (drop_final_cr && end > start && base[end - 1] == kCarriageReturn) --end;
        *out++ = {start, end};
        spans.commit(static_cast<std::size_t>(out - spans.spare()));
        return SimpleRecordResult{true, consumed, end, start};
    };
    auto hand_over = [&](std::uint64_t at_field) {
        spans.commit(static_cast<std::size_t>(out - spans.spare()));
        return SimpleRecordResult{false, 0, 0, at_field};
    };

    // `cursor` is the first byte of the block not yet taken.
    std::size_t cursor = 0;
    for (std::size_t i = 0; i < remaining; i += V::kWidth) {
        if (static_cast<std::size_t>(limit - out) < kRoom) {
            out = grow_spans(spans, out, kRoom);
            limit = spans.data() + spans.capacity();
        }
        const std::size_t size = remaining - i < V::kWidth ? remaining - i : V::kWidth;
        const BlockMasks masks =
            size == V::kWidth ? blocks.full(base + i) : blocks.partial(base + i, size);
        const std::uint64_t delimiters = masks.delimiters;
        // The delimiter wins over LF and the quote when they are the same byte.
        const std::uint64_t line_feeds = masks.line_feeds & ~delimiters;
        const std::uint64_t quotes = quoting ? masks.quotes & ~delimiters : 0;
        for (;;) {
            const std::uint64_t from = bits_from<V>(cursor);
            if (in_quotes) {
                const std::uint64_t closing = quotes & from;
                if (closing == 0) break;
                // It closes the quoted field; the byte after it decides.
                const std::size_t byte = first_byte<V>(closing);
                const std::size_t at = i + byte;
                const std::size_t next = at + 1;
                if (next == remaining) return finish(open + 1, at, next, true);
                const std::uint8_t after = base[next];
                if (after == scan.delimiter) {
                    *out++ = {open + 1, at};
                    field_start = next + 1;
                    in_quotes = false;
                    cursor = byte + 2;
                    if (cursor >= V::kWidth) break;
                    continue;
                }
                if (after == kLineFeed) return finish(open + 1, at, next + 1, false);
                if (after == kCarriageReturn && next + 1 < remaining &&
                    base[next + 1] == kLineFeed) {
                    return finish(open + 1, at, next + 2, false);
                }
                return hand_over(open);  // a doubled quote, or text after the quote
            }
            const std::uint64_t stops = (line_feeds | quotes) & from;
            // The delimiters before the first stop end fields: (stops & -stops) - 1
            // keeps exactly the bits below the lowest stop bit.
            std::uint64_t fields = delimiters & from;
            if (stops != 0) fields &= (stops & (0 - stops)) - 1;
            while (fields != 0) {
                const std::size_t at = i + first_byte<V>(fields);
                *out++ = {field_start, at};
                field_start = at + 1;
                fields &= fields - 1;
            }
            if (stops == 0) break;
            const std::size_t byte = first_byte<V>(stops);
            const std::size_t at = i + byte;
            if ((stops & (0 - stops) & line_feeds) != 0) {
                return finish(field_start, at, at + 1, true);
            }
            // A quote opens a quoted field only at the field's start; one
            // inside an unquoted field is the general path's.
            if (at != field_start) return hand_over(field_start);
            in_quotes = true;
            open = at;
            cursor = byte + 1;
        }
        // A delimiter taken with the quote before it may have been the next
        // block's first byte.
        cursor = cursor > V::kWidth ? cursor - V::kWidth : 0;
    }
    // The input ends the record: an unterminated quote is the general path's.
    if (in_quotes) return hand_over(open);
    return finish(field_start, remaining, remaining, true);
}

}  // namespace brelt::scan
