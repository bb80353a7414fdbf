// Decoding without a label and sniffing, as sniff_delimiter does: never
// crashes, the decoded text is valid UTF-8 whenever decoding succeeds, and
// the guess is the one of the rule written out plainly over copies of the
// lines.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/decode.hpp"
#include "input/sniff.hpp"
#include "input/utf8_validate.hpp"

namespace {

// Lines end at LF, which takes one CR before it along; a last line without
// LF counts and keeps its CR.
std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        if (end == std::string_view::npos) {
            text = {};
        } else {
            text.remove_prefix(end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

char reference_delimiter(std::string_view text) {
    std::vector<std::string> first = split_lines(text);
    if (first.size() > 20) first.resize(20);
    std::string sample;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (i != 0) sample += '\n';
        sample += first[i];
    }
    if (sample.empty()) return ',';
    const std::vector<std::string> lines = split_lines(sample);
    const std::uint64_t n = lines.size();
    char best = ',';
    double best_score = -1;
    for (char candidate : std::string_view(",;\t|:")) {
        std::uint64_t total = 0, squares = 0;
        for (const std::string& line : lines) {
            bool in_quotes = false;
            std::uint64_t count = 0;
            for (char c : line) {
                if (c == '"') {
                    in_quotes = !in_quotes;
                } else if (c == candidate && !in_quotes) {
                    ++count;
                }
            }
            total += count;
            squares += count * count;
        }
        if (total == 0) continue;
        const double mean = static_cast<double>(total) / static_cast<double>(n);
        const double sd =
            std::sqrt(static_cast<double>(n * squares - total * total)) / static_cast<double>(n);
        const double score = mean * (sd < 0.001 ? 1.0 : 1.0 / (sd + 1.0));
        if (score > best_score) {
            best = candidate;
            best_score = score;
        }
    }
    return best;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto text = brelt::decode_to_utf8(std::span<const std::uint8_t>(data, size), std::nullopt);
    if (!text.ok()) return 0;
    const auto& decoded = *text;
    if (!brelt::is_valid_utf8(reinterpret_cast<const std::uint8_t*>(decoded.data()),
                              decoded.size())) {
        std::abort();
    }
    const char delimiter = brelt::detect_delimiter(decoded);
    if (delimiter != reference_delimiter(decoded)) std::abort();
    // Every sample line is a piece of the text, and no more than the limit.
    auto lines = brelt::delimiter_sample_lines(decoded);
    if (lines.size() > brelt::kSniffLineLimit) std::abort();
    for (auto line : lines) {
        if (line.find('\n') != std::string_view::npos) std::abort();
        if (!line.empty() && (line.data() < decoded.data() ||
                              line.data() + line.size() > decoded.data() + decoded.size())) {
            std::abort();
        }
    }
    return 0;
}
