// A file's text in runs of whole records, for a parse that never holds all of
// it: every run but the last ends just after a line feed that ends a record,
// so the tokenizer reads each run as if it were the whole input and goes on in
// the next (CsvTokenizer::continue_in). The next run is read (decompressed),
// decoded and cut on the worker pool while the caller parses the current one.
// Memory: two runs of about kRunBytes, plus the longest record.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/result.hpp"
#include "input/text_reader.hpp"
#include "parallel/worker_pool.hpp"

namespace brelt {

inline constexpr std::size_t kRunBytes = 4 << 20;

class TextRuns {
  public:
    struct Run {
        std::span<const std::uint8_t> text;
        std::uint64_t offset = 0;  // where `text` begins in the whole text
        bool last = false;
    };

    // Runs hold `run_bytes` or a little more (tests make it small).
    explicit TextRuns(std::unique_ptr<TextReader> reader, std::size_t run_bytes = kRunBytes)
        : reader_(std::move(reader)), run_bytes_(run_bytes) {}
    // Waits for a run still being made.
    ~TextRuns();
    TextRuns(const TextRuns&) = delete;
    TextRuns& operator=(const TextRuns&) = delete;

    // The start of the text, read before the first run is cut: at least its
    // first 20 lines and 4 KiB, or all of a shorter text; what the delimiter
    // is guessed from. Valid until first().
    Result<std::string_view> head();
    // The first run, cut at the records of `delimiter`'s dialect: a line feed
    // ends a record outside quotes, every '"' opens or closes them (unless it
    // is the delimiter), and a line feed delimiter delimits everywhere but in
    // a CR LF after a closing quote.
    Result<Run> first(char delimiter);
    // The run after the last one handed out, whose text may then be reused.
    Result<Run> next();
    // From now on each run is made on the pool while the one before it is
    // parsed; until then, on the caller's thread when asked for (so a read
    // that ends early never starts the pool).
    void read_ahead();

    const TextReader& reader() const { return *reader_; }
    // How many of the file's bytes the runs handed out so far came from.
    std::uint64_t file_position() const { return position_.load(std::memory_order_relaxed); }

  private:
    Result<bool> read_more(std::string& text);
    Result<Run> make_run(std::string& text, bool text_begun);
    void start_next_run();

    std::unique_ptr<TextReader> reader_;
    std::size_t run_bytes_;
    bool reader_done_ = false;
    std::optional<Error> failure_;  // met reading, after the text before it was handed out
    char delimiter_ = ',';
    std::string texts_[2];
    std::size_t current_ = 0;  // the text of the run handed out last
    std::string carry_;        // text after the last cut, the next run's start
    std::uint64_t next_offset_ = 0;
    bool reading_ahead_ = false;
    bool last_handed_out_ = false;
    std::optional<PoolJob> pending_;  // making the run after the current one
    std::optional<Result<Run>> made_;
    std::uint64_t made_position_ = 0;
    std::atomic<std::uint64_t> position_{0};
};

}  // namespace brelt
