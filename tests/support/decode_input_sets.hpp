// The inputs the decoders are compared on with the oracle (decode_oracle.js,
// through brelt_decode_tool), whose digests the C++ tests check. A single-byte
// decoder keeps no state, so its bytes prove it; the others also get every
// pair and their longer sequences.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "input/encoding/encoding.hpp"

namespace brelt::testing {

using InputVisitor = std::function<void(std::string_view)>;

// Every string of `length` bytes after `prefix`, each from `first` to `last`
// but at odd positions if `digits` is 1 an ASCII digit (gb18030's four-byte form).
inline void every_byte_string(std::string_view prefix, int length, const InputVisitor& visit,
                              int first = 0, int last = 0xFF, int digits = -1) {
    std::string input(prefix);
    input.resize(prefix.size() + static_cast<std::size_t>(length));
    auto fill = [&](auto& self, int k) -> void {
        if (k == length) return visit(input);
        const bool digit = k % 2 == digits;
        for (int byte = digit ? 0x30 : first; byte <= (digit ? 0x39 : last); ++byte) {
            input[prefix.size() + k] = static_cast<char>(byte);
            self(self, k + 1);
        }
    };
    fill(fill, 0);
}

// 20000 strings of 1 to 24 pieces: ASCII, high, digit and lead or trail
// bytes, and ISO-2022-JP's escapes whole.
inline void random_strings(const InputVisitor& visit) {
    static constexpr std::string_view kSpecial[] = {
        "\x1B", "$",    "(",    "@",    "B",      "I",      "J",      "\x0E",   "\x0F",  "\\",
        "~",    "!",    "\x80", "\x81", "\x8E",   "\x8F",   "\xA0",   "\xA1",   "\xDF",  "\xE0",
        "\xFC", "\xFE", "\xFF", "\x9F", "\x1B(B", "\x1B(J", "\x1B(I", "\x1B$@", "\x1B$B"};
    std::uint32_t state = 0x2545F491;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    std::string input;
    for (int n = 0; n < 20000; ++n) {
        input.clear();
        for (std::uint32_t pieces = 1 + next() % 24; pieces > 0; --pieces) {
            const std::uint32_t kind = next() % 8;
            const std::uint32_t low = kind < 2 ? 0 : kind < 4 ? 0x80 : kind == 4 ? 0x30 : 0x40;
            const std::uint32_t span = kind < 4 ? 0x80 : kind == 4 ? 10 : 0xBF;
            if (kind == 5 || kind == 6) input += kSpecial[next() % std::size(kSpecial)];
            if (kind != 5 && kind != 6) input += static_cast<char>(low + next() % span);
        }
        visit(input);
    }
}

// Calls `visit` with every input of the named set for the encoding (named as
// the standard names it); false if it has no such set.
inline bool visit_input_set(std::string_view name, std::string_view set,
                            const InputVisitor& visit) {
    using enum Encoding;
    const auto encoding = encoding_for_label(name);
    if (!encoding || encoding_name(*encoding) != name) return false;
    const Encoding e = *encoding;
    // GBK decodes as gb18030, which the sets below cover.
    const bool keeps_state =
        e == Utf8 || e == Utf16BE || e == Utf16LE || (e >= Gb18030 && e <= EucKr);
    if (set == "bytes") {
        every_byte_string("", 1, visit);
    } else if (set == "pairs" && keeps_state) {
        every_byte_string("", 2, visit);
    } else if (set == "four" && e == Gb18030) {
        every_byte_string("", 4, visit, 0x81, 0xFE, 1);
    } else if (set == "jis0212" && e == EucJp) {
        every_byte_string("\x8F", 2, visit);
    } else if (set == "escapes" && e == Iso2022Jp) {
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

// The digest of a set's outputs: FNV-1a 64 over each output's 4-byte
// little-endian length and its bytes, from kDigestStart.
inline constexpr std::uint64_t kDigestStart = 0xCBF29CE484222325ULL;

inline void add_to_digest(std::uint64_t& digest, std::string_view output) {
    const auto n = static_cast<std::uint32_t>(output.size());
    const char length[4] = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    for (std::string_view part : {std::string_view(length, 4), output}) {
        for (char byte : part)
            digest = (digest ^ static_cast<std::uint8_t>(byte)) * 0x100000001B3ULL;
    }
}

}  // namespace brelt::testing
