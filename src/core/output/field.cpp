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

std::uint64_t load_half(const char* at) {
    std::uint32_t half;
    std::memcpy(&half, at, sizeof half);
    return half;
}

// The high bit of a byte of the result is set where `word` has a zero byte,
// and only at or above the lowest zero byte: subtracting 1 from a zero byte is
// what first borrows into a high bit that was clear. Testing the whole result
// for nonzero is therefore exact.
std::uint64_t zero_byte_bits(std::uint64_t word) {
    return (word - kOnes) & ~word & kHighBits;
}

// Whether any byte of `text` is one of the four. The four searches of
// minimal quoting give the same answer in one pass: a word XORed with a byte
// repeated has zero bytes exactly where it held that byte, and the four
// zero-byte tests are ORed. Texts of 8 bytes or more are covered by 8-byte
// words, the last one overlapping its predecessor so that no byte loop is
// left; 4 to 7 bytes by two overlapping 4-byte words; shorter ones bytewise.
bool contains_any_of(std::string_view text, char a, char b, char c, char d) {
    const char* data = text.data();
    const std::size_t size = text.size();
    if (size < 4) {
        for (const char byte : text) {
            if (byte == a || byte == b || byte == c || byte == d) return true;
        }
        return false;
    }
    const std::uint64_t pa = kOnes * static_cast<unsigned char>(a);
    const std::uint64_t pb = kOnes * static_cast<unsigned char>(b);
    const std::uint64_t pc = kOnes * static_cast<unsigned char>(c);
    const std::uint64_t pd = kOnes * static_cast<unsigned char>(d);
    auto word_matches = [&](std::uint64_t word) {
        return (zero_byte_bits(word ^ pa) | zero_byte_bits(word ^ pb) | zero_byte_bits(word ^ pc) |
                zero_byte_bits(word ^ pd)) != 0;
    };
    if (size < 8) {
        // Both 4-byte halves in one word; the patterns repeat every byte, so
        // the halves line up with them.
        const std::uint64_t word = load_half(data) | (load_half(data + size - 4) << 32);
        return word_matches(word);
    }
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        if (word_matches(load_word(data + at))) return true;
    }
    return at < size && word_matches(load_word(data + size - 8));
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

bool needs_minimal_quoting(std::string_view text, char delimiter, char quotechar) {
    return contains_any_of(text, delimiter, quotechar, '\n', '\r');
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
