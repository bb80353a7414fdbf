// The one serializer of CSV rows, shared by the writers: PyWriter, the csv
// layer's Writer and write_csv. A RowFormat says how fields are delimited,
// quoted and escaped; a RowEncoder appends fields and row ends to a buffer of
// UTF-8. Nothing here touches Python, so it may run without the lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/result.hpp"
#include "output/quoting_triggers.hpp"

namespace brelt {

// The csv module's QUOTE_* values.
enum class QuotingMode : std::uint32_t {
    QuoteMinimal = 0,
    QuoteAll = 1,
    QuoteNonNumeric = 2,
    QuoteNone = 3,
    QuoteStrings = 4,
    QuoteNotNull = 5,
};

// The settings a writer serializes rows with. Characters are the UTF-8 of one
// character (PyWriter gives single bytes); an empty quotechar or escapechar
// means there is none.
struct RowFormat {
    std::string delimiter = ",";
    std::string quotechar = "\"";
    std::string escapechar;
    bool doublequote = true;
    QuotingMode quoting = QuotingMode::QuoteMinimal;
    std::string lineterminator = "\r\n";
    bool safe = false;  // formula guard

    // Where the writers part ways. PyWriter judges QuoteAll and
    // QuoteNonNumeric by the text (`quote_by_text`) and writes what it cannot
    // protect as it stands; the csv layer is told by the caller which fields
    // its mode quotes and refuses such fields and rows (`refuse_unwritable`).
    bool quote_by_text = false;
    bool refuse_unwritable = false;
    // Which characters force quoting or an escape besides the delimiter and
    // the quote and escape characters: CR and LF, the line terminator's own
    // characters. The csv module has used both since 3.12 and the second
    // only before; PyWriter uses the first.
    bool line_breaks_are_special = true;
    bool lineterminator_is_special = false;
    // An empty field is quoted (or refused where it cannot be) rather than
    // written as nothing: the csv module's rule, since 3.13, for a space
    // delimiter with skipinitialspace, where a reader would skip it.
    bool quote_empty_fields = false;
};

// Why the csv layer cannot write a row as its dialect asks.
enum class RowProblem : unsigned char {
    None,
    NeedsEscapeCharacter,       // a character that must be escaped, and no escapechar
    EmptyFieldNeedsQuotes,      // quote_empty_fields, and the field cannot be quoted
    LoneEmptyFieldNeedsQuotes,  // a row of one empty field would be a blank line
};

// The csv module's Error, in its words, for a problem other than None.
Error row_problem_error(RowProblem problem);

class RowEncoder {
  public:
    explicit RowEncoder(RowFormat format);

    const RowFormat& format() const { return format_; }

    // Appends field number `index` (0 for a row's first) to `out`: the
    // delimiter before all but the first, then the text guarded when `safe`.
    // The field is quoted when `quoted` (its value's type asks for it), by
    // its text under quote_by_text, or when it holds a character that quoting
    // protects; characters the mode cannot protect by quoting are escaped.
    // `is_null` marks a None value, which QuoteStrings and QuoteNotNull treat
    // apart. On a problem, `out` may hold part of the row.
    RowProblem append_field(std::string& out, std::size_t index, std::string_view text, bool quoted,
                            bool is_null = false);

    // Ends a row begun at out[row_start] with `field_count` fields, the last
    // of them None when `last_is_null`. A row of one field written as nothing
    // would be a blank line, which readers skip: its field is written as two
    // quote characters, or the row is a problem where it cannot be (written
    // as it stands unless refuse_unwritable).
    RowProblem end_row(std::string& out, std::size_t row_start, std::size_t field_count,
                       bool last_is_null = false) const;

    // Whether `text` holds a character that forces quoting or an escape; a
    // rare true for a text that does not (see SpecialCharacters).
    bool may_need_protection(std::string_view text) const { return specials_.may_occur_in(text); }

  private:
    RowProblem append_empty(std::string& out, bool quoted, bool is_null) const;
    RowProblem append_protected(std::string& out, std::string_view text, bool quoted) const;
    void append_quote(std::string& out) const { out.append(format_.quotechar); }

    RowFormat format_;
    SpecialCharacters specials_;
    std::string guard_scratch_;
};

// Appends one whole row under a format that never refuses (PyWriter's).
void serialize_row(std::string& out, std::span<const std::string_view> fields, RowEncoder& encoder);

}  // namespace brelt
