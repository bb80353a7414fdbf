// The writers' serializer: generated rows under every quoting mode, guarded or
// not, byte for byte against the plain serializer of row_reference.hpp; the
// search for special characters at every offset; OutputFile's buffering. The
// csv layer's dialects (escape characters, doublequote off, multi-byte
// characters, QUOTE_STRINGS and QUOTE_NOTNULL by type) are checked against
// the csv module in tests/python/test_writing.py.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "output/output_file.hpp"
#include "output/quoting_triggers.hpp"
#include "row_reference.hpp"
#include "scaled_rounds.hpp"
#include "temp_file.hpp"

namespace brelt {
namespace {

TEST(SerializeRow, GeneratedRowsMatchTheReference) {
    static constexpr std::string_view kPieces[] = {
        "",   "a",   "xyz", ",", ";", "\"",       "'",        "\n",      "\r",
        "\t", "=",   "-",   "+", "@", "1",        "5",        ".",       "e",
        "E-", "inf", "NaN", " ", "|", "\xC3\xA9", "\xCE\x9B", "\xFF\x80"};
    static constexpr char kDelimiters[] = {',', ';', '\t', '|', '\'', '"', '\n', 'e', '\xCE'};
    static constexpr char kQuotes[] = {'"', '\'', '|', ',', '\r'};
    std::mt19937_64 rng(11);
    for (int i = 0; i < testing::scaled_rounds(40000); ++i) {
        std::vector<std::string> texts(rng() % 4);
        for (std::string& text : texts) {
            for (std::size_t count = rng() % 7; count > 0; --count)
                text += kPieces[rng() % std::size(kPieces)];
        }
        const std::vector<std::string_view> fields(texts.begin(), texts.end());
        const char delimiter = kDelimiters[rng() % std::size(kDelimiters)];
        const char quote = kQuotes[rng() % std::size(kQuotes)];
        const auto quoting = static_cast<QuotingMode>(rng() % 6);
        const bool safe = rng() % 2;
        const std::string problem = testing::row_disagrees(fields, delimiter, quote, quoting, safe);
        ASSERT_EQ(problem, "") << "delimiter " << int(delimiter) << " quote " << int(quote)
                               << " mode " << int(quoting) << " safe " << safe;
    }
}

TEST(SpecialCharacters, FindsTheByteAtEveryPositionOfEveryLength) {
    // Four characters take the word search, six the table; every offset must
    // be seen, whatever the alignment of the text.
    const SpecialCharacters four({",", "\"", "\n", "\r"});
    const SpecialCharacters six({",", "\"", "\n", "\r", "!", "@"});
    for (const SpecialCharacters* specials : {&four, &six}) {
        for (std::size_t size : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 40u}) {
            for (std::size_t offset = 0; offset < 8; ++offset) {
                // Neighbours of the sought bytes and high bytes must not match.
                std::string backing(offset + size, 'x');
                for (std::size_t i = 0; i < backing.size(); ++i)
                    backing[i] = "-+#%\x0b\x0c\x0e\xac\x80\xff\x01"[i % 11];
                EXPECT_FALSE(specials->may_occur_in(std::string_view(backing).substr(offset)));
                for (char special : {',', '"', '\n', '\r'}) {
                    for (std::size_t at = 0; at < size; ++at) {
                        std::string text = backing;
                        text[offset + at] = special;
                        EXPECT_TRUE(specials->may_occur_in(std::string_view(text).substr(offset)))
                            << int(special) << " size " << size << " at " << at;
                    }
                }
            }
        }
    }
}

// Pieces smaller and larger than the buffer, and empty ones, come out in
// order; open and write errors are checked through write_csv in
// tests/python/test_writing.py.
TEST(OutputFile, WritesSmallAndLargePiecesInOrder) {
    testing::TempFile file("old contents that must go");
    auto output = OutputFile::create(file.path());
    ASSERT_TRUE(output.ok()) << output.error().message;
    std::string expected;
    const std::string large(kOutputBufferSize + 3, 'L'), medium(kOutputBufferSize / 2 + 1, 'm');
    for (int round = 0; round < 3; ++round) {
        output->append(std::string_view());
        output->append("head,");
        output->push('\n');
        output->append(medium);
        output->append(large);
        expected += "head,\n" + medium + large;
    }
    auto written = output->finish();
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(*written, expected.size());
    std::ifstream in(file.path(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
}

}  // namespace
}  // namespace brelt
