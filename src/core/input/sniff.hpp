// Guessing the field delimiter of a CSV text from its first lines.
#pragma once

#include <string_view>
#include <vector>

namespace brelt {

// Candidates in order of preference; a tie goes to the earlier one.
inline constexpr std::string_view kDelimiterCandidates = ",;\t|:";
inline constexpr char kDefaultDelimiter = ',';
inline constexpr std::size_t kSniffLineLimit = 20;

// The lines the guess is made on: the first 20 lines of `text` (split at LF,
// a CR before the LF dropped), joined with LF and split again by the same rule.
// The second split drops a final empty line and one more trailing CR from
// every line but the last; this returns its result without building the
// joined copy.
std::vector<std::string_view> delimiter_sample_lines(std::string_view text);

// Each candidate that occurs outside double quotes scores mean-per-line times
// steadiness (1 when the per-line counts are all equal, 1/(sd+1) otherwise);
// the highest score wins, the earlier candidate on a tie, and a text with no
// candidate at all gives ','. Quotes toggle per line: a line starts unquoted.
char detect_delimiter(std::string_view text);

}  // namespace brelt
