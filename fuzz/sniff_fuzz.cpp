// Decoding without a label and sniffing, as sniff_delimiter does: never
// crashes, decoded text is valid UTF-8, the guess is a candidate, and the
// sample lines are lines of the text within the limit. (The guess against the
// rule written out plainly: tests/python/test_sniff.py.)
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "input/decode.hpp"
#include "input/sniff.hpp"
#include "input/utf8_validate.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto text = brelt::decode_to_utf8(std::span<const std::uint8_t>(data, size), std::nullopt);
    if (!text.ok()) return 0;
    const std::string_view decoded = *text;
    if (!brelt::is_valid_utf8(reinterpret_cast<const std::uint8_t*>(decoded.data()),
                              decoded.size())) {
        std::abort();
    }
    if (std::string_view(",;\t|:").find(brelt::detect_delimiter(decoded)) == std::string_view::npos)
        std::abort();
    const auto lines = brelt::delimiter_sample_lines(decoded);
    if (lines.size() > brelt::kSniffLineLimit) std::abort();
    for (const std::string_view line : lines) {
        if (line.find('\n') != std::string_view::npos || decoded.find(line) == std::string::npos)
            std::abort();
    }
    return 0;
}
