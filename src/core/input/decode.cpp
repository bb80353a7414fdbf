#include "input/decode.hpp"

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
        if (is_valid_utf8(bytes.data(), bytes.size())) {
            return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
        return decode_replacing(Encoding::Windows1252, bytes);
    }

    if (names_utf8(*label)) return decode_replacing(Encoding::Utf8, bytes);
    auto encoding = encoding_for_label(*label);
    if (!encoding) return Error(ErrorKind::Value, "Unknown encoding: " + std::string(*label));
    return decode_replacing(*encoding, bytes);
}

}  // namespace brelt
