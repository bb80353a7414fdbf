#include "output/quoting_triggers.hpp"

#include <algorithm>
#include <cstdint>
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

}  // namespace

// A word XORed with a byte repeated has zero bytes exactly where it held that
// byte, and the four zero-byte tests are ORed. Texts of 8 bytes or more are
// covered by 8-byte words, the last one overlapping its predecessor so that
// no byte loop is left; 4 to 7 bytes by two overlapping 4-byte words; shorter
// ones bytewise.
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

SpecialCharacters::SpecialCharacters(const std::vector<std::string>& characters) {
    for (const std::string& character : characters) {
        if (character.empty() ||
            std::find(characters_.begin(), characters_.end(), character) != characters_.end()) {
            continue;
        }
        characters_.push_back(character);
        is_first_byte_[static_cast<unsigned char>(character[0])] = true;
    }
    std::string distinct;
    for (std::size_t byte = 0; byte < is_first_byte_.size(); ++byte) {
        if (is_first_byte_[byte]) distinct.push_back(static_cast<char>(byte));
    }
    four_first_bytes_ = !distinct.empty() && distinct.size() <= first_bytes_.size();
    if (four_first_bytes_) {
        for (std::size_t slot = 0; slot < first_bytes_.size(); ++slot)
            first_bytes_[slot] = distinct[std::min(slot, distinct.size() - 1)];
    }
}

bool SpecialCharacters::holds_first_byte(std::string_view text) const {
    return std::any_of(text.begin(), text.end(),
                       [&](char byte) { return is_first_byte_[static_cast<unsigned char>(byte)]; });
}

std::size_t SpecialCharacters::match_at(std::string_view text, std::size_t at) const {
    if (!is_first_byte_[static_cast<unsigned char>(text[at])]) return 0;
    const std::string_view rest = text.substr(at);
    for (const std::string& character : characters_) {
        if (rest.starts_with(character)) return character.size();
    }
    return 0;
}

}  // namespace brelt
