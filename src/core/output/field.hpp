// How one field text becomes CSV bytes: the formula guard, the numeric test
// of QuoteNonNumeric, and quoting under the four modes. Nothing here fails or
// touches Python, so it runs with the interpreter lock released.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brelt {

// The values of the writer's `quoting` argument; they match the standard
// csv module's QUOTE_* constants. Any other value acts as QuoteMinimal.
enum class QuotingMode : std::uint32_t {
    QuoteMinimal = 0,
    QuoteAll = 1,
    QuoteNonNumeric = 2,
    QuoteNone = 3,
};

// True for the bytes a spreadsheet reads as the start of a formula:
// TAB, CR, '+', '-', '=', '@'.
inline bool is_formula_leading_byte(unsigned char byte) {
    return byte == '\t' || byte == '\r' || byte == '+' || byte == '-' || byte == '=' || byte == '@';
}

// The apostrophe and `text`, in `scratch`: the rare half of guard_formula.
std::string_view guarded_text(std::string_view text, std::string& scratch);

// With `safe`, a text starting with a formula-leading byte comes back as an
// apostrophe followed by the whole text, built in `scratch` (reused so a
// stream of guarded fields allocates nothing); any other text comes back as
// it is.
inline std::string_view guard_formula(std::string_view text, bool safe, std::string& scratch) {
    if (!safe || text.empty() || !is_formula_leading_byte(static_cast<unsigned char>(text[0]))) {
        return text;
    }
    return guarded_text(text, scratch);
}

// Whether the whole text is a number a spreadsheet would take: optional sign,
// then inf / infinity / nan in any case, or digits with an optional point and
// exponent. No blanks, separators or hexadecimal; the empty text is not.
bool is_numeric_text(std::string_view text);

// Whether `text` holds the delimiter, the quote character, LF or CR, the
// bytes that force quoting under QuoteMinimal.
bool needs_minimal_quoting(std::string_view text, char delimiter, char quotechar);

// Appends one field to `out` under `quoting` (any unknown mode is minimal).
// A quoted field is enclosed in `quotechar` with every inner quote doubled;
// there is no escape character.
void write_field(std::string& out, std::string_view text, char delimiter, char quotechar,
                 std::uint32_t quoting);

// Appends `text` enclosed in `quotechar`, inner quote characters doubled.
void write_quoted(std::string& out, std::string_view text, char quotechar);

}  // namespace brelt
