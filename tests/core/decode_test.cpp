// decode_to_utf8, the choice of decoder for a file: valid UTF-8 as it is,
// anything else without a label as windows-1252 throughout (judged over the
// whole of a long input), byte-order marks before labels, malformed UTF-16
// after a mark refused; and what the label lookup does not fold or trim.
// (Every label of the table is read in tests/python/test_read_csv.py.)
#include "input/decode.hpp"

#include <gtest/gtest.h>

#include <string>

#include "input/encoding/encoding.hpp"
#include "utf8_reference.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

// The text, or "error: <message>".
std::string decoded(std::string_view input, std::optional<std::string_view> label = {}) {
    auto text =
        decode_to_utf8({reinterpret_cast<const std::uint8_t*>(input.data()), input.size()}, label);
    return text.ok() ? *text : "error: " + text.error().message;
}

TEST(DecodeToUtf8, Cases) {
    const struct {
        std::string input;
        std::optional<std::string_view> label;
        std::string expected;
    } cases[] = {
        {"a,b\nä,漢\n", {}, "a,b\nä,漢\n"},
        // One bad byte turns the whole input to windows-1252, valid sequences too.
        {"\xC3\xA4,\xE9", {}, "Ã¤,é"},
        {"\x81\x8D\x8F\x90\x9D", {}, "\u0081\u008D\u008F\u0090\u009D"},
        // The UTF-8 mark goes and wins over a label; so do UTF-16 marks.
        {"\xEF\xBB\xBF", {}, ""},
        {"\xEF\xBB\xBFx\xE9", "windows-1252", "x\uFFFD"},
        {"\xEF\xBB\xBF\xC3\xA9", "shift_jis", "é"},
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
        {"a", "utf-16le", "\uFFFD"},
        {"a", " Latin-9x ", "error: Unknown encoding:  Latin-9x "},
        {"a", "", "error: Unknown encoding: "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decoded(c.input, c.label), c.expected) << c.input;
}

// Long inputs are validated in pieces of 64 KiB; a character or a bad
// sequence near a piece's edge must count the same as anywhere else.
TEST(DecodeToUtf8, ValidityIsJudgedOverTheWholeOfALongInput) {
    constexpr std::size_t kPiece = 64 * 1024;
    // Valid characters, then a truncated sequence, a lone lead byte and a
    // fourth continuation byte in a row; all from 0xA0 up, where
    // windows-1252 is Latin-1.
    for (std::string_view inserted :
         {"\xC3\xA9", "\xE6\xBC\xA2", "\xF0\x9F\x98\x80", "\xE6\xBC", "\xF0", "\xA9\xA9\xA9\xA9"}) {
        const bool valid = testing::reference_valid_utf8(
            reinterpret_cast<const std::uint8_t*>(inserted.data()), inserted.size());
        for (std::size_t at = kPiece - 6; at <= kPiece + 2; ++at) {
            std::string text(3 * kPiece, 'a');
            text.replace(at, inserted.size(), inserted);
            std::string expected = text;
            if (!valid) {
                text.replace(10, 2, "\xC3\xA9");  // valid text earlier changes nothing
                expected.clear();
                for (unsigned char c : text)
                    testing::append_utf8(expected, c);
            }
            EXPECT_EQ(decoded(text), expected) << at;
        }
    }
}

// Labels match in any ASCII case with ASCII whitespace around them; nothing
// else is folded or trimmed.
TEST(EncodingLabels, OnlyAsciiCaseAndWhitespaceAreIgnored) {
    EXPECT_EQ(encoding_for_label("\f\rLaTiN1 \n"), Encoding::Windows1252);
    for (std::string label :
         {"utf-7"s, "latin 1"s, " \t\n"s, "\vutf-8"s, "\xC2\xA0utf-8"s, "utf-8x"s, "utf-"s,
          "a-label-far-longer-than-any-in-the-table"s, "utf-8\0"s,
          "\xE2\x84\xAAoi8-r"s,     // KELVIN SIGN lower-cases to 'k'
          "\xC4\xB0so-8859-2"s}) {  // and U+0130 to 'i' and a mark
        EXPECT_EQ(encoding_for_label(label), std::nullopt) << label;
    }
}

}  // namespace
}  // namespace brelt
