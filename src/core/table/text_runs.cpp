#include "table/text_runs.hpp"

#include <algorithm>

#include "input/sniff.hpp"

namespace brelt {

namespace {

constexpr std::size_t kHeadBytes = 4096;

// A line feed delimiter ends no record but in the one place where the
// tokenizer looks for a line end before a delimiter: a CR LF just after a
// closing quote. `end` is just after the line feed.
bool ends_after_quote(std::string_view text, std::size_t end) {
    return end >= 3 && text[end - 2] == '\r' && text[end - 3] == '"';
}

// Blank lines after a record are skipped as the next record is looked for,
// and a record's error message gives the offset where that look began: so a
// run ends just after the record's own line feed, the first in the block of
// CR and LF bytes that holds the line feed just before `end`.
std::size_t just_after_record(std::string_view text, std::size_t end) {
    std::size_t block = end - 1;
    while (block > 0 && (text[block - 1] == '\n' || text[block - 1] == '\r'))
        --block;
    return text.find('\n', block) + 1;
}

// Where a run of text that begins at a record start may end: just after the
// last line feed in text[from, end) that ends a record, given `quoted`, the
// parity of the quotes in text[0, from); 0 when there is none. `quoted` is
// updated to the parity of text[0, end).
//
// Every quote byte flips between inside and outside quotes (a doubled quote
// flips twice), so a line feed ends a record exactly when an even number of
// quotes precedes it. Counting is one vectorised pass; the walk back from the
// end usually stops within the last line.
std::size_t last_record_end(std::string_view text, std::size_t from, char delimiter, bool& quoted) {
    const bool quotes_count = delimiter != '"';
    const auto quotes =
        quotes_count ? std::count(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), '"')
                     : 0;
    const bool quoted_at_end = quoted != ((quotes & 1) != 0);
    bool inside = quoted_at_end;
    std::size_t found = 0;
    for (std::size_t i = text.size(); i > from; --i) {
        const char byte = text[i - 1];
        if (byte == '"' && quotes_count) {
            inside = !inside;
        } else if (byte == '\n' && !inside && (delimiter != '\n' || ends_after_quote(text, i))) {
            found = just_after_record(text, i);
            break;
        }
    }
    quoted = quoted_at_end;
    return found;
}

// Whether text[0, end) holds a record: lines of nothing but CR and LF do not.
bool holds_a_record(std::string_view text, std::size_t end) {
    const std::size_t first = text.find_first_not_of("\r\n");
    return first != std::string_view::npos && first < end;
}

}  // namespace

Result<std::string_view> TextRuns::head() {
    std::string& head = texts_[0];
    std::size_t line_feeds = static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n'));
    while (!reader_done_ && (line_feeds < kSniffLineLimit || head.size() < kHeadBytes)) {
        const std::size_t before = head.size();
        if (auto more = read_more(head); !more.ok()) return std::move(more).error();
        line_feeds += static_cast<std::size_t>(
            std::count(head.begin() + static_cast<std::ptrdiff_t>(before), head.end(), '\n'));
    }
    return std::string_view(head);
}

TextRuns::~TextRuns() {
    pending_.reset();
}

Result<bool> TextRuns::read_more(std::string& text) {
    auto more = reader_->read(text);
    if (!more.ok()) return std::move(more).error();
    if (!*more) reader_done_ = true;
    return true;
}

Result<TextRuns::Run> TextRuns::make_run(std::string& text, bool text_begun) {
    if (failure_) return *failure_;
    if (!text_begun) text.assign(carry_);
    carry_.clear();
    bool quoted = false;  // a run begins at a record start
    std::size_t scanned = 0;
    std::size_t cut = 0;
    for (;;) {
        if (text.size() > scanned) {
            if (const std::size_t end = last_record_end(text, scanned, delimiter_, quoted)) {
                cut = end;
            }
            scanned = text.size();
        }
        if (reader_done_) {
            cut = text.size();
            break;
        }
        if (cut != 0 && text.size() >= run_bytes_ && holds_a_record(text, cut)) break;
        if (auto more = read_more(text); !more.ok()) {
            // The records before the failure are a run of their own, so the
            // error comes out of the piece that reaches it.
            if (cut == 0 || !holds_a_record(text, cut)) return std::move(more).error();
            failure_ = std::move(more).error();
            break;
        }
    }
    carry_.assign(text, cut);
    text.resize(cut);
    Run run{{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
            next_offset_,
            reader_done_};
    next_offset_ += cut;
    return run;
}

Result<TextRuns::Run> TextRuns::first(char delimiter) {
    delimiter_ = delimiter;
    auto run = make_run(texts_[0], true);
    if (!run.ok()) return run;
    position_.store(reader_->bytes().file_position(), std::memory_order_relaxed);
    last_handed_out_ = run->last;
    return run;
}

void TextRuns::start_next_run() {
    pending_.emplace(1, [this](std::size_t) {
        made_ = make_run(texts_[current_ ^ 1], false);
        made_position_ = reader_->bytes().file_position();
    });
}

void TextRuns::read_ahead() {
    if (reading_ahead_) return;
    reading_ahead_ = true;
    if (!last_handed_out_ && !pending_) start_next_run();
}

Result<TextRuns::Run> TextRuns::next() {
    if (last_handed_out_) return Error(ErrorKind::Internal, "no run after the last one");
    if (pending_) {
        pending_->wait();
        pending_.reset();
    } else {
        made_ = make_run(texts_[current_ ^ 1], false);
        made_position_ = reader_->bytes().file_position();
    }
    Result<Run> run = std::move(*made_);
    made_.reset();
    if (!run.ok()) return run;
    current_ ^= 1;
    position_.store(made_position_, std::memory_order_relaxed);
    last_handed_out_ = run->last;
    if (reading_ahead_ && !run->last) start_next_run();
    return run;
}

}  // namespace brelt
