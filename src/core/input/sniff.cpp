#include "input/sniff.hpp"

#include <array>
#include <cmath>
#include <cstdint>

namespace brelt {

namespace {

std::string_view drop_trailing_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The first `limit` lines of `text`: split at LF with one CR before it
// dropped; a last line without LF counts and keeps its CR; an empty text has
// no line.
std::vector<std::string_view> first_lines(std::string_view text, std::size_t limit) {
    std::vector<std::string_view> lines;
    while (!text.empty() && lines.size() < limit) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(drop_trailing_cr(text.substr(0, end)));
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

std::vector<std::string_view> delimiter_sample_lines(std::string_view text) {
    std::vector<std::string_view> lines = first_lines(text, kSniffLineLimit);
    if (lines.empty()) return lines;
    // Joined with LF, every line but the last is followed by LF, so splitting
    // again drops one more CR from each of them...
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        lines[i] = drop_trailing_cr(lines[i]);
    // ...and an empty last line leaves the joined text ending in LF, which the
    // split does not count as a line (for a single empty line the sample is
    // empty).
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

char detect_delimiter(std::string_view text) {
    const std::vector<std::string_view> lines = delimiter_sample_lines(text);
    if (lines.empty()) return kDefaultDelimiter;

    constexpr std::size_t kCandidates = kDelimiterCandidates.size();
    // counts[line][candidate]
    std::vector<std::array<std::uint64_t, kCandidates>> counts(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        counts[i].fill(0);
        bool in_quotes = false;
        // Byte-wise is the same as character-wise: every candidate and the
        // quote are ASCII, and no byte of a multi-byte UTF-8 character is.
        for (char c : lines[i]) {
            if (c == '"') {
                in_quotes = !in_quotes;
                continue;
            }
            if (in_quotes) continue;
            std::size_t k = kDelimiterCandidates.find(c);
            if (k != std::string_view::npos) ++counts[i][k];
        }
    }

    const std::uint64_t n = lines.size();
    char best = kDefaultDelimiter;
    bool have_best = false;
    double best_score = 0.0;
    for (std::size_t k = 0; k < kCandidates; ++k) {
        // The spread is computed exactly in integers, n*sum(c^2) - total^2 =
        // n^2 * variance, so that candidates with the same counts score the
        // same bits whatever the order of their lines; summing float squares
        // would let rounding break a true tie.
        unsigned __int128 total = 0;
        unsigned __int128 sum_of_squares = 0;
        for (const auto& line_counts : counts) {
            total += line_counts[k];
            sum_of_squares += static_cast<unsigned __int128>(line_counts[k]) * line_counts[k];
        }
        if (total == 0) continue;

        const double mean = static_cast<double>(total) / static_cast<double>(n);
        const unsigned __int128 spread = n * sum_of_squares - total * total;
        const double sd = std::sqrt(static_cast<double>(spread)) / static_cast<double>(n);
        const double consistency = sd < 0.001 ? 1.0 : 1.0 / (sd + 1.0);
        const double score = mean * consistency;
        // Strictly greater: on a tie the earlier candidate stays.
        if (!have_best || score > best_score) {
            best = kDelimiterCandidates[k];
            best_score = score;
            have_best = true;
        }
    }
    return best;
}

}  // namespace brelt
