#include "output/field.hpp"

namespace brelt {

namespace {

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower_word) {
    if (text.size() != lower_word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Setting bit 0x20 lowers ASCII letters; the words hold letters only.
        if ((text[i] | 0x20) != lower_word[i]) return false;
    }
    return true;
}

bool is_digit(char byte) {
    return byte >= '0' && byte <= '9';
}

}  // namespace

std::string_view guarded_text(std::string_view text, std::string& scratch) {
    scratch.assign(1, '\'');
    scratch.append(text);
    return scratch;
}

bool is_numeric_text(std::string_view text) {
    std::size_t at = 0;
    const std::size_t size = text.size();
    if (at < size && (text[at] == '+' || text[at] == '-')) ++at;

    const std::string_view unsigned_part = text.substr(at);
    if (equals_ignoring_ascii_case(unsigned_part, "inf") ||
        equals_ignoring_ascii_case(unsigned_part, "infinity") ||
        equals_ignoring_ascii_case(unsigned_part, "nan")) {
        return true;
    }

    std::size_t digits = 0;
    for (; at < size && is_digit(text[at]); ++at)
        ++digits;
    if (at < size && text[at] == '.') {
        ++at;
        for (; at < size && is_digit(text[at]); ++at)
            ++digits;
    }
    if (digits == 0) return false;  // "", "+", "." and ".e5" are not numbers

    if (at < size && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < size && (text[at] == '+' || text[at] == '-')) ++at;
        std::size_t exponent_digits = 0;
        for (; at < size && is_digit(text[at]); ++at)
            ++exponent_digits;
        if (exponent_digits == 0) return false;
    }
    // Any byte left over, non-ASCII ones included, breaks the grammar.
    return at == size;
}

}  // namespace brelt
