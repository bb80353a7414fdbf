// What the writers judge a field text by: the formula guard, and the numeric
// test behind PyWriter's QUOTE_NONNUMERIC. Nothing here fails or touches
// Python, so it runs with the interpreter lock released.
#pragma once

#include <string>
#include <string_view>

namespace brelt {

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

}  // namespace brelt
