// decode_to_utf8, the choice of decoder for a file: valid UTF-8 as it is,
// anything else without a label as windows-1252 throughout, byte-order marks
// before labels, malformed UTF-16 after a mark refused, labels resolved as the
// label table says; and the label lookup itself.
#include "input/decode.hpp"

#include <gtest/gtest.h>

#include <string>

#include "input/encoding/encoding.hpp"
#include "input/encoding/generated/label_table.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The text, or "error: <message>".
std::string decoded(std::string_view input, std::optional<std::string_view> label = {}) {
    auto text = decode_to_utf8(bytes_of(input), label);
    return text.ok() ? *text : "error: " + text.error().message;
}

TEST(DecodeToUtf8, Cases) {
    const struct {
        std::string input;
        std::optional<std::string> label;
        std::string expected;
    } cases[] = {
        {"a,b\nä,漢\n", {}, "a,b\nä,漢\n"},
        // One bad byte turns the whole input to windows-1252, valid sequences too.
        {"caf\xE9", {}, "café"},
        {"\xC3\xA4,\xE9", {}, "Ã¤,é"},
        {"\x81\x8D\x8F\x90\x9D", {}, "\u0081\u008D\u008F\u0090\u009D"},
        // The UTF-8 mark goes and wins over a label.
        {"\xEF\xBB\xBF", {}, ""},
        {"\xEF\xBB\xBFx\xE9", "windows-1252", "x\uFFFD"},
        {"\xEF\xBB\xBF\xC3\xA9", "shift_jis", "é"},
        // UTF-16 marks, and a pair; the mark wins over a label.
        {"\xFF\xFE", {}, ""},
        {"\xFF\xFE"
         "a\0,\0\xE9\0"s,
         {},
         "a,é"},
        {"\xFE\xFF\0a\0,\x6F\x22"s, {}, "a,漢"},
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, {}, "\U0001F600"},
        {"\xFF\xFEx\0"s, "latin1", "x"},
        // After a UTF-16 mark, malformed input is an error.
        {"\xFF\xFEx", {}, "error: Failed to decode UTF-16LE"},
        {"\xFF\xFE\x3D\xD8"s, {}, "error: Failed to decode UTF-16LE"},
        {"\xFF\xFE\x00\xDEx\0"s, {}, "error: Failed to decode UTF-16LE"},
        {"\xFE\xFF\0a\0"s, {}, "error: Failed to decode UTF-16BE"},
        // Too short for a mark.
        {"\xFF", {}, "ÿ"},
        {"\xEF\xBB", {}, "ï»"},
        // Under a label malformed input is replaced, never an error.
        {"a\xE9z", "utf8", "a\uFFFDz"},
        {"a\xE9z", "UTF-8", "a\uFFFDz"},
        {"a\xE9z", "  utf-8\t", "a\uFFFDz"},
        {"a\xE9z", "unicode-1-1-utf-8", "a\uFFFDz"},
        {"\xE9", "iso-8859-5", "щ"},
        {"a", "utf-16le", "\uFFFD"},
        {"a", " Latin-9x ", "error: Unknown encoding:  Latin-9x "},
        {"a", "", "error: Unknown encoding: "},
        {"a", "utf-7", "error: Unknown encoding: utf-7"},
    };
    for (const auto& c : cases) {
        const auto label = c.label ? std::optional<std::string_view>(*c.label) : std::nullopt;
        EXPECT_EQ(decoded(c.input, label), c.expected) << c.input;
    }
}

TEST(DecodeToUtf8, ValidityIsJudgedOverTheWholeOfALongInput) {
    // Long inputs are validated in pieces (64 KiB); a character or a bad
    // sequence anywhere near a piece's edge must count the same as elsewhere.
    constexpr std::size_t kPiece = 64 * 1024;
    const std::string filler(3 * kPiece, 'a');
    // The bytes inserted are all from 0xA0 up, where windows-1252 is Latin-1.
    auto as_windows_1252 = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            }
        }
        return out;
    };
    // Valid characters, then a truncated sequence, a lone lead byte and a
    // fourth continuation byte in a row.
    const std::pair<std::string_view, bool> insertions[] = {
        {"\xC3\xA9", true},  {"\xE6\xBC\xA2", true}, {"\xF0\x9F\x98\x80", true},
        {"\xE6\xBC", false}, {"\xF0", false},        {"\xA9\xA9\xA9\xA9", false}};
    for (const auto& [inserted, valid] : insertions) {
        for (std::size_t at = kPiece - 6; at <= kPiece + 2; ++at) {
            std::string text = filler;
            text.replace(at, inserted.size(), inserted);
            if (!valid) text.replace(10, 2, "\xC3\xA9");  // valid text earlier changes nothing
            EXPECT_EQ(decoded(text), valid ? text : as_windows_1252(text)) << at;
        }
    }
}

TEST(DecodeToUtf8, EveryLabelOfTheTableInAnyCaseAndPadding) {
    for (const auto& entry : encoding_detail::kLabels) {
        std::string input = "id,x\n";
        std::string want = input;
        if (entry.encoding == Encoding::Utf16LE) input = "i\0d\0"s;
        if (entry.encoding == Encoding::Utf16BE) input = "\0i\0d"s;
        if (entry.encoding == Encoding::Utf16LE || entry.encoding == Encoding::Utf16BE) want = "id";
        if (entry.encoding == Encoding::Replacement) want = "\uFFFD";
        std::string upper(entry.label);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(decoded(input, entry.label), want) << entry.label;
        EXPECT_EQ(decoded(input, " " + upper + "\t"), want) << upper;
    }
}

// Labels match in any ASCII case with ASCII whitespace around them; nothing
// else is folded or trimmed. (Every label of the table is decoded above.)
TEST(EncodingLabels, Lookup) {
    const std::pair<std::string, std::optional<Encoding>> cases[] = {
        {"866", Encoding::Ibm866},  // the first and last entries of the sorted table
        {"x-x-big5", Encoding::Big5},
        {"  UTF-8\t\n", Encoding::Utf8},
        {"\f\rLaTiN1 ", Encoding::Windows1252},
        {"iso-8859-8-i", Encoding::Iso8859_8I},
        {"utf-7", std::nullopt},
        {"latin 1", std::nullopt},
        {" \t\n", std::nullopt},
        {"\vutf-8", std::nullopt},
        {"\xC2\xA0utf-8", std::nullopt},
        {"utf-8x", std::nullopt},
        {"utf-", std::nullopt},
        {"a-label-far-longer-than-any-in-the-table", std::nullopt},
        {"utf-8\0"s, std::nullopt},
        {"\xE2\x84\xAAoi8-r", std::nullopt},  // KELVIN SIGN lower-cases to 'k'
        {"\xC4\xB0so-8859-2", std::nullopt},  // and U+0130 to 'i' and a mark
    };
    for (const auto& [label, encoding] : cases)
        EXPECT_EQ(encoding_for_label(label), encoding) << label;
}

}  // namespace
}  // namespace brelt
