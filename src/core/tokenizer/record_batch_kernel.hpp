// The batch path: whole records of plain and simply quoted fields read
// straight into packed arrays (see record_batch.hpp), many per call.
//
// The input goes 64 bytes at a time. Each block yields one bit per byte for
// its delimiters, line feeds and quotes; the quote bits give the bytes inside
// quotes, and the delimiters and line feeds outside quotes are the field and
// record ends, taken lowest bit first. A field is then one of:
//   plain   no quote at all: its bytes are its text (a CR before the line
//           feed that ends the record is dropped);
//   quoted  a quote at its first byte and one at its last (or just before
//           the CR of a CR LF), every quote between doubled: its text is the
//           bytes between, each doubled quote once.
// Every quote flips in and out of quotes in both forms, exactly as in the
// record-at-a-time state machine, so their ends are that machine's ends too.
// Anything else (a quote elsewhere, a lone quote inside, text after the
// closing quote), a blank line, a record without a line feed at the end of
// input, or a record that breaks a limit or the field count ends the batch
// at that record's start, for the record-at-a-time path to read.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tokenizer/record_batch.hpp"
#include "tokenizer/tokenizer_bytes.hpp"

namespace brelt::scan {

inline constexpr std::size_t kBatchBlock = 64;

struct BatchBits {
    std::uint64_t delimiters;
    std::uint64_t line_feeds;
    std::uint64_t quotes;
};

template <class V>
struct BatchBlocks {
    typename V::Reg delimiter, line_feed, quote;

    BatchBlocks(std::uint8_t d, std::uint8_t q)
        : delimiter(V::splat(d)), line_feed(V::splat('\n')), quote(V::splat(q)) {}

    // Bit i of each mask stands for byte i of the 64 at p.
    BatchBits full(const std::uint8_t* p) const {
        constexpr std::size_t kRegs = kBatchBlock / V::kWidth;
        typename V::Reg d[kRegs], l[kRegs], q[kRegs];
        for (std::size_t k = 0; k < kRegs; ++k) {
            const auto block = V::load(p + k * V::kWidth);
            d[k] = V::equal(block, delimiter);
            l[k] = V::equal(block, line_feed);
            q[k] = V::equal(block, quote);
        }
        return {V::mask64(d), V::mask64(l), V::mask64(q)};
    }
    // The last, partial block, through a copy so nothing past the input is read.
    BatchBits partial(const std::uint8_t* p, std::size_t size) const {
        alignas(64) std::uint8_t copy[kBatchBlock] = {};
        std::memcpy(copy, p, size);
        BatchBits bits = full(copy);
        const std::uint64_t valid = (std::uint64_t{1} << size) - 1;  // size < 64
        return {bits.delimiters & valid, bits.line_feeds & valid, bits.quotes & valid};
    }
};

// Bit i set when byte i lies inside quotes. The prefix XOR of the quote bits
// (bit i = XOR of bits 0..i) counts quotes modulo 2, so an opening quote and
// the bytes after it are set up to, not including, the closing quote;
// `carry` (all ones or zero) says whether the previous block ended inside.
inline std::uint64_t inside_quotes(std::uint64_t quotes, std::uint64_t carry) {
    std::uint64_t x = quotes;
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    x ^= x << 32;
    return x ^ carry;
}

// Moves a field's text with fixed-size copies when it is short, as most
// fields are; the destination has room for that (kBatchTextSlack) and the
// source must allow reading 32 bytes.
inline void copy_short(std::uint8_t* to, const std::uint8_t* from, std::size_t length) {
    if (length <= 16) {
        std::memcpy(to, from, 16);
    } else if (length <= 32) {
        std::memcpy(to, from, 32);
    } else {
        std::memcpy(to, from, length);
    }
}

// The same where the source may end within 32 bytes.
inline void copy_field(std::uint8_t* to, const std::uint8_t* from, std::size_t length,
                       const std::uint8_t* input_end) {
    if (input_end - from >= 32) {
        copy_short(to, from, length);
    } else if (length != 0) {
        std::memcpy(to, from, length);
    }
}

// The text of a quoted field [start, end) into `to`: false when the field is
// not of the quoted form. `block_quotes` are the quote bits of the block at
// `block`, which holds `end`.
inline bool copy_quoted_field(const std::uint8_t* base, std::size_t start, std::size_t end,
                              bool line_end, std::size_t block, std::uint64_t block_quotes,
                              std::uint8_t quote, std::uint8_t* to, std::size_t& length,
                              const std::uint8_t* input_end) {
    if (base[start] != quote) return false;  // a quote inside an unquoted field
    std::size_t close = end - 1;
    if (line_end && close > start && base[close] == tokenizer_bytes::kCarriageReturn) --close;
    if (close <= start || base[close] != quote) return false;
    std::size_t from = start + 1;
    std::size_t written = 0;
    if (start >= block) {
        // The whole field is in this block (from - block and close - from are
        // both below 63): its inner quotes come from the block's bits,
        // relative to `from`.
        std::uint64_t inner =
            (block_quotes >> (from - block)) & ((std::uint64_t{1} << (close - from)) - 1);
        while (inner != 0) {
            const unsigned at = static_cast<unsigned>(std::countr_zero(inner));
            // Only a doubled quote may stand inside; it is kept once.
            if (((inner >> (at + 1)) & 1) == 0) return false;
            copy_field(to + written, base + from, at + 1, input_end);
            written += at + 1;
            from += at + 2;
            inner >>= at + 2;
        }
    } else {
        // A field from an earlier block: search its bytes instead.
        for (;;) {
            const void* found = std::memchr(base + from, quote, close - from);
            if (found == nullptr) break;
            const std::size_t at =
                static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - (base + from));
            if (from + at + 1 >= close || base[from + at + 1] != quote) return false;
            std::memcpy(to + written, base + from, at + 1);
            written += at + 1;
            from += at + 2;
        }
    }
    copy_field(to + written, base + from, close - from, input_end);
    length = written + (close - from);
    return true;
}

template <class V>
BatchResult read_record_batch(const BatchScan& scan, RecordBatch& batch) {
    using namespace tokenizer_bytes;
    const std::uint8_t* const base = scan.base;
    const std::size_t size = scan.remaining;
    const std::uint8_t* const input_end = base + size;
    // Blank lines are skipped by the record path.
    if (size == 0 || base[0] == kLineFeed || base[0] == kCarriageReturn) return {0, 0};
    const BatchBlocks<V> blocks(scan.delimiter, scan.quote);

    // Cursors in locals: a store through any output pointer could alias the
    // batch's own fields.
    std::uint8_t* const text = batch.text;
    std::size_t text_size = batch.text_size;
    FieldSpan* const spans = batch.spans;
    FieldSpan* out = spans + batch.span_count;
    FieldSpan* const span_end = spans + batch.span_limit;
    RowEntry* row = batch.rows + batch.row_count;
    RowEntry* const row_end = batch.rows + batch.row_limit;
    const std::size_t max_row_fields = batch.max_row_fields;
    const std::size_t expected_fields = batch.expected_fields;
    const std::size_t text_limit = batch.text_limit;

    // Everything up to the last whole record is final; the rest is dropped.
    std::size_t accepted = 0;  // input offset just past its line feed
    std::size_t accepted_text = text_size;
    FieldSpan* record_spans = out;  // the current record's first span
    std::size_t records = 0;

    std::size_t field_start = 0;
    std::uint64_t inside_carry = 0;
    // The last quote of the blocks already done (or none): a plain field that
    // began in one of them has no quote when it began after this.
    std::size_t last_quote = SIZE_MAX;

    // Appends the field [field_start, end) in whatever form it has; false
    // when it has none the batch path reads.
    auto take_field = [&](std::size_t end, bool line_end, std::size_t block,
                          const BatchBits& bits) {
        const unsigned bit = static_cast<unsigned>(end - block);
        const std::uint64_t quotes_before = bits.quotes & ((std::uint64_t{1} << bit) - 1);
        const bool plain = field_start >= block ? (quotes_before >> (field_start - block)) == 0
                                                : quotes_before == 0 && (last_quote == SIZE_MAX ||
                                                                         last_quote < field_start);
        std::size_t length;
        if (plain) {
            std::size_t field_end = end;
            // A CR before the record's line feed belongs to the line end.
            if (line_end && field_end > field_start && base[field_end - 1] == kCarriageReturn) {
                --field_end;
            }
            length = field_end - field_start;
            copy_field(text + text_size, base + field_start, length, input_end);
        } else if (!copy_quoted_field(base, field_start, end, line_end, block, bits.quotes,
                                      scan.quote, text + text_size, length, input_end)) {
            return false;
        }
        *out++ = {static_cast<std::uint32_t>(text_size),
                  static_cast<std::uint32_t>(text_size + length)};
        text_size += length;
        field_start = end + 1;
        return true;
    };

    for (std::size_t block = 0; block < size; block += kBatchBlock) {
        // A block ends at most 64 fields.
        if (static_cast<std::size_t>(span_end - out) < kBatchBlock) break;
        const BatchBits bits = size - block >= kBatchBlock
                                   ? blocks.full(base + block)
                                   : blocks.partial(base + block, size - block);
        std::uint64_t ends = bits.delimiters | bits.line_feeds;
        if (bits.quotes != 0) {
            const std::uint64_t inside = inside_quotes(bits.quotes, inside_carry);
            inside_carry = 0 - (inside >> 63);
            ends &= ~inside;
        } else if (inside_carry != 0) {
            ends = 0;
        }
        // The common block: no quote in it or in the field it starts with, and
        // room to read 32 bytes from any field that ends in it. Its fields up
        // to each line feed are plain, and go by a short loop.
        const bool quick = bits.quotes == 0 &&
                           (last_quote == SIZE_MAX || last_quote < field_start) &&
                           size - block >= kBatchBlock + 32;
        std::uint64_t line_ends = ends & bits.line_feeds;
        for (;;) {
            // The fields that end at delimiters before the next line end.
            const std::uint64_t before_line_end =
                line_ends != 0 ? (line_ends & (0 - line_ends)) - 1 : ~std::uint64_t{0};
            std::uint64_t delimiters = ends & before_line_end;
            ends ^= delimiters;
            if (quick) {
                while (delimiters != 0) {
                    const std::size_t end =
                        block + static_cast<unsigned>(std::countr_zero(delimiters));
                    delimiters &= delimiters - 1;
                    const std::size_t length = end - field_start;
                    copy_short(text + text_size, base + field_start, length);
                    *out++ = {static_cast<std::uint32_t>(text_size),
                              static_cast<std::uint32_t>(text_size + length)};
                    text_size += length;
                    field_start = end + 1;
                }
            } else {
                while (delimiters != 0) {
                    const std::size_t end =
                        block + static_cast<unsigned>(std::countr_zero(delimiters));
                    delimiters &= delimiters - 1;
                    if (!take_field(end, false, block, bits)) goto done;
                }
            }
            if (line_ends == 0) break;
            const std::size_t end = block + static_cast<unsigned>(std::countr_zero(line_ends));
            line_ends &= line_ends - 1;
            ends &= ends - 1;
            if (!take_field(end, true, block, bits)) goto done;
            const std::size_t count = static_cast<std::size_t>(out - record_spans);
            if (count > max_row_fields || (expected_fields != 0 && count != expected_fields) ||
                text_size > text_limit || row == row_end) {
                goto done;
            }
            *row++ = {static_cast<std::uint32_t>(record_spans - spans),
                      static_cast<std::uint16_t>(count)};
            record_spans = out;
            accepted = field_start;
            accepted_text = text_size;
            ++records;
            if (field_start < size &&
                (base[field_start] == kLineFeed || base[field_start] == kCarriageReturn)) {
                goto done;
            }
        }
        if (bits.quotes != 0) {
            last_quote = block + 63 - static_cast<unsigned>(std::countl_zero(bits.quotes));
        }
    }
done:
    batch.text_size = accepted_text;
    batch.span_count = static_cast<std::size_t>(record_spans - spans);
    batch.row_count = static_cast<std::size_t>(row - batch.rows);
    return {records, accepted};
}

}  // namespace brelt::scan
