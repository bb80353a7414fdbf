#include "partition/partition_text.hpp"

#include <algorithm>

#include "input/utf8_validate.hpp"

namespace brelt {

namespace {

bool starts_with(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
}

bool has_utf8_mark(std::span<const std::uint8_t> bytes) {
    return starts_with(bytes, {0xEF, 0xBB, 0xBF});
}

// Encodings whose bytes cannot be split at an LF byte: UTF-16's units hold
// 0x0A and 0x22 bytes, ISO-2022-JP's state runs across lines, and
// "replacement" turns the whole input into one character.
bool splits_at_line_feeds(Encoding encoding) {
    return encoding != Encoding::Utf16LE && encoding != Encoding::Utf16BE &&
           encoding != Encoding::Iso2022Jp && encoding != Encoding::Replacement;
}

// A compressed stream cannot be entered midway. Until the input layer
// decompresses, this is the one place that knows the formats' magic bytes.
bool compressed(std::span<const std::uint8_t> bytes) {
    return starts_with(bytes, {0x1F, 0x8B}) || starts_with(bytes, {0x28, 0xB5, 0x2F, 0xFD}) ||
           starts_with(bytes, {'B', 'Z', 'h'}) ||
           starts_with(bytes, {0xFD, '7', 'z', 'X', 'Z', 0x00});
}

}  // namespace

Result<TextChoice> choose_text_form(std::span<const std::uint8_t> file_start,
                                    const std::optional<std::string>& label) {
    TextChoice choice;
    if (starts_with(file_start, {0xFF, 0xFE}) || starts_with(file_start, {0xFE, 0xFF}) ||
        compressed(file_start)) {
        choice.form = PartitionTextForm::WholeFile;
        return choice;
    }
    // A UTF-8 mark decides whatever the label; without a label, valid UTF-8
    // read in place and replaced UTF-8 are the same text.
    if (has_utf8_mark(file_start)) return choice;
    if (!label) {
        choice.depends_on_validity = true;
        return choice;
    }
    const auto encoding = encoding_for_label(*label);
    if (!encoding) return Error(ErrorKind::Value, "Unknown encoding: " + *label);
    if (*encoding == Encoding::Utf8) return choice;
    choice.form =
        splits_at_line_feeds(*encoding) ? PartitionTextForm::Decoded : PartitionTextForm::WholeFile;
    choice.encoding = *encoding;
    return choice;
}

void settle_text_choice(TextChoice& choice, bool file_is_valid_utf8) {
    if (!choice.depends_on_validity) return;
    choice.depends_on_validity = false;
    if (!file_is_valid_utf8) {
        choice.form = PartitionTextForm::Decoded;
        choice.encoding = Encoding::Windows1252;
    }
}

Result<RangeText> range_text(std::span<const std::uint8_t> bytes, bool first,
                             PartitionTextForm form, Encoding encoding) {
    RangeText text;
    if (form == PartitionTextForm::Utf8) {
        if (first && has_utf8_mark(bytes)) text.text_start = 3;
        const auto rest = bytes.subspan(text.text_start);
        if (is_valid_utf8(rest.data(), rest.size())) return text;
        encoding = Encoding::Utf8;
    }
    text.in_place = false;
    auto errors = decode_with(encoding, bytes.subspan(text.text_start), text.decoded);
    if (!errors.ok()) return std::move(errors).error();
    return text;
}

}  // namespace brelt
