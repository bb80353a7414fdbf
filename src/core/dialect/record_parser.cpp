#include "dialect/record_parser.hpp"

#include <algorithm>

#include "dialect/dialect_scan.hpp"

namespace brelt::dialect {

namespace {

constexpr std::uint8_t kLineFeed = '\n';
constexpr std::uint8_t kCarriageReturn = '\r';

// The longest stretch one kernel call scans, so the room it needs for field
// spans stays bounded.
constexpr std::size_t kScanChunk = 1 << 12;

bool is_continuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

std::uint64_t count_characters(const std::uint8_t* data, std::size_t size) {
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < size; ++i)
        count += is_continuation(data[i]) ? 0 : 1;
    return count;
}

// What the character at a position is to the dialect; a character may be
// several things at once when the settings share it.
struct CharClass {
    enum : std::uint8_t {
        kLineBreak = 1,  // CR or LF
        kDelimiter = 2,
        kQuote = 4,  // the quote character, when quotes quote
        kEscape = 8,
        kSpace = 16,
    };
    std::uint8_t kinds = 0;
    std::uint8_t size = 1;
    bool is(std::uint8_t kind) const { return (kinds & kind) != 0; }
};

class RecordParser {
  public:
    RecordParser(const ParseInput& input, const DialectOptions& options, ParsedRecords& out)
        : in_(input),
          options_(options),
          kernels_(dialect_kernels_for(options.isa)),
          out_(out),
          field_limit_(options.field_limit < 0 ? 0
                                               : static_cast<std::uint64_t>(options.field_limit)),
          quote_(options.quotes_are_text ? DialectChar{} : options.quote) {
        prepare_stops();
        line_stop_ =
            in_.explicit_lines ? (in_.line_count != 0 ? in_.line_ends[0] : in_.size) : in_.size;
    }

    ParseProgress run() {
        while (line_available()) {
            begin_record();
            if (parse_record() == Step::NeedInput) {
                rollback();
                break;
            }
        }
        return {pos_, line_index_};
    }

  private:
    enum class State : std::uint8_t {
        StartRecord,
        StartField,
        EscapedChar,
        InField,
        InQuotedField,
        EscapeInQuotedField,
        QuoteInQuotedField,
        EatCrNl,
        AfterEscapedCrNl,
    };
    enum class Step : std::uint8_t { Continue, RecordDone, NeedInput };

    // ---- the stop bytes of the vector searches ----

    void prepare_stops() {
        std::uint8_t unquoted[kStopBytes];
        std::size_t count = 0;
        unquoted[count++] = kLineFeed;
        unquoted[count++] = kCarriageReturn;
        // A quote matters at the start of a field only, and a space only
        // where skipinitialspace drops it; both stop the scan and the
        // character-by-character step decides.
        if (quote_.is_set()) unquoted[count++] = quote_.lead();
        if (options_.escape.is_set()) unquoted[count++] = options_.escape.lead();
        if (options_.skipinitialspace) unquoted[count++] = ' ';
        // A delimiter of several bytes is matched by the step as well.
        single_byte_delimiter_ = options_.delimiter.size == 1;
        if (!single_byte_delimiter_) unquoted[count++] = options_.delimiter.lead();
        for (std::size_t k = 0; k < kStopBytes; ++k)
            unquoted_scan_.stops[k] = unquoted[k < count ? k : 0];
        const auto is_line_break = [](const DialectChar& c) {
            return c.is_set() && (c.lead() == kLineFeed || c.lead() == kCarriageReturn);
        };
        plain_line_breaks_ = !is_line_break(options_.delimiter) && !is_line_break(quote_) &&
                             !is_line_break(options_.escape);
        // A quote of one byte that is no other dialect character: where it
        // opens or closes a field, the steps it takes are known.
        plain_quote_ = quote_.size == 1 && single_byte_delimiter_ && plain_line_breaks_ &&
                       quote_.lead() != options_.delimiter.lead() &&
                       !(options_.escape.is_set() && options_.escape.lead() == quote_.lead());
        plain_closing_quote_ = plain_quote_ && options_.doublequote;
        // With no delimiter of one byte, the delimiter given never matches:
        // a byte that is also a stop stops.
        unquoted_scan_.delimiter =
            single_byte_delimiter_ ? options_.delimiter.lead() : unquoted_scan_.stops[0];
        unquoted_scan_.data = in_.data;

        pieced_stops_[0] = kLineFeed;
        pieced_stops_[1] = kCarriageReturn;
        pieced_stops_[2] = options_.delimiter.lead();
        pieced_stops_[3] = options_.escape.is_set() ? options_.escape.lead() : kLineFeed;

        std::uint8_t quoted[4];
        count = 0;
        quoted[count++] = quote_.is_set() ? quote_.lead() : kLineFeed;
        if (options_.escape.is_set()) quoted[count++] = options_.escape.lead();
        // Line breaks inside quotes are text, but without explicit lines
        // each one may end a line, which must be counted.
        if (!in_.explicit_lines) {
            quoted[count++] = kLineFeed;
            quoted[count++] = kCarriageReturn;
        }
        for (std::size_t k = 0; k < 4; ++k)
            quoted_stops_[k] = quoted[k < count ? k : 0];
    }

    // ---- lines ----

    bool line_available() const {
        return in_.explicit_lines ? line_index_ < in_.line_count : pos_ < in_.size;
    }

    // The end of what the current line may hold.
    std::size_t line_limit() const { return in_.explicit_lines ? line_stop_ : in_.size; }

    void next_line() {
        if (in_.explicit_lines) {
            ++line_index_;
            line_stop_ = line_index_ < in_.line_count ? in_.line_ends[line_index_] : in_.size;
        }
        line_start_ = pos_;
    }

    // ---- records ----

    void begin_record() {
        state_ = State::StartRecord;
        lines_ = 0;
        record_start_ = pos_;
        record_line_index_ = line_index_;
        fields_mark_ = out_.fields.size();
        side_mark_ = out_.side_text.size();
        field_lines_mark_ = out_.field_lines.size();
        reset_field();
    }

    void truncate_record() {
        out_.fields.set_size(fields_mark_);
        out_.side_text.set_size(side_mark_);
        out_.field_lines.set_size(field_lines_mark_);
    }

    void rollback() {
        truncate_record();
        pos_ = record_start_;
        line_index_ = record_line_index_;
        line_start_ = record_start_;
        line_stop_ = in_.explicit_lines && line_index_ < in_.line_count ? in_.line_ends[line_index_]
                                                                        : in_.size;
    }

    void push_entry(RecordStatus status, std::uint64_t lines) {
        const auto count = static_cast<std::uint32_t>(out_.fields.size() - fields_mark_);
        out_.records.push_back({fields_mark_, record_start_, lines, count, status});
    }

    Step commit_row() {
        push_entry(RecordStatus::Row, lines_);
        return Step::RecordDone;
    }

    // Fields saved before a failure stay with it when fields are converted
    // afterwards: the csv module converts each as it is saved, so one of
    // them may fail first.
    void drop_failed_fields() {
        if (!options_.record_field_lines) truncate_record();
    }

    // The record fails on the current line; its rest is dropped. At an
    // end-of-line event that line is already over.
    Step fail(RecordStatus status, bool at_line_end = false) {
        drop_failed_fields();
        if (!at_line_end && !skip_rest_of_line()) return Step::NeedInput;
        next_line();
        push_entry(status, lines_ + 1);
        return Step::RecordDone;
    }

    bool skip_rest_of_line() {
        if (in_.explicit_lines) {
            pos_ = line_stop_;
            return true;
        }
        const std::size_t size = in_.size;
        std::size_t p = pos_;
        while (p < size && in_.data[p] != kLineFeed && in_.data[p] != kCarriageReturn)
            ++p;
        if (p == size) {
            pos_ = size;
            return in_.final;
        }
        if (in_.data[p] == kCarriageReturn) {
            if (p + 1 == size && !in_.final) return false;
            if (p + 1 < size && in_.data[p + 1] == kLineFeed) ++p;
        }
        pos_ = p + 1;
        return true;
    }

    Step parse_record() {
        for (;;) {
            if (in_.explicit_lines) {
                if (line_index_ == in_.line_count) return end_of_input();
                if (pos_ == line_stop_) {
                    const Step step = end_of_line();
                    if (step != Step::Continue) return step;
                    continue;
                }
            } else if (pos_ == in_.size) {
                // The last line, without a line break, ends with the input.
                if (!in_.final) return Step::NeedInput;
                if (pos_ == line_start_) return end_of_input();
                const Step step = end_of_line();
                if (step != Step::Continue) return step;
                continue;
            }
            Step step;
            switch (state_) {
                case State::StartRecord:
                    if (in_.data[pos_] == kLineFeed || in_.data[pos_] == kCarriageReturn) {
                        step = char_step();
                        break;
                    }
                    state_ = State::StartField;
                    [[fallthrough]];
                case State::StartField:
                case State::InField:
                    step = unquoted_run();
                    break;
                case State::InQuotedField:
                    step = quoted_run();
                    break;
                case State::AfterEscapedCrNl:
                    step = pieced_run();
                    break;
                default:
                    step = char_step();
                    break;
            }
            if (step != Step::Continue) return step;
        }
    }

    // The input ended after a whole line. As the csv module does at the end
    // of its input: a field with text, or an open quoted one, ends the
    // record (strict: an error); otherwise what was read gives no row.
    Step end_of_input() {
        if (state_ == State::StartRecord) return Step::RecordDone;  // nothing started
        if (!in_.final) return Step::NeedInput;
        if (field_size() != 0 || state_ == State::InQuotedField) {
            if (options_.strict) {
                drop_failed_fields();
                push_entry(RecordStatus::UnexpectedEnd, lines_);
                return Step::RecordDone;
            }
            // on the last line, whose end-of-line event has passed
            save_field_on_line(lines_ - 1);
            return commit_row();
        }
        drop_failed_fields();
        push_entry(RecordStatus::Dropped, lines_);
        return Step::RecordDone;
    }

    Step end_of_line() {
        switch (state_) {
            case State::StartRecord:
                break;  // an empty line: a record without fields
            case State::StartField:
            case State::InField:
            case State::QuoteInQuotedField:
                save_field();
                state_ = State::StartRecord;
                break;
            case State::EscapedChar:
                if (!add_line_feed()) return fail(RecordStatus::FieldTooLarge, true);
                state_ = State::InField;
                break;
            case State::EscapeInQuotedField:
                if (!add_line_feed()) return fail(RecordStatus::FieldTooLarge, true);
                state_ = State::InQuotedField;
                break;
            case State::EatCrNl:
                state_ = State::StartRecord;
                break;
            case State::InQuotedField:
            case State::AfterEscapedCrNl:
                break;
        }
        ++lines_;
        next_line();
        return state_ == State::StartRecord ? commit_row() : Step::Continue;
    }

    // Without explicit lines, a line ends after LF, and after a CR that no
    // LF follows.
    Step after_char(std::uint8_t first_byte) {
        if (in_.explicit_lines) return Step::Continue;
        if (first_byte == kLineFeed) return end_of_line();
        if (first_byte != kCarriageReturn) return Step::Continue;
        if (pos_ < in_.size) {
            if (in_.data[pos_] != kLineFeed) return end_of_line();
            if (state_ != State::EatCrNl) return Step::Continue;
            ++pos_;  // EAT_CRNL passes over the LF of a CR LF
            return end_of_line();
        }
        return in_.final ? end_of_line() : Step::NeedInput;
    }

    // ---- one character ----

    // nullopt-like: kinds with size 0 when a dialect character may be cut
    // off by the end of the input.
    CharClass classify(std::size_t p, bool& cut) const {
        const std::uint8_t* at = in_.data + p;
        const std::uint8_t* end = in_.data + line_limit();
        CharClass c;
        if (*at == kLineFeed || *at == kCarriageReturn) c.kinds |= CharClass::kLineBreak;
        if (*at == ' ') c.kinds |= CharClass::kSpace;
        const DialectChar* settings[] = {&options_.delimiter, &quote_, &options_.escape};
        const std::uint8_t kinds[] = {CharClass::kDelimiter, CharClass::kQuote, CharClass::kEscape};
        cut = false;
        for (std::size_t k = 0; k < 3; ++k) {
            if (settings[k]->at(at, end)) {
                c.kinds |= kinds[k];
                c.size = settings[k]->size;
            } else if (!in_.final && !in_.explicit_lines && settings[k]->cut_at(at, end)) {
                cut = true;
            }
        }
        return c;
    }

    Step char_step() {
        bool cut = false;
        const CharClass c = classify(pos_, cut);
        if (cut) return Step::NeedInput;
        const std::size_t at = pos_;
        const std::uint8_t first_byte = in_.data[at];
        switch (state_) {
            case State::StartRecord:
                if (c.is(CharClass::kLineBreak)) {
                    state_ = State::EatCrNl;
                    break;
                }
                state_ = State::StartField;
                [[fallthrough]];
            case State::StartField:
                if (c.is(CharClass::kLineBreak)) {
                    save_field();
                    state_ = State::EatCrNl;
                } else if (c.is(CharClass::kQuote)) {
                    field_flags_ |= FieldSpan::kQuoted;
                    state_ = State::InQuotedField;
                } else if (c.is(CharClass::kEscape)) {
                    field_flags_ |= FieldSpan::kEscapeStart;
                    state_ = State::EscapedChar;
                } else if (c.is(CharClass::kSpace) && options_.skipinitialspace) {
                    // spaces at the start of a field are dropped
                } else if (c.is(CharClass::kDelimiter)) {
                    save_field();
                } else {
                    if (!add_input(at, c.size)) return fail(RecordStatus::FieldTooLarge);
                    state_ = State::InField;
                }
                break;
            case State::EscapedChar:
                if (!add_input(at, c.size)) return fail(RecordStatus::FieldTooLarge);
                state_ = c.is(CharClass::kLineBreak) ? State::AfterEscapedCrNl : State::InField;
                break;
            case State::AfterEscapedCrNl:
            case State::InField:
                // Text keeps AFTER_ESCAPED_CRNL as it is, so the end of its
                // line does not end the record either.
                if (c.is(CharClass::kLineBreak)) {
                    save_field();
                    state_ = State::EatCrNl;
                } else if (c.is(CharClass::kEscape)) {
                    state_ = State::EscapedChar;
                } else if (c.is(CharClass::kDelimiter)) {
                    save_field();
                    state_ = State::StartField;
                } else if (!add_input(at, c.size)) {
                    return fail(RecordStatus::FieldTooLarge);
                }
                break;
            case State::InQuotedField:
                if (c.is(CharClass::kEscape)) {
                    state_ = State::EscapeInQuotedField;
                } else if (c.is(CharClass::kQuote)) {
                    state_ = options_.doublequote ? State::QuoteInQuotedField : State::InField;
                } else if (!add_input(at, c.size)) {
                    return fail(RecordStatus::FieldTooLarge);
                }
                break;
            case State::EscapeInQuotedField:
                if (!add_input(at, c.size)) return fail(RecordStatus::FieldTooLarge);
                state_ = State::InQuotedField;
                break;
            case State::QuoteInQuotedField:
                if (c.is(CharClass::kQuote)) {
                    // a doubled quote stands for one
                    if (!add_input(at, c.size)) return fail(RecordStatus::FieldTooLarge);
                    state_ = State::InQuotedField;
                } else if (c.is(CharClass::kDelimiter)) {
                    save_field();
                    state_ = State::StartField;
                } else if (c.is(CharClass::kLineBreak)) {
                    save_field();
                    state_ = State::EatCrNl;
                } else if (!options_.strict) {
                    if (!add_input(at, c.size)) return fail(RecordStatus::FieldTooLarge);
                    state_ = State::InField;
                } else {
                    return fail(RecordStatus::QuoteNotFollowed);
                }
                break;
            case State::EatCrNl:
                if (!c.is(CharClass::kLineBreak)) return fail(RecordStatus::LineBreakInField);
                break;
        }
        pos_ = at + c.size;
        return after_char(first_byte);
    }

    // ---- runs of plain text ----

    // START_FIELD or IN_FIELD: every delimiter up to the next byte that
    // needs a closer look ends a field. The vector scan applies while the
    // open field is one stretch of the input ending here.
    Step unquoted_run() {
        if (composite_ || (state_ == State::InField && field_end_ != pos_)) return pieced_run();
        const std::size_t to = std::min(line_limit(), pos_ + kScanChunk);
        out_.fields.reserve_extra(to - pos_ + 1);
        const std::size_t first_new = out_.fields.size();
        std::uint64_t field_start = state_ == State::StartField ? pos_ : field_start_;
        unquoted_scan_.from = pos_;
        unquoted_scan_.to = to;
        const std::size_t stop = kernels_.scan_fields(unquoted_scan_, field_start, out_.fields);
        const std::size_t ended = out_.fields.size() - first_new;
        if (ended == 0 && stop == pos_) {
            // Nothing before the stop: a quote opening the field, or a step.
            if (state_ == State::StartField && opens_quoted_field(stop)) return Step::Continue;
            return char_step();
        }
        if (ended != 0) {
            FieldSpan* spans = out_.fields.data() + first_new;
            spans[0].start |= field_flags_;
            std::size_t kept = 0;
            while (kept < ended && !too_large(spans[kept].offset(), spans[kept].end))
                ++kept;
            if (options_.record_field_lines) {
                const auto line = static_cast<std::uint32_t>(lines_);
                for (std::size_t i = 0; i < kept; ++i)
                    out_.field_lines.push_back(line);
            }
            if (kept < ended) {
                pos_ = static_cast<std::size_t>(spans[kept].end);
                out_.fields.set_size(first_new + kept);
                return fail(RecordStatus::FieldTooLarge);
            }
            reset_field();
        }
        pos_ = stop;
        if (stop > field_start) {
            if (ended != 0 || state_ == State::StartField) field_start_ = field_start;
            field_end_ = stop;
            state_ = State::InField;
            if (field_size() > field_limit_ && !within_limit()) {
                return fail(RecordStatus::FieldTooLarge);
            }
        } else {
            state_ = State::StartField;
        }
        // The usual stops, a line break that is no dialect character, and a
        // quote that opens a field, are taken here rather than in a step of
        // their own.
        if (state_ == State::StartField && stop < to && opens_quoted_field(stop)) {
            return Step::Continue;
        }
        const std::uint8_t byte = stop < to ? in_.data[stop] : 0;
        if (plain_line_breaks_ && (byte == kLineFeed || byte == kCarriageReturn)) {
            save_field();
            state_ = State::EatCrNl;
            pos_ = stop + 1;
            return after_char(byte);
        }
        return Step::Continue;
    }

    // START_FIELD at a quote that can be nothing else: the field is quoted.
    bool opens_quoted_field(std::size_t at) {
        if (!plain_quote_ || in_.data[at] != quote_.lead()) return false;
        field_flags_ |= FieldSpan::kQuoted;
        state_ = State::InQuotedField;
        pos_ = at + 1;
        return true;
    }

    // IN_FIELD for a field already put together from pieces, and
    // AFTER_ESCAPED_CRNL: text up to the next line break, delimiter or
    // escape joins the field.
    Step pieced_run() {
        const std::size_t stop = kernels_.find_stop(in_.data, pos_, line_limit(), pieced_stops_);
        if (stop == pos_) return char_step();
        const std::size_t from = pos_;
        pos_ = stop;
        if (!add_input(from, stop - from)) return fail(RecordStatus::FieldTooLarge);
        return Step::Continue;
    }

    // IN_QUOTED_FIELD: text up to the next quote, escape or line break.
    Step quoted_run() {
        const std::size_t to = line_limit();
        const std::size_t stop = kernels_.find_stop(in_.data, pos_, to, quoted_stops_);
        const bool moved = stop != pos_;
        if (moved) {
            const std::size_t from = pos_;
            pos_ = stop;
            if (!add_input(from, stop - from)) return fail(RecordStatus::FieldTooLarge);
        }
        if (stop == to) return Step::Continue;
        const std::uint8_t byte = in_.data[stop];
        // A line break inside quotes is text, and may end a line.
        if (plain_line_breaks_ && (byte == kLineFeed || byte == kCarriageReturn)) {
            if (!add_input(stop, 1)) return fail(RecordStatus::FieldTooLarge);
            pos_ = stop + 1;
            return after_char(byte);
        }
        // A doubled quote, and the usual end of a quoted field (its quote,
        // then a delimiter or a line break), without a step for each byte.
        if (plain_closing_quote_ && stop + 1 < to && byte == quote_.lead()) {
            const std::uint8_t next = in_.data[stop + 1];
            if (next == byte) {
                if (!add_input(stop + 1, 1)) return fail(RecordStatus::FieldTooLarge);
                pos_ = stop + 2;
                return Step::Continue;
            }
            if (next == unquoted_scan_.delimiter) {
                save_field();
                state_ = State::StartField;
                pos_ = stop + 2;
                return Step::Continue;
            }
            if (next == kLineFeed || next == kCarriageReturn) {
                save_field();
                state_ = State::EatCrNl;
                pos_ = stop + 2;
                return after_char(next);
            }
        }
        return moved ? Step::Continue : char_step();
    }

    // ---- the open field ----

    void reset_field() {
        composite_ = false;
        field_start_ = field_end_ = 0;
        field_flags_ = 0;
        counted_bytes_ = counted_characters_ = 0;
    }

    std::uint64_t field_size() const {
        return composite_ ? out_.side_text.size() - side_start_ : field_end_ - field_start_;
    }

    const std::uint8_t* field_data() const {
        return composite_ ? out_.side_text.data() + side_start_ : in_.data + field_start_;
    }

    void save_field() { save_field_on_line(lines_); }

    void save_field_on_line(std::uint64_t line) {
        if (composite_) {
            out_.fields.push_back({side_start_ | FieldSpan::kInSideText | field_flags_,
                                   static_cast<std::uint64_t>(out_.side_text.size())});
        } else {
            out_.fields.push_back({field_start_ | field_flags_, field_end_});
        }
        if (options_.record_field_lines)
            out_.field_lines.push_back(static_cast<std::uint32_t>(line));
        reset_field();
    }

    void make_composite() {
        side_start_ = out_.side_text.size();
        out_.side_text.append(in_.data + field_start_, field_end_ - field_start_);
        composite_ = true;
    }

    // Adds data[at, at + size) to the field; false when the field goes past
    // the limit.
    bool add_input(std::size_t at, std::size_t size) {
        if (composite_) {
            out_.side_text.append(in_.data + at, size);
        } else if (field_end_ == field_start_) {
            field_start_ = at;
            field_end_ = at + size;
        } else if (at == field_end_) {
            field_end_ += size;
        } else {
            make_composite();
            out_.side_text.append(in_.data + at, size);
        }
        return field_size() <= field_limit_ || within_limit();
    }

    // The line feed that an end-of-line event adds after an escape.
    bool add_line_feed() {
        if (!composite_) make_composite();
        out_.side_text.push_back(kLineFeed);
        return field_size() <= field_limit_ || within_limit();
    }

    // Whether the open field holds no more characters than the limit allows,
    // counting only the bytes added since the last count.
    bool within_limit() {
        const std::uint64_t size = field_size();
        counted_characters_ +=
            count_characters(field_data() + counted_bytes_, size - counted_bytes_);
        counted_bytes_ = size;
        return counted_characters_ <= field_limit_;
    }

    bool too_large(std::uint64_t start, std::uint64_t end) const {
        return end - start > field_limit_ &&
               count_characters(in_.data + start, end - start) > field_limit_;
    }

    const ParseInput& in_;
    const DialectOptions& options_;
    const DialectKernels& kernels_;
    ParsedRecords& out_;
    const std::uint64_t field_limit_;
    const DialectChar quote_;  // unset when quotes are text

    FieldScan unquoted_scan_{};
    bool single_byte_delimiter_ = true;
    bool plain_line_breaks_ = true;  // no dialect character is CR or LF
    bool plain_quote_ = false;
    bool plain_closing_quote_ = false;  // ... and doubled inside quotes
    std::uint8_t pieced_stops_[4]{};
    std::uint8_t quoted_stops_[4]{};

    std::size_t pos_ = 0;
    std::size_t line_index_ = 0;  // explicit lines: the current one
    std::size_t line_stop_ = 0;   // explicit lines: where the current one ends
    std::size_t line_start_ = 0;

    State state_ = State::StartRecord;
    std::uint64_t lines_ = 0;  // end-of-line events in the record so far
    std::size_t record_start_ = 0;
    std::size_t record_line_index_ = 0;
    std::size_t fields_mark_ = 0;
    std::size_t side_mark_ = 0;
    std::size_t field_lines_mark_ = 0;

    // The open field: input[field_start_, field_end_) while it is one
    // stretch of the input, side_text from side_start_ once it is not.
    bool composite_ = false;
    std::uint64_t field_start_ = 0;
    std::uint64_t field_end_ = 0;
    std::uint64_t side_start_ = 0;
    std::uint64_t field_flags_ = 0;
    std::uint64_t counted_bytes_ = 0;
    std::uint64_t counted_characters_ = 0;
};

}  // namespace

ParseProgress parse_records(const ParseInput& input, const DialectOptions& options,
                            ParsedRecords& out) {
    return RecordParser(input, options, out).run();
}

std::size_t skip_lines(const std::uint8_t* data, std::size_t size, std::size_t start,
                       std::uint64_t lines) {
    std::size_t p = start;
    for (; lines != 0 && p < size; --lines) {
        while (p < size && data[p] != kLineFeed && data[p] != kCarriageReturn)
            ++p;
        if (p == size) break;
        if (data[p] == kCarriageReturn && p + 1 < size && data[p + 1] == kLineFeed) ++p;
        ++p;
    }
    return p;
}

}  // namespace brelt::dialect
