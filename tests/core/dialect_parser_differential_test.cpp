// The record parser against the plain reference, on every instruction set's
// kernels, whole and fed in pieces, with lines cut by the text or given one
// by one, over random dialects and inputs dense in the characters that matter.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dialect_reference.hpp"

namespace brelt {
namespace {

using dialect::DialectChar;
using dialect::DialectOptions;

// ASCII and multi-byte characters; "é" and "è" share their first byte.
const char* const kCharacters[] = {",", ";", "\t", " ", "\"", "'", "\\", "é", "è", "€", "|"};

DialectChar pick_char(std::mt19937_64& rng) {
    return DialectChar::of(kCharacters[rng() % std::size(kCharacters)]);
}

DialectOptions random_options(std::mt19937_64& rng) {
    DialectOptions o;
    o.delimiter = rng() % 2 ? DialectChar::of(",") : pick_char(rng);
    o.quote = rng() % 5 == 0 ? DialectChar{} : rng() % 2 ? DialectChar::of("\"") : pick_char(rng);
    o.escape = rng() % 2 ? DialectChar{} : rng() % 2 ? DialectChar::of("\\") : pick_char(rng);
    o.doublequote = rng() % 3 != 0;
    o.skipinitialspace = rng() % 3 == 0;
    o.strict = rng() % 3 == 0;
    o.quotes_are_text = rng() % 6 == 0;
    const std::int64_t limits[] = {131072, 0, 1, 3, 8, -1};
    o.field_limit = limits[rng() % std::size(limits)];
    o.record_field_lines = rng() % 2 == 0;
    return o;
}

std::string random_text(std::mt19937_64& rng, std::size_t parts) {
    static const char* const pieces[] = {",", ";", "\"", "\"", "'", "\\", "\r", "\n", "\r\n",
                                         " ", "a", "bc", "é",  "è", "€",  "\t", "|",  "\0"};
    std::string text;
    for (std::size_t i = 0; i < parts; ++i) {
        const std::uint64_t pick = rng() % 24;
        if (pick < std::size(pieces)) {
            text += pick == std::size(pieces) - 1 ? std::string(1, '\0') : pieces[pick];
        } else if (pick < 22) {
            text.append(rng() % 100, 'x');
        } else {
            text += "\"" + std::string(rng() % 120, 'y') + "\"";
        }
    }
    return text;
}

// Random cuts of the text into pieces (some of them empty).
std::vector<std::string> random_pieces(std::mt19937_64& rng, const std::string& text) {
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = rng() % 3 == 0 ? 0 : 1 + rng() % 40;
        pieces.push_back(text.substr(at, size));
        at += size;
    }
    return pieces;
}

// Lines as an iterable might give them: the file's own, or arbitrary cuts.
std::vector<std::string> random_lines(std::mt19937_64& rng, const std::string& text) {
    if (rng() % 2) return testing::split_lines(text);
    return random_pieces(rng, text);
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += "\\x";
            out += "0123456789abcdef"[byte >> 4];
            out += "0123456789abcdef"[byte & 15];
        }
    }
    return out;
}

std::string describe(const DialectOptions& o, const std::string& text) {
    const auto ch = [](const DialectChar& c) {
        return escaped({reinterpret_cast<const char*>(c.bytes.data()), c.size});
    };
    return "delimiter [" + ch(o.delimiter) + "] quote [" + ch(o.quote) + "] escape [" +
           ch(o.escape) + "] doublequote " + std::to_string(o.doublequote) + " skip " +
           std::to_string(o.skipinitialspace) + " strict " + std::to_string(o.strict) +
           " quotes_are_text " + std::to_string(o.quotes_are_text) + " limit " +
           std::to_string(o.field_limit) + " isa " + std::string(isa_name(o.isa)) + "\ntext [" +
           escaped(text) + "]";
}

void expect_matches_reference(std::mt19937_64& rng, const std::string& text, int round) {
    DialectOptions options = random_options(rng);
    const std::vector<std::string> whole_text{text};
    const std::vector<std::string> pieces = random_pieces(rng, text);
    const std::vector<std::string> lines = random_lines(rng, text);
    testing::DialectReference reference(options);
    const std::vector<testing::DialectEntry> expected_split =
        reference.read(testing::split_lines(text));
    const std::vector<testing::DialectEntry> expected_lines = reference.read(lines);
    for (const Isa isa : supported_isas()) {
        options.isa = isa;
        const std::string what = "round " + std::to_string(round) + " " + describe(options, text);
        ASSERT_EQ(testing::parse_in_pieces(whole_text, false, options), expected_split) << what;
        ASSERT_EQ(testing::parse_in_pieces(pieces, false, options), expected_split) << what;
        ASSERT_EQ(testing::parse_in_pieces(lines, true, options), expected_lines) << what;
    }
}

TEST(DialectParser, MatchesTheReferenceOnRandomDialectsAndInputs) {
    std::mt19937_64 rng(20261207);
    for (int round = 0; round < 20000; ++round) {
        expect_matches_reference(rng, random_text(rng, rng() % 40), round);
    }
}

// Long inputs reach the wide vector loops and the parser's chunked scans.
TEST(DialectParser, MatchesTheReferenceOnLongInputs) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 12; ++round) {
        std::string text = random_text(rng, 3000);
        if (round % 3 == 0) text += std::string(70000, 'z') + ",tail\n";
        expect_matches_reference(rng, text, round);
    }
}

}  // namespace
}  // namespace brelt
