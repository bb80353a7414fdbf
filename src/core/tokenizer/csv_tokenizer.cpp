#include "tokenizer/csv_tokenizer.hpp"

#include <algorithm>

#include "tokenizer/tokenizer_bytes.hpp"

namespace brelt {

using namespace tokenizer_bytes;

CsvTokenizer::CsvTokenizer(std::span<const std::uint8_t> input, const TokenizerOptions& options)
    : input_(input.data()),
      input_size_(input.size()),
      options_(options),
      kernels_(&scan_kernels_for(options.tuning.isa)),
      reemit_first_(!options.has_headers) {
    if (options_.tuning.chunk_size == 0) options_.tuning.chunk_size = 1;
}

void CsvTokenizer::continue_in(std::span<const std::uint8_t> input, std::uint64_t offset) {
    input_ = input.data();
    input_size_ = input.size();
    offset_ = offset;
    position_ = 0;
    window_end_ = 0;
}

Result<bool> CsvTokenizer::read_headers() {
    if (!options_.mid_file && offset_ == 0 && position_ == 0 && input_size_ >= 3 &&
        input_[0] == 0xEF && input_[1] == 0xBB && input_[2] == 0xBF) {
        position_ = 3;
    }
    // headers_read_ is still false, so the field count is not checked here.
    Result<ReadOutcome> first = read_record(header_record_);
    if (!first) return std::move(first).error();
    if (*first == ReadOutcome::EndOfInput) reemit_first_ = false;
    headers_read_ = true;
    return true;
}

// Ends the record at a line end or at the end of input. A CR just before the
// line end is part of the terminator, but only when it lies inside the last
// field: after `"a\r",` the CR belongs to the previous (quoted) field and stays.
inline void CsvTokenizer::end_record(RawRecord& record, std::uint64_t field_start) {
    if (record.size() > field_start && record.data()[record.size() - 1] == kCarriageReturn) {
        record.drop_last_byte();
    }
    record.spans.push_back({field_start, record.size()});
    quote_state_ = QuoteState::Unquoted;
}

bool CsvTokenizer::after_quote(RawRecord& record, std::uint64_t& field_start) {
    const std::uint8_t byte = input_[position_];
    if (byte == options_.quote) {
        // A doubled quote stands for one quote; the quoted stretch goes on.
        record.storage().push_back(options_.quote);
        ++position_;
        quote_state_ = QuoteState::InQuotes;
        return false;
    }
    if (byte == options_.delimiter) {
        record.spans.push_back({field_start, record.size()});
        field_start = record.size();
        ++position_;
        quote_state_ = QuoteState::Unquoted;
        return false;
    }
    const bool crlf = byte == kCarriageReturn && position_ + 1 < input_size_ &&
                      input_[position_ + 1] == kLineFeed;
    if (crlf || byte == kLineFeed) {
        record.spans.push_back({field_start, record.size()});
        position_ += crlf ? 2 : 1;
        quote_state_ = QuoteState::Unquoted;
        return true;
    }
    // Text after a closing quote joins the same field: `"ab"cd` is `abcd`.
    // The byte is read again in the unquoted state.
    quote_state_ = QuoteState::Unquoted;
    return false;
}

Result<ReadOutcome> CsvTokenizer::read_record(RawRecord& record) {
    const std::uint64_t record_start = reemit_first_ ? 0 : offset_ + position_;
    record.clear();
    // Every record starts unquoted, at a line start. Lines of nothing but CR
    // and LF bytes hold no record.
    while (position_ < input_size_ &&
           (input_[position_] == kLineFeed || input_[position_] == kCarriageReturn)) {
        ++position_;
    }
    if (position_ == input_size_) return ReadOutcome::EndOfInput;
    std::uint64_t field_start = 0;
    if (!options_.tuning.simple_records || !read_simple_record(record, field_start)) {
        read_general_record(record, field_start);
    }
    ++records_read_;
    // Mid-file, the first record read is checked too: the file's first
    // record is elsewhere.
    if (!options_.flexible && (headers_read_ || options_.mid_file) &&
        record.spans.size() != expected_fields()) {
        return Error(ErrorKind::Value, field_count_error(record_start, record.spans.size()));
    }
    return ReadOutcome::Record;
}

std::size_t CsvTokenizer::read_batch(RecordBatch& batch) {
    using namespace tokenizer_bytes;
    const std::uint8_t delimiter = options_.delimiter;
    if (!options_.tuning.batch_records || !headers_read_ || reemit_first_ ||
        delimiter == options_.quote || delimiter == kLineFeed || delimiter == kCarriageReturn) {
        return 0;
    }
    batch.expected_fields = options_.flexible ? 0 : expected_fields();
    const BatchScan scan{input_ + position_, static_cast<std::size_t>(input_size_ - position_),
                         delimiter, options_.quote};
    const BatchResult result = kernels_->read_record_batch(scan, batch);
    position_ += result.consumed;
    records_read_ += result.records;
    return result.records;
}

// The full state machine, window by window, for any record, from the start
// of a field (`field_start`, the end of the record's bytes so far).
void CsvTokenizer::read_general_record(RawRecord& record, std::uint64_t field_start) {
    quote_state_ = QuoteState::Unquoted;
    for (;;) {
        if (position_ >= window_end_) {
            window_end_ =
                std::min<std::uint64_t>(position_ + options_.tuning.chunk_size, input_size_);
            if (position_ >= window_end_) {
                // An unterminated last line (or quote) ends the record.
                end_record(record, field_start);
                return;
            }
        }
        const std::uint8_t* const here = input_ + position_;
        const std::size_t available = static_cast<std::size_t>(window_end_ - position_);
        // Scanned a slice at a time, so room for every delimiter of the slice
        // stays small whatever the window size.
        const std::size_t slice = std::min(available, kScanSlice);
        if (quote_state_ == QuoteState::Unquoted) {
            // A delimiter that is also the quote byte only ever delimits.
            if (*here == options_.quote && options_.quote != options_.delimiter) {
                quote_state_ = QuoteState::InQuotes;
                ++position_;
                continue;
            }
            const UnquotedScan scan{here, slice, options_.delimiter, options_.quote, record.size()};
            record.spans.reserve_extra(slice);
            const std::size_t stop = kernels_->scan_unquoted(scan, field_start, record.spans);
            // The stretch goes to the record in one copy, delimiters and all.
            record.storage().append(here, stop);
            if (stop == slice) {
                position_ += slice;
                continue;
            }
            position_ += stop + 1;
            if (here[stop] == kLineFeed) {
                end_record(record, field_start);
                return;
            }
            // A quote inside an unquoted field is malformed. It is treated
            // like one at the field's start: it opens a quoted stretch that
            // joins the same field, and neither it nor its closing quote is
            // kept, while the bytes before it are: `ab"c,d"e` is `abc,de`.
            // Field and record boundaries are those of the quoted stretch.
            quote_state_ = QuoteState::InQuotes;
        } else if (quote_state_ == QuoteState::InQuotes) {
            // Delimiters, CR and LF are plain field bytes here.
            const std::size_t quote = kernels_->find_byte(here, available, options_.quote);
            record.storage().append(here, quote);
            if (quote == available) {
                position_ = window_end_;
                continue;
            }
            position_ += quote + 1;
            quote_state_ = QuoteState::AfterQuote;
        } else if (after_quote(record, field_start)) {
            return;
        }
    }
}

std::string CsvTokenizer::field_count_error(std::uint64_t record_start, std::size_t found) const {
    std::string record;
    if (options_.mid_file) {
        // How many records lie before this part of the file is not known
        // here; the byte offset in the whole file is.
        record = "record at byte " + std::to_string(options_.mid_file->file_offset + record_start);
    } else {
        // Data records are numbered from 1; the header line is not counted.
        std::uint64_t index = records_read_;
        if (options_.has_headers && index > 0) --index;
        record =
            "record " + std::to_string(index) + " (byte: " + std::to_string(record_start) + ")";
    }
    return "CSV error: " + record + ": found record with " + std::to_string(found) +
           " fields, but the previous record has " + std::to_string(expected_fields()) + " fields";
}

}  // namespace brelt
