// Decoding without a label and sniffing, as sniff_delimiter does: never
// crashes, always answers one of the candidates, and the decoded text is
// valid UTF-8 whenever decoding succeeds.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "input/decode.hpp"
#include "input/sniff.hpp"
#include "input/utf8_validate.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto text = brelt::decode_to_utf8(std::span<const std::uint8_t>(data, size), std::nullopt);
    if (!text.ok()) return 0;
    const auto& decoded = *text;
    if (!brelt::is_valid_utf8(reinterpret_cast<const std::uint8_t*>(decoded.data()),
                              decoded.size())) {
        std::abort();
    }
    const char delimiter = brelt::detect_delimiter(decoded);
    if (brelt::kDelimiterCandidates.find(delimiter) == std::string_view::npos) std::abort();
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
