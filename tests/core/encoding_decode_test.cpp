#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "input/encoding/encoding.hpp"

namespace brelt {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

struct Decoded {
    std::string text;
    std::size_t errors;
};

Decoded decode(Encoding encoding, std::string_view bytes) {
    std::string out;
    auto result = decode_with(
        encoding, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, out);
    EXPECT_TRUE(result.ok()) << encoding_name(encoding);
    return {out, result.ok() ? *result : 0};
}

std::string utf8(std::uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

#define EXPECT_DECODES(encoding, input, expected_text, expected_errors) \
    do {                                                                \
        const Decoded d = decode(encoding, input);                      \
        EXPECT_EQ(d.text, expected_text);                               \
        EXPECT_EQ(d.errors, std::size_t{expected_errors});              \
    } while (0)

// ---- UTF-8 ----

TEST(DecodeUtf8, WellFormedInputPassesThrough) {
    const std::string text = "plain ascii, then \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 and more text";
    EXPECT_DECODES(Encoding::Utf8, text, text, 0);
    EXPECT_DECODES(Encoding::Utf8, "", "", 0);
    // Boundaries of every range.
    const std::string edges =
        "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"
        "\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    EXPECT_DECODES(Encoding::Utf8, edges, edges, 0);
}

TEST(DecodeUtf8, OutOfRangeSecondBytesAreOneErrorPerByte) {
    // The first byte starts a sequence; the second falls outside the narrowed
    // range, so the lead alone is one error and each stray byte another.
    EXPECT_DECODES(Encoding::Utf8, "\xE0\x80\x80", kFffd + kFffd + kFffd, 3);  // overlong
    EXPECT_DECODES(Encoding::Utf8, "\xED\xA0\x80", kFffd + kFffd + kFffd, 3);  // surrogate
    EXPECT_DECODES(Encoding::Utf8, "\xF0\x8F\xBF\xBF", kFffd + kFffd + kFffd + kFffd, 4);
    EXPECT_DECODES(Encoding::Utf8, "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd, 4);
}

TEST(DecodeUtf8, BytesThatNeverStartASequence) {
    EXPECT_DECODES(Encoding::Utf8, "\xC0\x80", kFffd + kFffd, 2);
    EXPECT_DECODES(Encoding::Utf8, "\xC1\xBF", kFffd + kFffd, 2);
    EXPECT_DECODES(Encoding::Utf8, "a\x80z", "a" + kFffd + "z", 1);
    EXPECT_DECODES(Encoding::Utf8, "\xF5\x80\x80\x80", kFffd + kFffd + kFffd + kFffd, 4);
    EXPECT_DECODES(Encoding::Utf8, "\xFF\xFE", kFffd + kFffd, 2);
}

TEST(DecodeUtf8, TruncatedSequenceIsOneError) {
    EXPECT_DECODES(Encoding::Utf8, "\xE2\x82", kFffd, 1);
    EXPECT_DECODES(Encoding::Utf8, "ab\xF0\x9F\x98", "ab" + kFffd, 1);
    EXPECT_DECODES(Encoding::Utf8, "\xC3", kFffd, 1);
    // Mid-stream, the byte that broke the sequence is decoded afresh.
    EXPECT_DECODES(Encoding::Utf8, "\xF0\x9F\x98z", kFffd + "z", 1);
    EXPECT_DECODES(Encoding::Utf8, "\xE2\x82\x2C", kFffd + ",", 1);
    EXPECT_DECODES(Encoding::Utf8, "\xC3\xC3\xA9", kFffd + "\xC3\xA9", 1);
    EXPECT_DECODES(Encoding::Utf8, "\xE2\xF0\x9F\x98\x80", kFffd + "\xF0\x9F\x98\x80", 1);
}

TEST(DecodeUtf8, ErrorsAmidLongAsciiRunsKeepEveryByte) {
    // Errors inside and at the edges of 8-byte words, around valid sequences.
    const std::string in =
        "0123456789abcdef\xFFghijklmnopq\xE2\x82rstuvwxyz\xC3\xA9"
        "ABCDEFGH\xED";
    const std::string want = "0123456789abcdef" + kFffd + "ghijklmnopq" + kFffd +
                             "rstuvwxyz\xC3\xA9"
                             "ABCDEFGH" +
                             kFffd;
    EXPECT_DECODES(Encoding::Utf8, in, want, 3);
}

// ---- UTF-16 ----

TEST(DecodeUtf16, DecodesBothByteOrders) {
    using namespace std::string_literals;
    // "A", U+00E9, U+20AC, U+1F600 (a surrogate pair).
    EXPECT_DECODES(Encoding::Utf16LE, "A\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE"s,
                   "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 0);
    EXPECT_DECODES(Encoding::Utf16BE, "\0A\0\xE9\x20\xAC\xD8\x3D\xDE\x00"s,
                   "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 0);
    EXPECT_DECODES(Encoding::Utf16LE, "", "", 0);
}

TEST(DecodeUtf16, AsciiWordsStopAtUnitsFrom0x80) {
    using namespace std::string_literals;
    // U+0080 and U+0100 differ from ASCII only in the bit the word test must see.
    EXPECT_DECODES(Encoding::Utf16LE, "a\0b\0c\0d\0\x80\0e\0f\0g\0"s, "abcd\xC2\x80" + "efg"s, 0);
    EXPECT_DECODES(Encoding::Utf16LE,
                   "a\0b\0c\0\0\x01"
                   "d\0e\0f\0g\0h\0"s,
                   "abc\xC4\x80" + "defgh"s, 0);
    EXPECT_DECODES(Encoding::Utf16BE, "\0a\0b\0c\x01\0\0d\0e\0f\0g\0h"s, "abc\xC4\x80" + "defgh"s,
                   0);
    EXPECT_DECODES(Encoding::Utf16BE, "\0a\0b\0c\0\x80\0d\0e\0f\0g"s, "abc\xC2\x80" + "defg"s, 0);
}

TEST(DecodeUtf16, UnpairedSurrogates) {
    using namespace std::string_literals;
    // A leading surrogate before a non-trailing unit: that unit is decoded afresh.
    EXPECT_DECODES(Encoding::Utf16LE,
                   "\x3D\xD8"
                   "A\0"s,
                   kFffd + "A", 1);
    EXPECT_DECODES(Encoding::Utf16BE, "\xD8\x3D\0A"s, kFffd + "A", 1);
    EXPECT_DECODES(Encoding::Utf16LE, "\x3D\xD8\x3D\xD8\x00\xDE"s, kFffd + "\xF0\x9F\x98\x80", 1);
    EXPECT_DECODES(Encoding::Utf16LE,
                   "\x00\xDE"
                   "A\0"s,
                   kFffd + "A", 1);
    EXPECT_DECODES(Encoding::Utf16BE, "\xDE\x00\xDE\x00"s, kFffd + kFffd, 2);
}

TEST(DecodeUtf16, IncompleteEndIsOneError) {
    using namespace std::string_literals;
    EXPECT_DECODES(Encoding::Utf16LE, "A\0B"s, "A" + kFffd, 1);
    EXPECT_DECODES(Encoding::Utf16BE, "\0"s, kFffd, 1);
    EXPECT_DECODES(Encoding::Utf16LE, "A\0\x3D\xD8"s, "A" + kFffd, 1);
    // Pending leading surrogate and an odd byte are still a single error.
    EXPECT_DECODES(Encoding::Utf16LE, "\x3D\xD8\x00"s, kFffd, 1);
    EXPECT_DECODES(Encoding::Utf16BE, "\xD8\x3D\xDE"s, kFffd, 1);
}

// ---- single-byte, x-user-defined, replacement ----

TEST(DecodeSingleByte, Windows1252) {
    EXPECT_DECODES(Encoding::Windows1252, "\x80", "\xE2\x82\xAC", 0);
    EXPECT_DECODES(Encoding::Windows1252, "\x81", "\xC2\x81", 0);
    EXPECT_DECODES(Encoding::Windows1252, "caf\xE9", "caf\xC3\xA9", 0);
    EXPECT_DECODES(Encoding::Windows1252, "", "", 0);
}

TEST(DecodeSingleByte, UnmappedBytesAreErrors) {
    EXPECT_DECODES(Encoding::Windows874,
                   "a\xDB"
                   "b\xFF",
                   "a" + kFffd + "b" + kFffd, 2);
    EXPECT_DECODES(Encoding::Iso8859_3, "\xA5\xA4", kFffd + "\xC2\xA4", 1);
}

TEST(DecodeSingleByte, Iso8859_8IDecodesLikeIso8859_8) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const Decoded plain = decode(Encoding::Iso8859_8, all);
    const Decoded logical = decode(Encoding::Iso8859_8I, all);
    EXPECT_EQ(logical.text, plain.text);
    EXPECT_EQ(logical.errors, plain.errors);
    EXPECT_GT(plain.errors, 0u);
}

TEST(DecodeSingleByte, LongMixedInputEqualsPerByteDecoding) {
    // Exercises the word loop, the per-byte loop and the tail, and that the
    // output is sized exactly (no slack bytes left behind).
    std::string in;
    for (int i = 0; i < 1000; ++i) {
        in += (i % 7 == 0) ? static_cast<char>(0x80 + (i * 37) % 128)
                           : static_cast<char>('a' + i % 26);
    }
    for (Encoding e : {Encoding::Windows1251, Encoding::Iso8859_6, Encoding::XUserDefined}) {
        std::string want;
        std::size_t want_errors = 0;
        for (char c : in) {
            const Decoded one = decode(e, std::string_view(&c, 1));
            want += one.text;
            want_errors += one.errors;
        }
        EXPECT_DECODES(e, in, want, want_errors);
    }
}

TEST(DecodeMisc, XUserDefinedMapsHighBytesToPrivateUse) {
    EXPECT_DECODES(Encoding::XUserDefined, "A\x80\xBF\xC0\xFF",
                   "A\xEF\x9E\x80\xEF\x9E\xBF\xEF\x9F\x80\xEF\x9F\xBF", 0);
}

TEST(DecodeMisc, ReplacementGivesOneErrorForAnyInput) {
    EXPECT_DECODES(Encoding::Replacement, "", "", 0);
    EXPECT_DECODES(Encoding::Replacement, "x", kFffd, 1);
    EXPECT_DECODES(Encoding::Replacement, "hello \xFF world", kFffd, 1);
}

TEST(Decode, AppendsToExistingOutput) {
    for (std::size_t i = 0; i < kEncodingCount; ++i) {
        const auto e = static_cast<Encoding>(i);
        std::string out = "kept:";
        const std::uint8_t bytes[] = {'o', 'k', 0xFF};
        ASSERT_TRUE(decode_with(e, bytes, out).ok());
        EXPECT_EQ(out.rfind("kept:", 0), 0u) << encoding_name(e);
        EXPECT_GT(out.size(), 5u) << encoding_name(e);
    }
}

// ---- against the index files themselves ----

// pointer -> code point, as written in an index file.
std::map<int, std::uint32_t> read_index(const std::filesystem::path& path) {
    std::map<int, std::uint32_t> index;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int pointer;
        std::string code_point;
        fields >> pointer >> code_point;
        index[pointer] = static_cast<std::uint32_t>(std::stoul(code_point, nullptr, 16));
    }
    return index;
}

TEST(DecodeSingleByte, EveryByteMatchesTheIndexFile) {
    const std::filesystem::path data =
        std::filesystem::path(BRELT_SOURCE_DIR) / ".." / "shared" / "whatwg-encoding";
    if (!std::filesystem::exists(data)) GTEST_SKIP() << "no index data at " << data;

    int checked = 0;
    for (std::size_t i = 0; i < kEncodingCount; ++i) {
        const auto e = static_cast<Encoding>(i);
        if (e < Encoding::Ibm866 || e > Encoding::XMacCyrillic) continue;
        std::string file(e == Encoding::Iso8859_8I ? "iso-8859-8" : encoding_name(e));
        for (char& c : file)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto index = read_index(data / ("index-" + file + ".txt"));
        ASSERT_FALSE(index.empty()) << file;

        std::string all;
        std::string want;
        std::size_t want_errors = 0;
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            std::string expected;
            std::size_t expected_errors = 0;
            if (b < 0x80) {
                expected = std::string(1, byte);
            } else if (auto it = index.find(b - 0x80); it != index.end()) {
                expected = utf8(it->second);
            } else {
                expected = kFffd;
                expected_errors = 1;
            }
            const Decoded got = decode(e, std::string_view(&byte, 1));
            EXPECT_EQ(got.text, expected) << file << " byte " << b;
            EXPECT_EQ(got.errors, expected_errors) << file << " byte " << b;
            all += byte;
            want += expected;
            want_errors += expected_errors;
        }
        EXPECT_DECODES(e, all, want, want_errors);
        ++checked;
    }
    EXPECT_EQ(checked, 28);
}

}  // namespace
}  // namespace brelt
