#include "output/field.hpp"

#include <cstring>

namespace brelt {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t load_word(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Nonzero when some byte of `word` is zero: subtracting 1 from a zero byte is
// the only way to borrow into its high bit while that bit was clear before.
bool has_zero_byte(std::uint64_t word) {
    return ((word - kOnes) & ~word & kHighBits) != 0;
}

// Whether `byte` occurs in [data, data + size). Fields are short, so this is
// a plain loop below 16 bytes; longer ones are tested two aligned 64-bit
// words at a time after a bytewise head, with a bytewise tail.
bool contains_byte(const char* data, std::size_t size, char byte) {
    const char* at = data;
    const char* end = data + size;
    if (size >= 16) {
        while (reinterpret_cast<std::uintptr_t>(at) % 8 != 0) {
            if (*at == byte) return true;
            ++at;
        }
        // XOR turns every copy of `byte` into a zero byte.
        const std::uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
        while (end - at >= 16) {
            const std::uint64_t first = load_word(at) ^ pattern;
            const std::uint64_t second = load_word(at + 8) ^ pattern;
            if (has_zero_byte(first) || has_zero_byte(second)) return true;
            at += 16;
        }
    }
    for (; at < end; ++at) {
        if (*at == byte) return true;
    }
    return false;
}

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

std::string_view guard_formula(std::string_view text, bool safe, std::string& scratch) {
    if (!safe || text.empty() || !is_formula_leading_byte(static_cast<unsigned char>(text[0]))) {
        return text;
    }
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

bool needs_minimal_quoting(std::string_view text, char delimiter, char quotechar) {
    const char* data = text.data();
    const std::size_t size = text.size();
    return contains_byte(data, size, delimiter) || contains_byte(data, size, quotechar) ||
           contains_byte(data, size, '\n') || contains_byte(data, size, '\r');
}

void write_quoted(std::string& out, std::string_view text, char quotechar) {
    out.push_back(quotechar);
    std::size_t copied = 0;
    for (std::size_t at = text.find(quotechar); at != std::string_view::npos;
         at = text.find(quotechar, at + 1)) {
        // Copy through the quote, then add its double.
        out.append(text.data() + copied, at + 1 - copied);
        out.push_back(quotechar);
        copied = at + 1;
    }
    out.append(text.data() + copied, text.size() - copied);
    out.push_back(quotechar);
}

void write_field(std::string& out, std::string_view text, char delimiter, char quotechar,
                 std::uint32_t quoting) {
    if (quoting == static_cast<std::uint32_t>(QuotingMode::QuoteAll)) {
        write_quoted(out, text, quotechar);
        return;
    }
    if (quoting == static_cast<std::uint32_t>(QuotingMode::QuoteNone)) {
        out.append(text);
        return;
    }
    // The numeric test runs only when none of the four bytes was found.
    const bool quote = needs_minimal_quoting(text, delimiter, quotechar) ||
                       (quoting == static_cast<std::uint32_t>(QuotingMode::QuoteNonNumeric) &&
                        !is_numeric_text(text));
    if (quote) {
        write_quoted(out, text, quotechar);
    } else {
        out.append(text);
    }
}

}  // namespace brelt
