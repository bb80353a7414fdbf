// The CSV record tokenizer: a resumable state machine that splits bytes into
// records and fields, one record per call.
//
// Dialect: a one-byte delimiter; a quote byte (always '"' in this library)
// that opens and closes quoted stretches, inside which a doubled quote stands
// for one quote; records end at LF or CR LF; lines made only of CR and LF
// bytes are skipped; a UTF-8 byte-order mark is skipped at the very start.
// Malformed quoting is never an error: see read_general_record for what it
// reads as.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/isa.hpp"
#include "common/result.hpp"
#include "tokenizer/raw_record.hpp"
#include "tokenizer/scan.hpp"

namespace brelt {

enum class QuoteState : std::uint8_t {
    Unquoted = 0,
    InQuotes = 1,
    AfterQuote = 2,  // just after a closing quote
};

// How records are found, not what they are: every setting gives the same
// records. Tests and benchmarks vary them.
struct ScanTuning {
    Isa isa = active_isa();
    // How much input one window of the general path covers. Tests shrink it
    // to put window edges everywhere.
    std::size_t chunk_size = 8192;
    // Read records of plain and simply quoted fields straight from the input
    // (see read_simple_record); off only to test the general path alone.
    bool simple_records = true;
    // Let parse_table read records in batches straight into its table (see
    // read_batch); off only to test the record-at-a-time path alone.
    bool batch_records = true;
};

// An input that is a later part of a file, beginning at one of its record
// starts (a partition): it has no byte-order mark and no header line of its
// own, and its records are checked against the file's first record.
struct MidFile {
    std::size_t first_record_fields = 0;
    std::uint64_t file_offset = 0;  // where input[0] lies in the file
};

struct TokenizerOptions {
    std::uint8_t delimiter = ',';
    std::uint8_t quote = '"';
    bool has_headers = true;
    // When false, every record must have as many fields as the first one.
    bool flexible = true;
    // With has_headers false only.
    std::optional<MidFile> mid_file;
    ScanTuning tuning;
};

enum class ReadOutcome : std::uint8_t { Record, EndOfInput };

class CsvTokenizer {
  public:
    // `input` is only read, and must outlive the tokenizer.
    CsvTokenizer(std::span<const std::uint8_t> input, const TokenizerOptions& options);

    // First call only: skips a byte-order mark and reads the first record
    // into header_record(). Fails only under a broken invariant.
    Result<bool> ensure_headers() {
        if (headers_read_) return true;
        return read_headers();
    }

    // Reads the next record into `record` (cleared first). The only error is
    // a field count that differs from the first record's when not flexible.
    Result<ReadOutcome> read_record(RawRecord& record);

    // Reads whole records straight into `batch` (see record_batch.hpp),
    // from a record start, once the first record has been handed out: as many
    // as it can, stopping before a record that needs the record-at-a-time
    // path (rare quoting, a blank line, a field-count error, the end of input
    // without a line feed) or breaks one of the batch's limits. Returns the
    // records read; the next read_record goes on after them.
    std::size_t read_batch(RecordBatch& batch);

    const RawRecord& header_record() const { return header_record_; }
    // Set while the first record, read as header_record(), still has to be
    // handed out as the first data record (no header line).
    bool reemit_first() const { return reemit_first_; }
    void clear_reemit_first() { reemit_first_ = false; }

    // Goes on in `input`, the text that follows all that was read so far,
    // from a record start: for a text that arrives a run at a time. `offset`
    // is where `input` begins in the whole text. The header record keeps its
    // field count, not its bytes.
    void continue_in(std::span<const std::uint8_t> input, std::uint64_t offset);

    // Counted from the start of the whole text, as are error messages.
    std::uint64_t byte_position() const { return offset_ + position_; }
    std::uint64_t records_read() const { return records_read_; }

  private:
    Result<bool> read_headers();
    std::string field_count_error(std::uint64_t record_start, std::size_t found) const;
    // The field count every record must have when not flexible.
    std::size_t expected_fields() const {
        return options_.mid_file ? options_.mid_file->first_record_fields
                                 : header_record_.spans.size();
    }
    // False when the record goes on in the general path, from field_start.
    bool read_simple_record(RawRecord& record, std::uint64_t& field_start);
    void read_general_record(RawRecord& record, std::uint64_t field_start);
    // Handles a byte after a closing quote; returns true when the record ended.
    bool after_quote(RawRecord& record, std::uint64_t& field_start);
    void end_record(RawRecord& record, std::uint64_t field_start);

    const std::uint8_t* input_;
    std::uint64_t input_size_;
    TokenizerOptions options_;
    const ScanKernels* kernels_;

    QuoteState quote_state_ = QuoteState::Unquoted;
    // The current window is input_[position_, window_end_); position_ is also
    // the count of bytes consumed so far.
    std::uint64_t position_ = 0;
    std::uint64_t window_end_ = 0;
    std::uint64_t offset_ = 0;  // where input_ begins in the whole text
    std::uint64_t records_read_ = 0;

    RawRecord header_record_;
    bool headers_read_ = false;
    bool reemit_first_;
};

}  // namespace brelt
