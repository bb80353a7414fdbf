// The fast path for the records most files are made of: unquoted fields and
// quoted fields that open at the field's start and close right before a
// delimiter or the line end, with no doubled quote. Such a record needs no
// unquoting: each field is a slice of the input, so the record is lent from
// the input and nothing is copied. Anything else (a doubled quote, text after
// a closing quote, a quote inside an unquoted field, an unterminated quote)
// makes this path give up before consuming anything, and the general state
// machine reads the record instead; both give the same fields.
#include <algorithm>

#include "tokenizer/csv_tokenizer.hpp"
#include "tokenizer/tokenizer_bytes.hpp"

namespace brelt {

using namespace tokenizer_bytes;

bool CsvTokenizer::read_simple_record(RawRecord& record) {
    const std::uint8_t* const base = input_ + position_;
    const std::size_t remaining = static_cast<std::size_t>(input_size_ - position_);
    const std::uint8_t delimiter = options_.delimiter;
    const std::uint8_t quote = options_.quote;
    // A delimiter that is also the quote byte only ever delimits.
    const bool quoting = quote != delimiter;

    // Offsets below are from base. `at` is the next byte to read.
    std::size_t at = 0;
    std::uint64_t field_start = 0;
    // The last field ends here; `consumed` counts its terminator too.
    std::size_t last_end;
    std::size_t consumed;
    for (;;) {
        if (quoting && at == field_start && at < remaining && base[at] == quote) {
            const std::size_t open = at;
            const std::size_t after_open = open + 1;
            const std::size_t close =
                after_open + kernels_->find_byte(base + after_open, remaining - after_open, quote);
            if (close == remaining) break;  // unterminated
            const std::size_t next = close + 1;
            if (next == remaining) {
                last_end = close;
                consumed = next;
                // At the end of input a CR before the closing quote is dropped,
                // as the general path drops a final CR of the record.
                if (last_end > after_open && base[last_end - 1] == kCarriageReturn) --last_end;
                field_start = after_open;
                record.spans.push_back({field_start, last_end});
                record.lend(base, last_end, input_ + input_size_);
                position_ += consumed;
                return true;
            }
            const std::uint8_t byte = base[next];
            if (byte == quote) break;  // doubled quote
            if (byte == delimiter) {
                record.spans.push_back({after_open, close});
                at = next + 1;
                field_start = at;
                continue;
            }
            const bool crlf = byte == kCarriageReturn && next + 1 < remaining &&
                              base[next + 1] == kLineFeed;
            if (!crlf && byte != kLineFeed) break;  // text after the closing quote
            record.spans.push_back({after_open, close});
            record.lend(base, close, input_ + input_size_);
            position_ += next + (crlf ? 2 : 1);
            return true;
        }

        const std::size_t slice = std::min(remaining - at, kScanSlice);
        record.spans.reserve_extra(slice);
        const UnquotedScan scan{base + at, slice, delimiter, quote, at};
        const std::size_t stop = kernels_->scan_unquoted(scan, field_start, record.spans);
        if (stop == slice) {
            at += slice;
            if (at < remaining) continue;
            last_end = at;  // the input ends the record
            consumed = at;
        } else {
            const std::size_t hit = at + stop;
            if (base[hit] != kLineFeed) {
                at = hit;
                // A quote opening the next field is read above; one inside
                // an unquoted field is the general path's.
                if (hit == field_start) continue;
                break;
            }
            last_end = hit;
            consumed = hit + 1;
        }
        // The line end's CR is dropped when it lies inside the last field.
        if (last_end > field_start && base[last_end - 1] == kCarriageReturn) --last_end;
        record.spans.push_back({field_start, last_end});
        record.lend(base, last_end, input_ + input_size_);
        position_ += consumed;
        return true;
    }
    record.clear();
    return false;
}

}  // namespace brelt
