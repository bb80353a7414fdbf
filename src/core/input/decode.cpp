#include "input/decode.hpp"

#include "input/encoding/chunked_output.hpp"
#include "input/encoding/encoding.hpp"
#include "input/text_encoding.hpp"
#include "input/utf8_validate.hpp"

namespace brelt {

namespace {

// Copies `bytes` to `text` when they are valid UTF-8. Validating a chunk at a
// time copies each chunk while it is still in cache, and gives up on invalid
// input at its first bad chunk instead of after a pass over all of it.
bool copy_if_valid_utf8(std::span<const std::uint8_t> bytes, std::string& text) {
    constexpr std::size_t kChunk = 64 * 1024;
    encoding_detail::reserve_output(text, bytes.size());
    const std::uint8_t* p = bytes.data();
    const std::uint8_t* const end = p + bytes.size();
    while (p != end) {
        const std::uint8_t* cut = end - p > static_cast<std::ptrdiff_t>(kChunk) ? p + kChunk : end;
        // Cut before a byte that starts a character (continuation bytes are
        // 10xxxxxx), so the chunks are valid exactly when the whole is. A
        // fourth continuation byte in a row is invalid anyway, wherever the cut.
        for (int back = 0; back < 3 && cut != end && (*cut & 0xC0) == 0x80; ++back)
            --cut;
        const auto size = static_cast<std::size_t>(cut - p);
        if (!is_valid_utf8(p, size)) return false;
        text.append(reinterpret_cast<const char*>(p), size);
        p = cut;
    }
    return true;
}

}  // namespace

Result<std::string> decode_to_utf8(std::span<const std::uint8_t> bytes,
                                   std::optional<std::string_view> label) {
    std::string text;
    if (!label && !starts_with_byte_order_mark(bytes)) {
        if (copy_if_valid_utf8(bytes, text)) return text;
        text.clear();
        TextEncoding windows;
        windows.encoding = Encoding::Windows1252;
        if (auto decoded = decode_text(bytes, windows, text); !decoded.ok()) {
            return std::move(decoded).error();
        }
        return text;
    }
    auto encoding = choose_text_encoding(bytes, label);
    if (!encoding.ok()) return std::move(encoding).error();
    auto decoded = decode_text(bytes.subspan(encoding->mark_size), *encoding, text);
    if (!decoded.ok()) return std::move(decoded).error();
    return text;
}

}  // namespace brelt
