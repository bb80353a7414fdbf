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

#include <algorithm>
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
    std::uint64_t carriage_returns;
};

template <class V>
struct BatchBlocks {
    typename V::Reg delimiter, line_feed, quote, carriage_return;

    BatchBlocks(std::uint8_t d, std::uint8_t q)
        : delimiter(V::splat(d)),
          line_feed(V::splat('\n')),
          quote(V::splat(q)),
          carriage_return(V::splat('\r')) {}

    // Bit i of each mask stands for byte i of the 64 at p.
    BatchBits full(const std::uint8_t* p) const {
        constexpr std::size_t kRegs = kBatchBlock / V::kWidth;
        typename V::Reg d[kRegs], l[kRegs], q[kRegs], c[kRegs];
        for (std::size_t k = 0; k < kRegs; ++k) {
            const auto block = V::load(p + k * V::kWidth);
            d[k] = V::equal(block, delimiter);
            l[k] = V::equal(block, line_feed);
            q[k] = V::equal(block, quote);
            c[k] = V::equal(block, carriage_return);
        }
        return {V::mask64(d), V::mask64(l), V::mask64(q), V::mask64(c)};
    }
    // The last, partial block, through a copy so nothing past the input is read.
    BatchBits partial(const std::uint8_t* p, std::size_t size) const {
        alignas(64) std::uint8_t copy[kBatchBlock] = {};
        std::memcpy(copy, p, size);
        BatchBits bits = full(copy);
        const std::uint64_t valid = (std::uint64_t{1} << size) - 1;  // size < 64
        return {bits.delimiters & valid, bits.line_feeds & valid, bits.quotes & valid,
                bits.carriage_returns & valid};
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

// Mask bits 0 to n - 1 (n < 64).
inline std::uint64_t low_bits(std::size_t n) {
    return (std::uint64_t{1} << n) - 1;
}

// The text of a quoted field into `to`, each doubled quote once: the field
// opens at `start` and its closing quote is at `close` - 1. False when a
// quote between stands alone. `inner` holds the quote bits of the bytes
// between, relative to `start`, or is null for a field of a block or more,
// whose bytes are searched instead.
inline bool copy_quoted_field(const std::uint8_t* base, std::size_t start, std::size_t close,
                              const std::uint64_t* inner, std::uint8_t quote, std::uint8_t* to,
                              std::size_t& length, const std::uint8_t* input_end) {
    std::size_t from = start + 1;
    std::size_t written = 0;
    if (inner != nullptr) {
        std::uint64_t bits = *inner;
        while (bits != 0) {
            const std::size_t at = start + static_cast<unsigned>(std::countr_zero(bits));
            // Only a doubled quote may stand inside (both bits are below 63);
            // it is kept once.
            if (((bits >> (at + 1 - start)) & 1) == 0) return false;
            copy_field(to + written, base + from, at + 1 - from, input_end);
            written += at + 1 - from;
            from = at + 2;
            bits &= ~(std::uint64_t{3} << (at - start));
        }
    } else {
        for (;;) {
            const void* found = std::memchr(base + from, quote, close - 1 - from);
            if (found == nullptr) break;
            const std::size_t at =
                static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - base);
            if (at + 1 >= close - 1 || base[at + 1] != quote) return false;
            std::memcpy(to + written, base + from, at + 1 - from);
            written += at + 1 - from;
            from = at + 2;
        }
    }
    copy_field(to + written, base + from, close - 1 - from, input_end);
    length = written + (close - 1 - from);
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
    std::uint32_t* const field_ends = batch.field_ends;
    std::uint32_t* out = field_ends + batch.field_count;
    std::uint32_t* const out_end = field_ends + batch.field_limit;
    RowEntry* row = batch.rows + batch.row_count;
    RowEntry* const row_end = batch.rows + batch.row_limit;
    const std::size_t max_row_fields = batch.max_row_fields;
    const std::size_t expected_fields = batch.expected_fields;
    const std::size_t text_limit = batch.text_limit;

    // Everything up to the last whole record is final; the rest is dropped.
    std::size_t accepted = 0;  // input offset just past its line feed
    std::size_t accepted_text = text_size;
    std::uint32_t* record_fields = out;  // the current record's first field
    std::size_t records = 0;

    std::size_t field_start = 0;
    std::uint64_t inside_carry = 0;
    std::uint64_t previous_quotes = 0;  // the quote bits of the block before
    std::uint64_t previous_carriage_returns = 0;
    // Line feeds of this block right after a CR: that CR is part of the line
    // end. (Before an empty field stands its delimiter or line feed, so a CR
    // before a line feed is always inside the field that ends there.)
    std::uint64_t crlf = 0;

    // One field [field_start, end) and, at a line feed, the record it ends.
    // Fields are told apart by their quote bits (from this block and, for a
    // field that began in it, the one before): none (plain), or exactly an
    // opening and a closing one (quoted); both are written without a branch
    // on which. False ends the batch before this record.
    auto take = [&]<bool kQuoteFree, bool kRoomy>(std::size_t block, std::size_t end,
                                                  const BatchBits& bits) {
        const std::size_t bit = end - block;
        const bool line_end = ((bits.line_feeds >> bit) & 1) != 0;
        // A CR right before the record's line feed belongs to the line end.
        const bool cr = ((crlf >> bit) & 1) != 0;
        const std::size_t tail = end - cr;
        std::size_t start = field_start;
        std::size_t stop = tail;
        std::size_t length;
        bool simple = true;
        // A field shorter than a block has its quote bits here, from field_start on.
        const bool short_field = end - field_start < kBatchBlock;
        std::uint64_t quotes = 0;
        if constexpr (!kQuoteFree) {
            if (field_start >= block) {
                quotes = (bits.quotes >> (field_start - block)) & low_bits(end - field_start);
            } else if (short_field) {
                const std::size_t back = block - field_start;  // 1 to 63
                quotes = ((previous_quotes >> (kBatchBlock - back)) | (bits.quotes << back)) &
                         low_bits(end - field_start);
            }
            if (short_field) {
                const bool quoted = (quotes & 1) != 0;
                const std::uint64_t pair = 1 | std::uint64_t{1} << ((tail - 1 - field_start) & 63);
                // None, or the pair (of a field that has room for both):
                // written as a minimum so that it compiles to a conditional
                // move, not a branch on every quoted field.
                simple = std::min<std::uint64_t>(quotes,
                                                 (quotes ^ pair) | (tail <= field_start + 1)) == 0;
                start += quoted;
                stop -= quoted;
            } else {
                // A long field: its bytes are searched.
                simple = std::memchr(base + field_start, scan.quote, end - field_start) == nullptr;
            }
        }
        if (simple) [[likely]] {
            length = stop - start;
            if constexpr (kRoomy) {
                copy_short(text + text_size, base + start, length);
            } else {
                copy_field(text + text_size, base + start, length, input_end);
            }
        } else {
            // A quoted field holding doubled quotes, or not a form of ours.
            if (base[field_start] != scan.quote || tail <= field_start + 1 ||
                base[tail - 1] != scan.quote) {
                return false;
            }
            // The quotes between the opening and the closing one, when known.
            const std::uint64_t inner =
                quotes & ~(std::uint64_t{1} | std::uint64_t{1} << ((tail - 1 - field_start) & 63));
            if (!copy_quoted_field(base, field_start, tail, short_field ? &inner : nullptr,
                                   scan.quote, text + text_size, length, input_end)) {
                return false;
            }
        }
        *out++ = static_cast<std::uint32_t>(text_size + length);
        text_size += length;
        field_start = end + 1;
        if (!line_end) return true;
        const std::size_t count = static_cast<std::size_t>(out - record_fields);
        if (count > max_row_fields || (expected_fields != 0 && count != expected_fields) ||
            text_size > text_limit || row == row_end) {
            return false;
        }
        *row++ = {static_cast<std::uint32_t>(record_fields - field_ends),
                  static_cast<std::uint16_t>(count)};
        record_fields = out;
        accepted = field_start;
        accepted_text = text_size;
        ++records;
        // Blank lines are the record path's.
        return field_start >= size ||
               (base[field_start] != kLineFeed && base[field_start] != kCarriageReturn);
    };

    for (std::size_t block = 0; block < size; block += kBatchBlock) {
        // A block ends at most 64 fields.
        if (static_cast<std::size_t>(out_end - out) < kBatchBlock) break;
        const BatchBits bits = size - block >= kBatchBlock
                                   ? blocks.full(base + block)
                                   : blocks.partial(base + block, size - block);
        crlf = bits.line_feeds &
               ((bits.carriage_returns << 1) | (previous_carriage_returns >> (kBatchBlock - 1)));
        previous_carriage_returns = bits.carriage_returns;
        std::uint64_t ends = bits.delimiters | bits.line_feeds;
        if (bits.quotes != 0) {
            const std::uint64_t inside = inside_quotes(bits.quotes, inside_carry);
            inside_carry = 0 - (inside >> 63);
            ends &= ~inside;
        } else if (inside_carry != 0) {
            ends = 0;
        }
        // The common block: no quote from the current field's start on. And
        // roomy: 32 bytes can be read from any field that ends in it.
        const bool quote_free =
            bits.quotes == 0 && (field_start >= block ||
                                 (block - field_start <= kBatchBlock &&
                                  (previous_quotes >> (kBatchBlock - (block - field_start))) == 0));
        const bool roomy = size - block >= kBatchBlock + 32;
        bool going = true;
        if (quote_free && roomy) {
            // Every field here is plain: those that end at a delimiter need
            // only their bytes moved and their end noted.
            std::uint64_t line_ends = ends & bits.line_feeds;
            for (;;) {
                const std::uint64_t before_line_end =
                    line_ends != 0 ? (line_ends & (0 - line_ends)) - 1 : ~std::uint64_t{0};
                std::uint64_t delimiters = ends & before_line_end;
                ends ^= delimiters;
                while (delimiters != 0) {
                    const std::size_t end =
                        block + static_cast<unsigned>(std::countr_zero(delimiters));
                    delimiters &= delimiters - 1;
                    const std::size_t length = end - field_start;
                    copy_short(text + text_size, base + field_start, length);
                    text_size += length;
                    *out++ = static_cast<std::uint32_t>(text_size);
                    field_start = end + 1;
                }
                if (line_ends == 0) break;
                const std::size_t end = block + static_cast<unsigned>(std::countr_zero(line_ends));
                line_ends &= line_ends - 1;
                ends &= ends - 1;
                going = take.template operator()<true, true>(block, end, bits);
                if (!going) break;
            }
        } else {
            const auto take_all = [&]<bool kRoomy>() {
                while (ends != 0) {
                    const std::size_t end = block + static_cast<unsigned>(std::countr_zero(ends));
                    ends &= ends - 1;
                    if (!take.template operator()<false, kRoomy>(block, end, bits)) return false;
                }
                return true;
            };
            going = roomy ? take_all.template operator()<true>()
                          : take_all.template operator()<false>();
        }
        if (!going) break;
        previous_quotes = bits.quotes;
    }
    batch.text_size = accepted_text;
    batch.field_count = static_cast<std::size_t>(record_fields - field_ends);
    batch.row_count = static_cast<std::size_t>(row - batch.rows);
    return {records, accepted};
}

}  // namespace brelt::scan
