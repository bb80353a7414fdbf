// The delimiter guess on texts that show each part of the rule: the lines it
// judges, quoted candidates, steadiness, ties and the fallback to a comma.
// (The guess against the rule written out plainly, on random texts:
// tests/python/test_sniff.py.)
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

TEST(DetectDelimiter, Cases) {
    const std::pair<std::string, char> cases[] = {
        // Nothing to judge, or only quoted candidates.
        {"\r\n\r\n\n", ','},
        {"\"a;b\"\n\"c|d\"\n", ','},
        // A steady candidate wins; quoted ones do not count, and the quote
        // state ends with the line.
        {repeat("é;ü;漢字", 3), ';'},
        {"\"x,y\";z\n1;2\n3;4\n", ';'},
        {"\"x\na;b\na;b\n", ';'},
        // Ties go to the earlier candidate, also when the equal counts lie on
        // different lines.
        {repeat("a,b;c", 4), ','},
        {":\n\n\n\n;", ';'},
        // Tab scores 2; comma, mean 5 and deviation 2, scores 5/(2+1).
        {"a\tb\tc,,,\na\tb\tc,,,,,,,\n", '\t'},
        // Only the first 20 lines count, and all of them: in the second text
        // comma scores 2/(1+1) and semicolon 0.5/(0.5+1).
        {repeat("a;b;c", 20) + repeat("a,b,c,d,e,f", 80), ';'},
        {repeat("a;b", 10) + repeat("a,b,c", 90), ','},
        // A final empty line is no line: counted, it would tip the scores to comma.
        {"a;b,,,,\nc;d\n\n", ';'},
    };
    for (const auto& [text, delimiter] : cases)
        EXPECT_EQ(detect_delimiter(text), delimiter) << text;
}

TEST(DelimiterSampleLines, DropsAFinalEmptyLineAndASecondCarriageReturn) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(delimiter_sample_lines("a\n\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(delimiter_sample_lines("a\r\r\nb\r"), (Lines{"a", "b\r"}));
}

}  // namespace
}  // namespace brelt
