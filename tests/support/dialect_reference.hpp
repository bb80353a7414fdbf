// A deliberately plain reader of the csv module's dialect that the record
// parser is checked against: the input is first cut into lines, then every
// line is fed one character at a time to the state machine, followed by an
// end-of-line event, as the csv module's reader does. Used only by tests and
// fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dialect/dialect_options.hpp"
#include "dialect/parsed_records.hpp"
#include "dialect/record_parser.hpp"

namespace brelt::testing {

struct DialectField {
    std::string text;
    bool quoted = false;
    bool escape_start = false;
    std::uint32_t line = 0;  // the line of its record it ended on
    bool operator==(const DialectField&) const = default;
};

struct DialectEntry {
    dialect::RecordStatus status = dialect::RecordStatus::Row;
    std::vector<DialectField> fields;
    std::uint64_t lines = 0;
    bool operator==(const DialectEntry&) const = default;
};

// For test failure messages: status, line count and the fields, each with
// its flags (q: quoted, e: escape first) and line.
inline std::ostream& operator<<(std::ostream& out, const DialectEntry& entry) {
    out << "{status " << static_cast<int>(entry.status) << ", lines " << entry.lines << ":";
    for (const DialectField& field : entry.fields) {
        out << " [";
        for (const char c : field.text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x20 && byte < 0x7F) {
                out << c;
            } else {
                out << "\\x"
                    << "0123456789abcdef"[byte >> 4] << "0123456789abcdef"[byte & 15];
            }
        }
        out << "]" << (field.quoted ? "q" : "") << (field.escape_start ? "e" : "") << field.line;
    }
    return out << "}";
}

// Lines as a file opened with newline="" gives them: each ends after LF,
// after CR LF or after a lone CR; the rest, if any, is the last line.
inline std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        line += text[i];
        const bool ends =
            text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
        if (ends) {
            lines.push_back(line);
            line.clear();
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

class DialectReference {
  public:
    explicit DialectReference(const dialect::DialectOptions& options) : o_(options) {}

    std::vector<DialectEntry> read(const std::vector<std::string>& lines) {
        std::vector<DialectEntry> entries;
        bool in_record = false;
        for (const std::string& line : lines) {
            if (!in_record) reset();
            in_record = true;
            ++record_.lines;
            bool failed = false;
            for (std::size_t i = 0; i < line.size() && !failed;) {
                std::size_t size = 1;
                const unsigned kinds = classify(line, i, size);
                failed = !process(kinds, line.data() + i, size);
                i += size;
            }
            if (!failed) failed = !process(kEndOfLine, nullptr, 0);
            if (failed) {
                drop_failed_fields();
                record_.status = status_;
                entries.push_back(record_);
                in_record = false;
            } else if (state_ == StartRecord) {
                entries.push_back(record_);
                in_record = false;
            }
        }
        if (in_record) {
            if (!field_.empty() || state_ == InQuotedField) {
                if (o_.strict) {
                    drop_failed_fields();
                    record_.status = dialect::RecordStatus::UnexpectedEnd;
                } else {
                    save_field();
                }
            } else {
                drop_failed_fields();
                record_.status = dialect::RecordStatus::Dropped;
            }
            entries.push_back(record_);
        }
        return entries;
    }

  private:
    enum State {
        StartRecord,
        StartField,
        EscapedChar,
        InField,
        InQuotedField,
        EscapeInQuotedField,
        QuoteInQuotedField,
        EatCrNl,
        AfterEscapedCrNl
    };
    enum : unsigned {
        kLineBreak = 1,
        kDelimiter = 2,
        kQuote = 4,
        kEscape = 8,
        kSpace = 16,
        kEndOfLine = 32
    };

    static bool matches(const dialect::DialectChar& c, const std::string& line, std::size_t i) {
        if (c.size == 0 || line.size() - i < c.size) return false;
        return line.compare(i, c.size, reinterpret_cast<const char*>(c.bytes.data()), c.size) == 0;
    }

    unsigned classify(const std::string& line, std::size_t i, std::size_t& size) const {
        unsigned kinds = 0;
        if (line[i] == '\n' || line[i] == '\r') kinds |= kLineBreak;
        if (line[i] == ' ') kinds |= kSpace;
        if (matches(o_.delimiter, line, i)) {
            kinds |= kDelimiter;
            size = o_.delimiter.size;
        }
        if (!o_.quotes_are_text && matches(o_.quote, line, i)) {
            kinds |= kQuote;
            size = o_.quote.size;
        }
        if (matches(o_.escape, line, i)) {
            kinds |= kEscape;
            size = o_.escape.size;
        }
        return kinds;
    }

    // A failed record keeps the fields saved before the failure only when
    // they are converted afterwards (record_field_lines).
    void drop_failed_fields() {
        if (!o_.record_field_lines) record_.fields.clear();
    }

    void reset() {
        record_ = DialectEntry{};
        state_ = StartRecord;
        field_.clear();
        characters_ = 0;
        quoted_ = escape_start_ = false;
    }

    void save_field() {
        const auto line = o_.record_field_lines ? record_.lines - 1 : 0;
        record_.fields.push_back(
            {field_, quoted_, escape_start_, static_cast<std::uint32_t>(line)});
        field_.clear();
        characters_ = 0;
        quoted_ = escape_start_ = false;
    }

    // The csv module's check: a character may be added while the field holds
    // fewer than the limit. Only bytes that start a UTF-8 sequence count.
    bool add(const char* bytes, std::size_t size) {
        for (std::size_t k = 0; k < size; ++k) {
            if ((static_cast<unsigned char>(bytes[k]) & 0xC0) != 0x80) {
                if (characters_ >= o_.field_limit) {
                    status_ = dialect::RecordStatus::FieldTooLarge;
                    return false;
                }
                ++characters_;
            }
            field_ += bytes[k];
        }
        return true;
    }

    bool process(unsigned kinds, const char* c, std::size_t size) {
        const bool eol = kinds & kEndOfLine;
        const bool line_break = kinds & kLineBreak;
        static const char line_feed = '\n';
        switch (state_) {
            case StartRecord:
                if (eol) return true;  // an empty line: a record without fields
                if (line_break) {
                    state_ = EatCrNl;
                    return true;
                }
                state_ = StartField;
                [[fallthrough]];
            case StartField:
                if (line_break || eol) {
                    save_field();
                    state_ = eol ? StartRecord : EatCrNl;
                } else if (kinds & kQuote) {
                    quoted_ = true;
                    state_ = InQuotedField;
                } else if (kinds & kEscape) {
                    escape_start_ = true;
                    state_ = EscapedChar;
                } else if ((kinds & kSpace) && o_.skipinitialspace) {
                } else if (kinds & kDelimiter) {
                    save_field();
                } else {
                    if (!add(c, size)) return false;
                    state_ = InField;
                }
                return true;
            case EscapedChar:
                if (line_break) {
                    if (!add(c, size)) return false;
                    state_ = AfterEscapedCrNl;
                    return true;
                }
                if (eol ? !add(&line_feed, 1) : !add(c, size)) return false;
                state_ = InField;
                return true;
            case AfterEscapedCrNl:
                if (eol) return true;
                [[fallthrough]];
            case InField:
                if (line_break || eol) {
                    save_field();
                    state_ = eol ? StartRecord : EatCrNl;
                } else if (kinds & kEscape) {
                    state_ = EscapedChar;
                } else if (kinds & kDelimiter) {
                    save_field();
                    state_ = StartField;
                } else if (!add(c, size)) {
                    return false;
                }
                return true;
            case InQuotedField:
                if (eol) return true;
                if (kinds & kEscape) {
                    state_ = EscapeInQuotedField;
                } else if (kinds & kQuote) {
                    state_ = o_.doublequote ? QuoteInQuotedField : InField;
                } else if (!add(c, size)) {
                    return false;
                }
                return true;
            case EscapeInQuotedField:
                if (eol ? !add(&line_feed, 1) : !add(c, size)) return false;
                state_ = InQuotedField;
                return true;
            case QuoteInQuotedField:
                if (kinds & kQuote) {
                    if (!add(c, size)) return false;
                    state_ = InQuotedField;
                } else if (kinds & kDelimiter) {
                    save_field();
                    state_ = StartField;
                } else if (line_break || eol) {
                    save_field();
                    state_ = eol ? StartRecord : EatCrNl;
                } else if (!o_.strict) {
                    if (!add(c, size)) return false;
                    state_ = InField;
                } else {
                    status_ = dialect::RecordStatus::QuoteNotFollowed;
                    return false;
                }
                return true;
            case EatCrNl:
                if (eol) {
                    state_ = StartRecord;
                } else if (!line_break) {
                    status_ = dialect::RecordStatus::LineBreakInField;
                    return false;
                }
                return true;
        }
        return true;
    }

    const dialect::DialectOptions& o_;
    DialectEntry record_;
    State state_ = StartRecord;
    std::string field_;
    std::int64_t characters_ = 0;
    bool quoted_ = false;
    bool escape_start_ = false;
    dialect::RecordStatus status_ = dialect::RecordStatus::Row;
};

// The parser's entries in the reference's terms. `input` is what the
// entries' spans point into.
inline std::vector<DialectEntry> entries_of(const dialect::ParsedRecords& parsed,
                                            const std::uint8_t* input, bool with_lines) {
    std::vector<DialectEntry> entries;
    for (const dialect::RecordEntry& record : parsed.records) {
        DialectEntry entry;
        entry.status = record.status;
        entry.lines = record.lines;
        for (std::uint32_t i = 0; i < record.field_count; ++i) {
            const std::size_t index = record.first_field + i;
            const dialect::FieldSpan span = parsed.fields[index];
            entry.fields.push_back({std::string(parsed.text(input, span)), span.quoted(),
                                    span.escape_start(),
                                    with_lines ? parsed.field_lines[index] : 0});
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The parser fed as a reader feeds it: `parts` one after another, each parse
// seeing what the previous one left unconsumed followed by the next part, the
// last parse final. With explicit lines every part is one line.
inline std::vector<DialectEntry> parse_in_pieces(const std::vector<std::string>& parts,
                                                 bool explicit_lines,
                                                 const dialect::DialectOptions& options) {
    std::vector<DialectEntry> entries;
    std::string buffer;
    std::vector<std::uint64_t> line_ends;
    for (std::size_t i = 0; i <= parts.size(); ++i) {
        const bool final = i == parts.size();
        if (!final) {
            buffer += parts[i];
            if (explicit_lines) line_ends.push_back(buffer.size());
        }
        dialect::ParsedRecords out;
        dialect::ParseInput input;
        input.data = reinterpret_cast<const std::uint8_t*>(buffer.data());
        input.size = buffer.size();
        input.explicit_lines = explicit_lines;
        input.line_ends = line_ends.data();
        input.line_count = line_ends.size();
        input.final = final;
        const dialect::ParseProgress progress = dialect::parse_records(input, options, out);
        for (DialectEntry& entry : entries_of(out, input.data, options.record_field_lines))
            entries.push_back(std::move(entry));
        buffer.erase(0, progress.consumed);
        line_ends.erase(line_ends.begin(),
                        line_ends.begin() + static_cast<std::ptrdiff_t>(progress.lines_consumed));
        for (std::uint64_t& end : line_ends)
            end -= progress.consumed;
    }
    return entries;
}

}  // namespace brelt::testing
