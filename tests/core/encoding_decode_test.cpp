// The decoders beyond what the oracle digests check (encoding_oracle_test.cpp
// compares every decoder's text on every byte, pair and more): how many
// errors each malformed input counts, that no malformed bytes swallow the
// ASCII after them, long inputs across the decoders' chunk edges, and output
// appended to what is there.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/encoding/encoding.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

const std::string kFffd = "\uFFFD";

struct Decoded {
    std::string text;
    std::size_t errors = 0;
    bool operator==(const Decoded&) const = default;
};

void PrintTo(const Decoded& d, std::ostream* os) {
    *os << "\"" << d.text << "\" with " << d.errors << " errors";
}

Decoded decode(Encoding encoding, std::string_view bytes) {
    Decoded d;
    auto result = decode_with(
        encoding, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, d.text);
    EXPECT_TRUE(result.ok()) << encoding_name(encoding);
    if (result.ok()) d.errors = *result;
    return d;
}

struct Case {
    Encoding encoding;
    std::string bytes;
    Decoded expected;
};

const std::string f2 = kFffd + kFffd, f3 = f2 + kFffd, f4 = f3 + kFffd;

const Case kCases[] = {
    // UTF-8: a byte outside the narrowed range ends the sequence before it
    // (each byte then an error of its own); a truncated sequence is one error,
    // and the byte that broke it is decoded afresh.
    {Encoding::Utf8, "\xE0\x80\x80", {f3, 3}},      // overlong
    {Encoding::Utf8, "\xED\xA0\x80", {f3, 3}},      // surrogate
    {Encoding::Utf8, "\xF0\x8F\xBF\xBF", {f4, 4}},  // overlong
    {Encoding::Utf8, "\xF4\x90\x80\x80", {f4, 4}},  // beyond U+10FFFF
    {Encoding::Utf8, "\xC0\x80", {f2, 2}},
    {Encoding::Utf8, "\xF5\x80\x80\x80", {f4, 4}},
    {Encoding::Utf8, "a\x80z", {"a" + kFffd + "z", 1}},
    {Encoding::Utf8, "\xE2\x82", {kFffd, 1}},
    {Encoding::Utf8, "ab\xF0\x9F\x98", {"ab" + kFffd, 1}},
    {Encoding::Utf8, "\xF0\x9F\x98z", {kFffd + "z", 1}},
    {Encoding::Utf8, "\xC3\xC3\xA9", {kFffd + "\xC3\xA9", 1}},
    {Encoding::Utf8, "\xE2\xF0\x9F\x98\x80", {kFffd + "\xF0\x9F\x98\x80", 1}},
    {Encoding::Utf8,
     "0123456789abcdef\xFFghijklmnopq\xE2\x82rstuvwxyz\xC3\xA9"
     "ABCDEFGH\xED",
     {"0123456789abcdef" + kFffd + "ghijklmnopq" + kFffd + "rstuvwxyz\xC3\xA9" + "ABCDEFGH" + kFffd,
      3}},
    // UTF-16: a leading surrogate without its pair is an error and the unit
    // after it is read afresh; a pending surrogate and an odd byte at the end
    // are one error together.
    {Encoding::Utf16LE,
     "\x3D\xD8"
     "A\0"s,
     {kFffd + "A", 1}},
    {Encoding::Utf16BE, "\xD8\x3D\0A"s, {kFffd + "A", 1}},
    {Encoding::Utf16LE, "\x3D\xD8\x3D\xD8\x00\xDE"s, {kFffd + "\xF0\x9F\x98\x80", 1}},
    {Encoding::Utf16BE, "\xDE\x00\xDE\x00"s, {f2, 2}},
    {Encoding::Utf16LE, "A\0B"s, {"A" + kFffd, 1}},
    {Encoding::Utf16LE, "A\0\x3D\xD8"s, {"A" + kFffd, 1}},
    {Encoding::Utf16LE, "\x3D\xD8\x00"s, {kFffd, 1}},
    {Encoding::Utf16BE, "\xD8\x3D\xDE"s, {kFffd, 1}},
    // Single-byte: unmapped bytes are errors.
    {Encoding::Windows874,
     "a\xDB"
     "b\xFF",
     {"a" + kFffd + "b" + kFffd, 2}},
    {Encoding::Iso8859_3, "\xA5\xA4", {kFffd + "\xC2\xA4", 1}},
    {Encoding::XUserDefined, "A\x80\xFF", {"A\xEF\x9E\x80\xEF\x9F\xBF", 0}},
    {Encoding::Replacement, "", {"", 0}},
    {Encoding::Replacement, "hello \xFF world", {kFffd, 1}},
    // Multi-byte: a lead with an ASCII trail is one error and the trail is
    // decoded; a non-ASCII trail that maps to nothing goes with its lead.
    {Encoding::ShiftJis, "\x82\x40", {kFffd + "@", 1}},
    {Encoding::Big5, "\x81\x40", {kFffd + "@", 1}},
    {Encoding::ShiftJis,
     "\x85\x9F"
     "a",
     {kFffd + "a", 1}},
    {Encoding::EucKr, "\x81\x5B", {kFffd + "[", 1}},
    {Encoding::EucJp,
     "\x8F\xA1\x80"
     "A",
     {kFffd + "A", 1}},
    {Encoding::EucJp,
     "\x8F\xA1"
     "A",
     {kFffd + "A", 1}},
    // gb18030: a broken four-byte sequence puts back all but its first byte;
    // a well-formed one outside the ranges is one error.
    {Encoding::Gb18030, "\x81\x30\x81,", {kFffd + "0" + kFffd + ",", 2}},
    {Encoding::Gb18030,
     "\x84\x32\xA4\x39"
     "a",
     {kFffd + "a", 1}},
    {Encoding::Gb18030, "\xFF", {kFffd, 1}},
    {Encoding::Gb18030, "\x81\x30\x81", {kFffd, 1}},
    {Encoding::EucJp, "\x8F\xA1", {kFffd, 1}},
    // ISO-2022-JP: an unknown or cut-short escape is one error for the ESC;
    // two escapes with nothing between them are an error, and so is a pair
    // cut short by the end or by an escape.
    {Encoding::Iso2022Jp, "\x1B(Xa", {kFffd + "(Xa", 1}},
    {Encoding::Iso2022Jp, "a\x1B(", {"a" + kFffd + "(", 1}},
    {Encoding::Iso2022Jp, "\x1B(B\x1B(Ba", {kFffd + "a", 1}},
    {Encoding::Iso2022Jp, "a\x1B(Bb\x1B(Bc", {"abc", 0}},
    {Encoding::Iso2022Jp, "\x0E\x0F", {f2, 2}},
    {Encoding::Iso2022Jp, "\x1B$BF", {kFffd, 1}},
    {Encoding::Iso2022Jp, "\x1B$BF\x1B(Ba", {kFffd + "a", 1}},
};

TEST(EncodingDecode, ErrorsCountedPerMalformedInput) {
    for (const Case& c : kCases)
        EXPECT_EQ(decode(c.encoding, c.bytes), c.expected) << encoding_name(c.encoding);
    // Every multi-byte decoder but ISO-2022-JP: input ending inside a
    // sequence is one error.
    for (Encoding e : {Encoding::Gbk, Encoding::Gb18030, Encoding::Big5, Encoding::EucJp,
                       Encoding::ShiftJis, Encoding::EucKr}) {
        EXPECT_EQ(decode(e, "a\x8F"), (Decoded{"a" + kFffd, 1})) << encoding_name(e);
    }
}

// What guards a CSV's structure: whatever bad bytes come before it, a
// delimiter, quote or line break is decoded as itself. (In ISO-2022-JP every
// printable byte may belong to a pair, by design.)
TEST(EncodingDecode, AsciiAfterMalformedBytesIsNeverSwallowed) {
    std::vector<std::string> prefixes;
    for (int a = 0x80; a <= 0xFF; ++a) {
        prefixes.push_back(std::string(1, static_cast<char>(a)));
        for (int b = 0x80; b <= 0xFF; ++b)
            prefixes.push_back({static_cast<char>(a), static_cast<char>(b)});
        // gb18030 four-byte and EUC-JP three-byte sequences cut short.
        prefixes.push_back({static_cast<char>(a), '7'});
        prefixes.push_back({static_cast<char>(a), '7', static_cast<char>(0x81)});
        prefixes.push_back({static_cast<char>(0x8F), static_cast<char>(a)});
    }
    for (Encoding e : {Encoding::Gbk, Encoding::Gb18030, Encoding::Big5, Encoding::EucJp,
                       Encoding::ShiftJis, Encoding::EucKr, Encoding::Utf8}) {
        int swallowed = 0;
        for (const std::string& prefix : prefixes) {
            for (char delimiter : {',', '"', '\n'}) {
                const std::string tail = std::string(1, delimiter) + "x";
                if (!decode(e, prefix + tail).text.ends_with(tail) && ++swallowed < 4) {
                    ADD_FAILURE() << encoding_name(e) << " lost " << delimiter;
                }
            }
        }
        EXPECT_EQ(swallowed, 0) << encoding_name(e);
    }
}

// The decoders size their output a chunk of input at a time; sequences that
// straddle chunk edges must come out whole, however the text is aligned.
TEST(EncodingDecode, LongInputsAcrossChunkEdges) {
    const Case samples[] = {
        {Encoding::ShiftJis, "1,\x93\xFA\x96\x7B\xB1\n", {"1,日本ｱ\n"}},
        {Encoding::Gb18030, "1,\xD6\xD0\x90\x30\x81\x30\n", {"1,中\U00010000\n"}},
        {Encoding::Big5, "1,\xA4\xA4\x87\x45\n", {"1,中\U00027267\n"}},
        {Encoding::EucJp, "1,\xC6\xFC\x8F\xA2\xAF\x8E\xB1\n", {"1,日\u02D8ｱ\n"}},
        {Encoding::Iso2022Jp, "1,\x1B$BF|\x1B(B\n", {"1,日\n"}},
        {Encoding::Utf8, "1,\xC3\xA9\xF0\x9F\x98\x80\n", {"1,é😀\n"}},
        {Encoding::Windows1251, "1,\xC0\xFF\n", {"1,Ая\n"}},
    };
    for (const Case& sample : samples) {
        for (std::size_t shift = 0; shift < 9; ++shift) {
            std::string bytes(shift, 'x');
            std::string text(shift, 'x');
            while (bytes.size() < 70000) {
                bytes += sample.bytes;
                text += sample.expected.text;
            }
            EXPECT_EQ(decode(sample.encoding, bytes), (Decoded{text, 0}))
                << encoding_name(sample.encoding) << " shift " << shift;
        }
    }
}

TEST(EncodingDecode, AppendsToExistingOutput) {
    for (std::size_t i = 0; i < kEncodingCount; ++i) {
        const auto e = static_cast<Encoding>(i);
        std::string out = "kept:";
        const std::uint8_t bytes[] = {'o', 'k', 0xFF};
        ASSERT_TRUE(decode_with(e, bytes, out).ok());
        EXPECT_TRUE(out.starts_with("kept:")) << encoding_name(e);
        EXPECT_GT(out.size(), 5u) << encoding_name(e);
    }
}

}  // namespace
}  // namespace brelt
