// The inputs the decoders are compared on with the encoding oracle, and the
// digest of a set's outputs. The oracle (tests/oracle/decode_oracle.js) gets
// them through brelt_decode_tool and wrote the committed digests, which the
// C++ tests check without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brelt::testing {

using InputVisitor = std::function<void(std::string_view)>;

inline void every_byte_string(std::string_view prefix, int length, const InputVisitor& visit) {
    std::string input(prefix);
    input.resize(prefix.size() + static_cast<std::size_t>(length));
    for (std::uint32_t value = 0; value < (1u << (8 * length)); ++value) {
        for (int k = 0; k < length; ++k)
            input[prefix.size() + k] = static_cast<char>((value >> (8 * (length - 1 - k))) & 0xFF);
        visit(input);
    }
}

inline void gb18030_four_byte_sequences(const InputVisitor& visit) {
    char input[4];
    for (int first = 0x81; first <= 0xFE; ++first)
        for (int second = 0x30; second <= 0x39; ++second)
            for (int third = 0x81; third <= 0xFE; ++third)
                for (int fourth = 0x30; fourth <= 0x39; ++fourth) {
                    input[0] = static_cast<char>(first);
                    input[1] = static_cast<char>(second);
                    input[2] = static_cast<char>(third);
                    input[3] = static_cast<char>(fourth);
                    visit(std::string_view(input, 4));
                }
}

inline void random_strings(const InputVisitor& visit) {
    static constexpr std::uint8_t kSpecialBytes[] = {
        0x1B, 0x24, 0x28, 0x40, 0x42, 0x49, 0x4A, 0x0E, 0x0F, 0x5C, 0x7E, 0x21,
        0x80, 0x81, 0x8E, 0x8F, 0xA0, 0xA1, 0xDF, 0xE0, 0xFC, 0xFE, 0xFF, 0x9F,
    };
    std::uint32_t state = 0x2545F491;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    std::string input;
    for (int n = 0; n < 20000; ++n) {
        input.resize(1 + next() % 24);
        for (char& byte : input) {
            const std::uint32_t kind = next() % 8;
            std::uint32_t value;
            if (kind < 2) {
                value = next() % 0x80;
            } else if (kind < 4) {
                value = 0x80 + next() % 0x80;
            } else if (kind == 4) {
                value = 0x30 + next() % 10;
            } else if (kind < 7) {
                value = kSpecialBytes[next() % sizeof kSpecialBytes];
            } else {
                value = 0x40 + next() % 0xBF;
            }
            byte = static_cast<char>(value);
        }
        visit(input);
    }
}

// Calls `visit` with every input of the named set for the encoding (named as
// the standard names it); false if there is no such set.
inline bool visit_input_set(std::string_view encoding, std::string_view set,
                            const InputVisitor& visit) {
    if (set == "bytes") {
        every_byte_string("", 1, visit);
    } else if (set == "pairs") {
        every_byte_string("", 2, visit);
    } else if (set == "four" && (encoding == "GBK" || encoding == "gb18030")) {
        gb18030_four_byte_sequences(visit);
    } else if (set == "jis0212" && encoding == "EUC-JP") {
        every_byte_string("\x8F", 2, visit);
    } else if (set == "escapes" && encoding == "ISO-2022-JP") {
        for (std::string_view prefix :
             {"\x1B", "\x1B(", "\x1B$", "\x1B(B", "\x1B(J", "\x1B(I", "\x1B$@", "\x1B$B"}) {
            every_byte_string(prefix, 2, visit);
        }
    } else if (set == "random") {
        random_strings(visit);
    } else {
        return false;
    }
    return true;
}

// FNV-1a 64 over each output's 4-byte little-endian length and its bytes.
class OutputDigest {
  public:
    void add(std::string_view output) {
        const auto size = static_cast<std::uint32_t>(output.size());
        for (int shift = 0; shift < 32; shift += 8)
            add_byte(static_cast<std::uint8_t>(size >> shift));
        for (char byte : output)
            add_byte(static_cast<std::uint8_t>(byte));
    }
    std::uint64_t value() const { return hash_; }

  private:
    void add_byte(std::uint8_t byte) {
        hash_ ^= byte;
        hash_ *= 0x100000001B3ULL;
    }
    std::uint64_t hash_ = 0xCBF29CE484222325ULL;
};

}  // namespace brelt::testing
