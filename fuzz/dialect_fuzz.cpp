// The dialect engine over arbitrary bytes and settings against the plain
// reference reader of tests/support/dialect_reference.hpp: on every
// instruction set's kernels, the text parsed whole, fed in random pieces
// (lines cut as a file opened with newline="" cuts them), and given as
// explicit lines cut at random, must give the reference's records, errors
// and line counts.
//
// Input layout: bytes 0-2 pick the delimiter, quote and escape characters,
// byte 3 the flags, byte 4 the field limit, byte 5 seeds the cuts; the rest
// is the text.
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dialect_reference.hpp"

namespace {

using brelt::dialect::DialectChar;

// ASCII and multi-byte characters, "é" and "è" sharing their first byte,
// and line breaks (which the csv module of 3.11 takes as settings).
const char* const kCharacters[] = {
    ",", ";", "\t", " ", "\"", "'", "\\", "é", "è", "€", "|", "\n", "\r", "a", "\xF0\x9F\x98\x80",
    ""};

DialectChar pick(std::uint8_t byte) {
    return DialectChar::of(kCharacters[byte % std::size(kCharacters)]);
}

std::vector<std::string> random_cuts(const std::string& text, std::mt19937& rng) {
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = rng() % 4 == 0 ? 0 : 1 + rng() % 24;
        pieces.push_back(text.substr(at, size));
        at += size;
    }
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    brelt::dialect::DialectOptions options;
    options.delimiter = pick(data[0]);
    if (!options.delimiter.is_set()) options.delimiter = DialectChar::of(",");
    options.quote = pick(data[1]);
    options.escape = pick(data[2]);
    const std::uint8_t flags = data[3];
    options.doublequote = flags & 1;
    options.skipinitialspace = flags & 2;
    options.strict = flags & 4;
    options.quotes_are_text = flags & 8;
    options.record_field_lines = flags & 16;
    static const std::int64_t limits[] = {131072, 0, 1, 2, 5, 16, -1, 3};
    options.field_limit = limits[data[4] % std::size(limits)];
    std::mt19937 rng(data[5]);
    const std::string text(reinterpret_cast<const char*>(data + 6), size - 6);

    brelt::testing::DialectReference reference(options);
    const auto expected = reference.read(brelt::testing::split_lines(text));
    const std::vector<std::string> lines = random_cuts(text, rng);
    const auto expected_lines = reference.read(lines);
    const std::vector<std::string> pieces = random_cuts(text, rng);
    for (const brelt::Isa isa : brelt::supported_isas()) {
        options.isa = isa;
        if (brelt::testing::parse_in_pieces({text}, false, options) != expected) std::abort();
        if (brelt::testing::parse_in_pieces(pieces, false, options) != expected) std::abort();
        if (brelt::testing::parse_in_pieces(lines, true, options) != expected_lines) std::abort();
    }
    return 0;
}
