// The characters a field cannot hold as they stand under a dialect (its
// delimiter, quote and escape characters, line breaks), and the fast test for
// whether a text holds any of them, which runs on every field written.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brelt {

// Whether any byte of `text` is one of the four; a few word operations per 8
// bytes and no per-byte branch.
bool contains_any_of(std::string_view text, char a, char b, char c, char d);

class SpecialCharacters {
  public:
    // Each entry is one character's UTF-8, or a single byte; empty entries and
    // repeats are dropped.
    explicit SpecialCharacters(const std::vector<std::string>& characters);

    // False only when `text` holds none of the characters. True may be a near
    // miss when a character is longer than a byte (a text holding another
    // character with the same first byte): match_at decides.
    bool may_occur_in(std::string_view text) const {
        if (four_first_bytes_) {
            return contains_any_of(text, first_bytes_[0], first_bytes_[1], first_bytes_[2],
                                   first_bytes_[3]);
        }
        return holds_first_byte(text);
    }

    // The length of the character that starts at text[at], 0 when none does.
    // UTF-8 synchronises itself, so a match is a whole character of the text.
    std::size_t match_at(std::string_view text, std::size_t at) const;

  private:
    bool holds_first_byte(std::string_view text) const;

    std::vector<std::string> characters_;
    // The common case, up to four distinct first bytes, repeated to fill
    // the four slots of the word search.
    bool four_first_bytes_ = false;
    std::array<char, 4> first_bytes_{};
    std::array<bool, 256> is_first_byte_{};
};

}  // namespace brelt
