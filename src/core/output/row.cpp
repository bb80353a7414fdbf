#include "output/row.hpp"

#include <vector>

#include "output/field.hpp"

namespace brelt {

namespace {

std::vector<std::string> special_characters_of(const RowFormat& format) {
    std::vector<std::string> characters{format.delimiter, format.quotechar, format.escapechar};
    if (format.line_breaks_are_special) {
        characters.emplace_back("\n");
        characters.emplace_back("\r");
    }
    if (format.lineterminator_is_special) {
        // One entry per character of the terminator: its UTF-8 sequences.
        const std::string& terminator = format.lineterminator;
        for (std::size_t at = 0; at < terminator.size();) {
            std::size_t length = 1;
            while (at + length < terminator.size() &&
                   (static_cast<unsigned char>(terminator[at + length]) & 0xC0) == 0x80) {
                ++length;
            }
            characters.push_back(terminator.substr(at, length));
            at += length;
        }
    }
    return characters;
}

bool treats_none_apart(QuotingMode quoting) {
    return quoting == QuotingMode::QuoteStrings || quoting == QuotingMode::QuoteNotNull;
}

}  // namespace

Error row_problem_error(RowProblem problem) {
    switch (problem) {
        case RowProblem::NeedsEscapeCharacter:
            return Error(ErrorKind::Csv, "need to escape, but no escapechar set");
        case RowProblem::EmptyFieldNeedsQuotes:
            return Error(ErrorKind::Csv,
                         "empty field must be quoted if delimiter is a space and "
                         "skipinitialspace is true");
        case RowProblem::LoneEmptyFieldNeedsQuotes:
            return Error(ErrorKind::Csv, "single empty field record must be quoted");
        case RowProblem::None:
            break;
    }
    return Error(ErrorKind::Internal, "internal error: no row problem to report");
}

RowEncoder::RowEncoder(RowFormat format)
    : format_(std::move(format)), specials_(special_characters_of(format_)) {}

RowProblem RowEncoder::append_field(std::string& out, std::size_t index, std::string_view text,
                                    bool quoted, bool is_null) {
    if (index != 0) {
        if (format_.delimiter.size() == 1) {
            out.push_back(format_.delimiter[0]);
        } else {
            out.append(format_.delimiter);
        }
    }
    text = guard_formula(text, format_.safe, guard_scratch_);
    if (format_.quote_by_text && !quoted) {
        quoted = format_.quoting == QuotingMode::QuoteAll ||
                 (format_.quoting == QuotingMode::QuoteNonNumeric && !is_numeric_text(text));
    }
    if (text.empty()) return append_empty(out, quoted, is_null);
    if (specials_.may_occur_in(text)) return append_protected(out, text, quoted);
    if (quoted) {
        append_quote(out);
        out.append(text);
        append_quote(out);
    } else {
        out.append(text);
    }
    return RowProblem::None;
}

RowProblem RowEncoder::append_empty(std::string& out, bool quoted, bool is_null) const {
    if (!quoted && format_.quote_empty_fields) {
        if (format_.quoting == QuotingMode::QuoteNone ||
            (is_null && treats_none_apart(format_.quoting))) {
            return RowProblem::EmptyFieldNeedsQuotes;
        }
        quoted = true;
    }
    if (quoted) {
        append_quote(out);
        append_quote(out);
    }
    return RowProblem::None;
}

// The csv module's rule, character by character: under QuoteNone every
// special character is escaped; otherwise the quote character is doubled (or
// escaped without doublequote), the escape character escaped, and any other
// special character makes the field quoted. The opening quote goes in once
// the whole field is known to need it.
RowProblem RowEncoder::append_protected(std::string& out, std::string_view text,
                                        bool quoted) const {
    const std::size_t field_start = out.size();
    std::size_t copied = 0;  // text[0, copied) is in `out`
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = specials_.match_at(text, at);
        if (length == 0) {
            ++at;
            continue;
        }
        const std::string_view character = text.substr(at, length);
        out.append(text.substr(copied, at - copied));
        bool escape = format_.quoting == QuotingMode::QuoteNone;
        if (!escape) {
            if (character == format_.quotechar) {
                if (format_.doublequote) {
                    append_quote(out);
                } else {
                    escape = true;
                }
            } else if (character == format_.escapechar) {
                escape = true;
            }
            quoted = quoted || !escape;
        }
        if (escape) {
            if (!format_.escapechar.empty()) {
                out.append(format_.escapechar);
            } else if (format_.refuse_unwritable) {
                return RowProblem::NeedsEscapeCharacter;
            }
        }
        out.append(character);
        at += length;
        copied = at;
    }
    out.append(text.substr(copied));
    if (quoted) {
        out.insert(field_start, format_.quotechar);
        append_quote(out);
    }
    return RowProblem::None;
}

RowProblem RowEncoder::end_row(std::string& out, std::size_t row_start, std::size_t field_count,
                               bool last_is_null) const {
    if (field_count != 0 && out.size() == row_start) {
        if (format_.quoting != QuotingMode::QuoteNone &&
            !(last_is_null && treats_none_apart(format_.quoting))) {
            append_quote(out);
            append_quote(out);
        } else if (format_.refuse_unwritable) {
            return RowProblem::LoneEmptyFieldNeedsQuotes;
        }
    }
    out.append(format_.lineterminator);
    return RowProblem::None;
}

void serialize_row(std::string& out, std::span<const std::string_view> fields,
                   RowEncoder& encoder) {
    const std::size_t row_start = out.size();
    for (std::size_t index = 0; index < fields.size(); ++index)
        (void)encoder.append_field(out, index, fields[index], false);
    (void)encoder.end_row(out, row_start, fields.size());
}

}  // namespace brelt
