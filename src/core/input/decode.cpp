#include "input/decode.hpp"

#include "input/encoding/chunked_output.hpp"
#include "input/encoding/encoding.hpp"
#include "input/utf8_validate.hpp"

namespace brelt {

namespace {

// Decodes with a decoder that never fails for the encodings passed here.
Result<std::string> decode_replacing(Encoding encoding, std::span<const std::uint8_t> bytes) {
    std::string text;
    auto errors = decode_with(encoding, bytes, text);
    if (!errors.ok()) return std::move(errors).error();
    return text;
}

Result<std::string> decode_utf16_strict(Encoding encoding, std::span<const std::uint8_t> bytes,
                                        const char* failure) {
    std::string text;
    auto errors = decode_with(encoding, bytes, text);
    if (!errors.ok()) return std::move(errors).error();
    if (*errors != 0) return Error(ErrorKind::Value, failure);
    return text;
}

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

bool starts_with(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> mark) {
    if (bytes.size() < mark.size()) return false;
    std::size_t i = 0;
    for (std::uint8_t byte : mark) {
        if (bytes[i++] != byte) return false;
    }
    return true;
}

// Full Unicode lower-casing maps no non-ASCII character onto the letters of
// "utf8", so folding ASCII letters alone gives the same answer.
bool names_utf8(std::string_view label) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    auto equals = [&](std::string_view word) {
        if (label.size() != word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (lower(label[i]) != word[i]) return false;
        }
        return true;
    };
    return equals("utf8") || equals("utf-8");
}

}  // namespace

Result<std::string> decode_to_utf8(std::span<const std::uint8_t> bytes,
                                   std::optional<std::string_view> label) {
    if (starts_with(bytes, {0xEF, 0xBB, 0xBF})) {
        return decode_replacing(Encoding::Utf8, bytes.subspan(3));
    }
    if (starts_with(bytes, {0xFF, 0xFE})) {
        return decode_utf16_strict(Encoding::Utf16LE, bytes.subspan(2),
                                   "Failed to decode UTF-16LE");
    }
    if (starts_with(bytes, {0xFE, 0xFF})) {
        return decode_utf16_strict(Encoding::Utf16BE, bytes.subspan(2),
                                   "Failed to decode UTF-16BE");
    }

    if (!label) {
        std::string text;
        if (copy_if_valid_utf8(bytes, text)) return text;
        return decode_replacing(Encoding::Windows1252, bytes);
    }

    if (names_utf8(*label)) return decode_replacing(Encoding::Utf8, bytes);
    auto encoding = encoding_for_label(*label);
    if (!encoding) return Error(ErrorKind::Value, "Unknown encoding: " + std::string(*label));
    return decode_replacing(*encoding, bytes);
}

}  // namespace brelt
