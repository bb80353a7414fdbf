#include "input/decode.hpp"

#include <gtest/gtest.h>

#include <string>

#include "input/encoding/generated/label_table.hpp"

namespace brelt {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string decode_ok(std::string_view input, std::optional<std::string_view> label = {}) {
    auto text = decode_to_utf8(bytes_of(input), label);
    EXPECT_TRUE(text.ok()) << text.error().message;
    return text.ok() ? *text : std::string();
}

std::string decode_failure(std::string_view input, std::optional<std::string_view> label = {}) {
    auto text = decode_to_utf8(bytes_of(input), label);
    EXPECT_FALSE(text.ok());
    return text.ok() ? std::string() : text.error().message;
}

TEST(DecodeToUtf8, ValidUtf8IsCopiedUnchanged) {
    EXPECT_EQ(decode_ok(""), "");
    EXPECT_EQ(decode_ok("a"), "a");
    EXPECT_EQ(decode_ok("a,b\nä,漢\n"), "a,b\nä,漢\n");
}

TEST(DecodeToUtf8, InvalidUtf8WithoutLabelIsWindows1252Throughout) {
    // One bad byte turns the whole input to windows-1252, valid sequences too.
    EXPECT_EQ(decode_ok("caf\xE9"), "café");
    EXPECT_EQ(decode_ok("\x80"), "€");
    EXPECT_EQ(decode_ok("\xC3\xA4,\xE9"), "Ã¤,é");
    EXPECT_EQ(decode_ok("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(DecodeToUtf8, ValidityIsJudgedOverTheWholeOfALongInput) {
    // Long inputs are validated in pieces (64 KiB); a character or a bad
    // sequence anywhere near a piece's edge must count the same as elsewhere.
    constexpr std::size_t kPiece = 64 * 1024;
    const std::string filler(3 * kPiece, 'a');
    for (std::string_view inserted : {"\xC3\xA9", "\xE6\xBC\xA2", "\xF0\x9F\x98\x80"}) {
        for (std::size_t at = kPiece - 6; at <= kPiece + 2; ++at) {
            std::string text = filler;
            text.replace(at, inserted.size(), inserted);
            EXPECT_EQ(decode_ok(text), text) << at;
        }
    }
    // Windows-1252 reads every byte of these as a character of its own.
    auto as_windows_1252 = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c >= 0xA0) {
                out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            } else {
                ADD_FAILURE() << "byte without a Latin-1 code point in windows-1252";
            }
        }
        return out;
    };
    // A truncated sequence, a lone lead byte, and a fourth continuation byte in a row.
    for (std::string_view inserted : {"\xE6\xBC", "\xF0", "\xA9\xA9\xA9\xA9"}) {
        for (std::size_t at = kPiece - 6; at <= kPiece + 2; ++at) {
            std::string text = filler;
            text.replace(at, inserted.size(), inserted);
            // Valid text earlier in the input is windows-1252 all the same.
            text.replace(10, 2, "\xC3\xA9");
            EXPECT_EQ(decode_ok(text), as_windows_1252(text)) << at;
        }
    }
    std::string bad_last_byte = filler + "\xE9";
    EXPECT_EQ(decode_ok(bad_last_byte), as_windows_1252(bad_last_byte));
}

TEST(DecodeToUtf8, Utf8ByteOrderMarkIsDroppedAndWinsOverTheLabel) {
    EXPECT_EQ(decode_ok("\xEF\xBB\xBF"), "");
    EXPECT_EQ(decode_ok("\xEF\xBB\xBFx,y"), "x,y");
    EXPECT_EQ(decode_ok("\xEF\xBB\xBFx\xE9", "windows-1252"), "x\uFFFD");
    EXPECT_EQ(decode_ok("\xEF\xBB\xBF\xC3\xA9", "shift_jis"), "é");
}

TEST(DecodeToUtf8, Utf16ByteOrderMarks) {
    EXPECT_EQ(decode_ok("\xFF\xFE"), "");
    EXPECT_EQ(decode_ok(std::string_view("\xFF\xFE"
                                         "a\0,\0\xE9\0",
                                         8)),
              "a,é");
    EXPECT_EQ(decode_ok(std::string_view("\xFE\xFF\0a\0,\x6F\x22", 8)), "a,漢");
    // A surrogate pair: U+1F600.
    EXPECT_EQ(decode_ok(std::string_view("\xFF\xFE\x3D\xD8\x00\xDE", 6)), "\U0001F600");
    // The mark wins over a label.
    EXPECT_EQ(decode_ok(std::string_view("\xFF\xFEx\0", 4), "latin1"), "x");
}

TEST(DecodeToUtf8, MalformedUtf16AfterAMarkFails) {
    EXPECT_EQ(decode_failure("\xFF\xFEx"), "Failed to decode UTF-16LE");
    EXPECT_EQ(decode_failure(std::string_view("\xFF\xFE\x3D\xD8", 4)), "Failed to decode UTF-16LE");
    EXPECT_EQ(decode_failure(std::string_view("\xFF\xFE\x00\xDEx\0", 6)),
              "Failed to decode UTF-16LE");
    EXPECT_EQ(decode_failure(std::string_view("\xFE\xFF\0a\0", 5)), "Failed to decode UTF-16BE");
}

TEST(DecodeToUtf8, ShortInputsHaveNoMark) {
    EXPECT_EQ(decode_ok("\xFF"), "ÿ");
    EXPECT_EQ(decode_ok("\xEF\xBB"), "ï»");
}

TEST(DecodeToUtf8, Utf8LabelsReplaceMalformedInput) {
    for (std::string_view label : {"utf8", "UTF-8", "Utf8", "utf-8"}) {
        EXPECT_EQ(decode_ok("a\xE9z", label), "a\uFFFDz") << label;
    }
    // Whitespace around the label goes through the label table, which also
    // names UTF-8.
    EXPECT_EQ(decode_ok("a\xE9z", "  utf-8\t"), "a\uFFFDz");
    EXPECT_EQ(decode_ok("a\xE9z", "unicode-1-1-utf-8"), "a\uFFFDz");
}

TEST(DecodeToUtf8, OtherLabelsUseTheirDecoder) {
    EXPECT_EQ(decode_ok("caf\xE9", "latin1"), "café");
    EXPECT_EQ(decode_ok("\xE9", "iso-8859-5"), "щ");
    EXPECT_EQ(decode_ok("\xC1", "koi8-r"), "а");
    EXPECT_EQ(decode_ok(std::string_view("a\0", 2), "utf-16le"), "a");
    // Malformed input under a label is replaced, never an error.
    EXPECT_EQ(decode_ok("a", "utf-16le"), "\uFFFD");
}

TEST(DecodeToUtf8, UnknownLabelFailsWithTheLabelAsGiven) {
    EXPECT_EQ(decode_failure("a", " Latin-9x "), "Unknown encoding:  Latin-9x ");
    EXPECT_EQ(decode_failure("a", ""), "Unknown encoding: ");
    EXPECT_EQ(decode_failure("a", "utf-7"), "Unknown encoding: utf-7");
}

TEST(DecodeToUtf8, EveryLabelOfTheTableDecodes) {
    using namespace std::string_literals;
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
        EXPECT_EQ(decode_ok(input, entry.label), want) << entry.label;
        EXPECT_EQ(decode_ok(input, " " + upper + "\t"), want) << upper;
    }
}

}  // namespace
}  // namespace brelt
