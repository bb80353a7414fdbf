#include "input/sniff.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace brelt {
namespace {

std::string repeat(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line + "\n";
    return text;
}

TEST(DetectDelimiter, NothingToJudgeGivesComma) {
    EXPECT_EQ(detect_delimiter(""), ',');
    EXPECT_EQ(detect_delimiter("\n"), ',');
    EXPECT_EQ(detect_delimiter("\r\n\r\n\n"), ',');
    EXPECT_EQ(detect_delimiter("abc\ndef\n"), ',');
    EXPECT_EQ(detect_delimiter("\"a;b\"\n\"c|d\"\n"), ',');
}

TEST(DetectDelimiter, SteadyCandidateWins) {
    EXPECT_EQ(detect_delimiter(repeat("a;b;c", 5)), ';');
    EXPECT_EQ(detect_delimiter(repeat("a\tb\tc", 3)), '\t');
    EXPECT_EQ(detect_delimiter(repeat("a|b", 3)), '|');
    EXPECT_EQ(detect_delimiter("x:y\r\n1:2\r\n"), ':');
}

TEST(DetectDelimiter, TieGoesToTheEarlierCandidate) {
    EXPECT_EQ(detect_delimiter(repeat("a,b;c", 4)), ',');
    EXPECT_EQ(detect_delimiter(repeat("a:b|c", 4)), '|');
    EXPECT_EQ(detect_delimiter(repeat("a;b\tc", 4)), ';');
    // Equal counts on different lines are a true tie too: summing squared
    // deviations in line order would round the two spreads differently.
    EXPECT_EQ(detect_delimiter(";\n\n\n\n:"), ';');
    EXPECT_EQ(detect_delimiter(":\n\n\n\n;"), ';');
}

TEST(DetectDelimiter, QuotedCandidatesAreNotCounted) {
    EXPECT_EQ(detect_delimiter("\"x,y\";z\n1;2\n3;4\n"), ';');
    // Quote state does not carry over to the next line.
    EXPECT_EQ(detect_delimiter("\"x\na;b\na;b\n"), ';');
}

TEST(DetectDelimiter, UnsteadyCountsAreDiscounted) {
    // Tab: 3 per line, score 3. Comma: mean 3, sd 2, score 3/(2+1) = 1.
    std::string text =
        "a\tb\tc\td,\n"
        "a\tb\tc\td,,,,,\n"
        "a\tb\tc\td,\n"
        "a\tb\tc\td,,,,,\n";
    EXPECT_EQ(detect_delimiter(text), '\t');
}

TEST(DetectDelimiter, OnlyTheFirstTwentyLinesDecide) {
    std::string text = repeat("a;b;c", 20) + repeat("a,b,c,d,e,f", 80);
    EXPECT_EQ(detect_delimiter(text), ';');
    // Lines 11 to 20 still count: comma scores 2/(1+1), semicolon 0.5/(0.5+1).
    EXPECT_EQ(detect_delimiter(repeat("a;b", 10) + repeat("a,b,c", 90)), ',');
}

TEST(DetectDelimiter, NonAsciiTextDoesNotConfuseCounting) {
    EXPECT_EQ(detect_delimiter(repeat("é;ü;漢字", 3)), ';');
}

TEST(DelimiterSampleLines, DropsAFinalEmptyLineAndASecondCarriageReturn) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(delimiter_sample_lines(""), Lines{});
    EXPECT_EQ(delimiter_sample_lines("\n"), Lines{});
    EXPECT_EQ(delimiter_sample_lines("a\n\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(delimiter_sample_lines("a\r\r\nb\r"), (Lines{"a", "b\r"}));
    EXPECT_EQ(delimiter_sample_lines("a\r\r\n"), (Lines{"a\r"}));
}

// The sample is defined as "split, keep 20, join with LF, split again";
// delimiter_sample_lines computes it without the join. Check the shortcut
// against the literal definition on random texts made of the bytes that matter.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

TEST(DelimiterSampleLines, MatchesJoiningAndSplittingAgain) {
    std::mt19937 random(7);
    const char alphabet[] = {'a', ',', '\r', '\n', '\n'};
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 60, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        std::vector<std::string> first = split_lines(text);
        if (first.size() > kSniffLineLimit) first.resize(kSniffLineLimit);
        std::string joined;
        for (std::size_t i = 0; i < first.size(); ++i)
            joined += (i ? "\n" : "") + first[i];
        std::vector<std::string> expected = split_lines(joined);

        auto actual = delimiter_sample_lines(text);
        ASSERT_EQ(std::vector<std::string>(actual.begin(), actual.end()), expected)
            << "text: " << ::testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace brelt
