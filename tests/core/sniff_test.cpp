#include "input/sniff.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace brelt
