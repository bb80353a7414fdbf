#include "input/sniff_file.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "input/byte_reader.hpp"
#include "input/sniff.hpp"
#include "input/text_encoding.hpp"
#include "input/text_reader.hpp"

namespace brelt {

namespace {

// The start is read this much at a time; 20 lines rarely need more.
constexpr std::size_t kSniffPieceBytes = 64 * 1024;

}  // namespace

Result<char> sniff_file_delimiter(const std::string& path) {
    auto bytes = open_byte_reader(path);
    if (!bytes.ok()) return std::move(bytes).error();
    std::uint8_t start_bytes[3];
    auto got = (*bytes)->read(start_bytes);
    if (!got.ok()) return std::move(got).error();
    const std::span<const std::uint8_t> start(start_bytes, *got);
    auto encoding = choose_text_encoding(start, std::nullopt, true);
    if (!encoding.ok()) return std::move(encoding).error();
    TextReader reader(std::move(*bytes), start, *encoding, false, kSniffPieceBytes);

    std::string text;
    std::size_t line_feeds = 0;
    for (;;) {
        const std::size_t before = text.size();
        auto more = reader.read(text);
        if (!more.ok()) return std::move(more).error();
        line_feeds += static_cast<std::size_t>(
            std::count(text.begin() + static_cast<std::ptrdiff_t>(before), text.end(), '\n'));
        if (!*more || line_feeds >= kSniffLineLimit) break;
    }
    const char delimiter = detect_delimiter(text);
    if (encoding->strict) {
        // The rest is decoded only for its errors.
        for (;;) {
            text.clear();
            auto more = reader.read(text);
            if (!more.ok()) return std::move(more).error();
            if (!*more) break;
        }
    }
    return delimiter;
}

}  // namespace brelt
