#include "input/text_encoding.hpp"

#include <algorithm>
#include <initializer_list>

#include "input/utf8_validate.hpp"

namespace brelt {

namespace {

bool starts_with(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
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

bool starts_with_byte_order_mark(std::span<const std::uint8_t> bytes) {
    return starts_with(bytes, {0xEF, 0xBB, 0xBF}) || starts_with(bytes, {0xFF, 0xFE}) ||
           starts_with(bytes, {0xFE, 0xFF});
}

bool text_encoding_needs_whole_file(std::span<const std::uint8_t> start,
                                    std::optional<std::string_view> label) {
    return !label && !starts_with(start, {0xFF, 0xFE}) && !starts_with(start, {0xFE, 0xFF});
}

Result<TextEncoding> choose_text_encoding(std::span<const std::uint8_t> start,
                                          std::optional<std::string_view> label,
                                          bool whole_is_utf8) {
    TextEncoding chosen;
    if (starts_with(start, {0xFF, 0xFE}) || starts_with(start, {0xFE, 0xFF})) {
        chosen.encoding = start[0] == 0xFF ? Encoding::Utf16LE : Encoding::Utf16BE;
        chosen.mark_size = 2;
        chosen.strict = true;
        return chosen;
    }
    const bool utf8_mark = starts_with(start, {0xEF, 0xBB, 0xBF});
    chosen.mark_size = utf8_mark ? 3 : 0;
    if (!label) {
        chosen.in_place = whole_is_utf8;
        // Malformed UTF-8 becomes U+FFFD after a mark, and makes the whole
        // file windows-1252 without one.
        if (!whole_is_utf8 && !utf8_mark) chosen.encoding = Encoding::Windows1252;
        return chosen;
    }
    // With a label, a UTF-8 mark alone decides.
    if (utf8_mark || names_utf8(*label)) return chosen;
    const auto encoding = encoding_for_label(*label);
    if (!encoding) return Error(ErrorKind::Value, "Unknown encoding: " + std::string(*label));
    chosen.encoding = *encoding;
    return chosen;
}

Result<TextEncoding> choose_text_encoding(std::span<const std::uint8_t> whole,
                                          std::optional<std::string_view> label) {
    const bool valid =
        text_encoding_needs_whole_file(whole, label) && is_valid_utf8(whole.data(), whole.size());
    return choose_text_encoding(whole, label, valid);
}

Result<bool> decode_text(std::span<const std::uint8_t> bytes, const TextEncoding& encoding,
                         std::string& out) {
    if (encoding.in_place) {
        out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return true;
    }
    auto errors = decode_with(encoding.encoding, bytes, out);
    if (!errors.ok()) return std::move(errors).error();
    if (encoding.strict && *errors != 0) {
        return Error(ErrorKind::Value, encoding.encoding == Encoding::Utf16LE
                                           ? "Failed to decode UTF-16LE"
                                           : "Failed to decode UTF-16BE");
    }
    return true;
}

}  // namespace brelt
