// The legacy multi-byte decoders: text a user has, the rules for malformed
// input that keep a CSV's structure intact, and long inputs. The oracle digests
// (encoding_oracle_test.cpp) cover every pair and sequence exhaustively.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "input/encoding/encoding.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

const std::string kFffd = "\uFFFD";

constexpr Encoding kMultiByte[] = {Encoding::Gbk,   Encoding::Gb18030,   Encoding::Big5,
                                   Encoding::EucJp, Encoding::Iso2022Jp, Encoding::ShiftJis,
                                   Encoding::EucKr};

struct Decoded {
    std::string text;
    std::size_t errors = 0;
};

Decoded decode(Encoding encoding, std::string_view bytes) {
    Decoded d;
    auto result = decode_with(
        encoding, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, d.text);
    EXPECT_TRUE(result.ok()) << encoding_name(encoding);
    if (result.ok()) d.errors = *result;
    return d;
}

std::string text_of(Encoding encoding, std::string_view bytes) {
    return decode(encoding, bytes).text;
}

TEST(DecodeMultiByte, EverydayText) {
    EXPECT_EQ(text_of(Encoding::ShiftJis, "id,\x93\xFA\x96\x7B\n"), "id,日本\n");
    EXPECT_EQ(text_of(Encoding::EucJp, "id,\xC6\xFC\xCB\xDC\n"), "id,日本\n");
    EXPECT_EQ(text_of(Encoding::Iso2022Jp, "id,\x1B$BF|K\\\x1B(B\n"), "id,日本\n");
    EXPECT_EQ(text_of(Encoding::Gb18030, "id,\xD6\xD0\xCE\xC4\n"), "id,中文\n");
    EXPECT_EQ(text_of(Encoding::Gbk, "id,\xD6\xD0\xCE\xC4\n"), "id,中文\n");
    EXPECT_EQ(text_of(Encoding::Big5, "id,\xA4\xA4\xA4\xE5\n"), "id,中文\n");
    EXPECT_EQ(text_of(Encoding::EucKr, "id,\xC7\xD1\xB1\xB9\n"), "id,한국\n");
}

TEST(DecodeMultiByte, SingleBytesBeyondAscii) {
    EXPECT_EQ(text_of(Encoding::ShiftJis, "\xB1\x80"), "ｱ\u0080");  // half-width katakana
    EXPECT_EQ(text_of(Encoding::EucJp, "\x8E\xB1"), "ｱ");
    EXPECT_EQ(text_of(Encoding::Iso2022Jp, "\x1B(I1\x1B(J\\~"), "ｱ¥‾");
    EXPECT_EQ(text_of(Encoding::Gb18030, "\x80"), "€");
}

TEST(DecodeMultiByte, CodePointsOutsideTheTwoByteIndexes) {
    // gb18030 four-byte sequences: the first and last of the BMP ranges, the
    // start and end of the supplementary planes.
    EXPECT_EQ(text_of(Encoding::Gb18030, "\x81\x30\x81\x30"), "\u0080");
    EXPECT_EQ(text_of(Encoding::Gb18030, "\x84\x31\xA4\x39"), "\uFFFF");
    EXPECT_EQ(text_of(Encoding::Gb18030, "\x90\x30\x81\x30"), "\U00010000");
    EXPECT_EQ(text_of(Encoding::Gb18030, "\xE3\x32\x9A\x35"), "\U0010FFFF");
    EXPECT_EQ(text_of(Encoding::Gb18030, "\x81\x35\xF4\x37"), "\uE7C7");
    // GB18030-2022 moved these from the Private Use Area.
    EXPECT_EQ(text_of(Encoding::Gb18030, "\xA6\xD9\xFE\x59"), "\uFE10\u9FB4");
    // Big5: a plane-2 ideograph, and a letter with two combining marks.
    EXPECT_EQ(text_of(Encoding::Big5, "\x87\x45"), "\U00027267");
    EXPECT_EQ(text_of(Encoding::Big5, "\x88\x62\x88\xA5"), "\u00CA\u0304\u00EA\u030C");
    // EUC-JP's JIS X 0212 rows and Shift_JIS's user-defined area.
    EXPECT_EQ(text_of(Encoding::EucJp, "\x8F\xA2\xAF"), "\u02D8");
    EXPECT_EQ(text_of(Encoding::ShiftJis, "\xF0\x40\xF9\xFC"), "\uE000\uE757");
}

// The property that guards a CSV's structure: whatever bad bytes come before
// it, a delimiter, quote or line break is decoded as itself.
TEST(DecodeMultiByte, AsciiAfterMalformedBytesIsNeverSwallowed) {
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
    for (Encoding e : kMultiByte) {
        // In ISO-2022-JP every printable byte may belong to a pair, by design.
        if (e == Encoding::Iso2022Jp) continue;
        int swallowed = 0;
        for (const std::string& prefix : prefixes) {
            for (char delimiter : {',', '"', '\n'}) {
                const std::string tail = std::string(1, delimiter) + "x";
                const std::string text = text_of(e, prefix + tail);
                if (text.size() < tail.size() || text.substr(text.size() - tail.size()) != tail) {
                    if (++swallowed < 4) ADD_FAILURE() << encoding_name(e) << " lost " << delimiter;
                }
            }
        }
        EXPECT_EQ(swallowed, 0) << encoding_name(e);
    }
}

TEST(DecodeMultiByte, RejectedBytesAreReadAgainOnlyAsTheStandardSays) {
    // A lead with an ASCII trail: one error, the trail decoded.
    EXPECT_EQ(text_of(Encoding::ShiftJis, "\x82\x40"), kFffd + "@");
    EXPECT_EQ(text_of(Encoding::Big5, "\x81\x40"), kFffd + "@");
    // A non-ASCII trail that maps to nothing goes with its lead.
    EXPECT_EQ(text_of(Encoding::ShiftJis,
                      "\x85\x9F"
                      "a"),
              kFffd + "a");
    // EUC-KR reads an ASCII trail again even when it formed a pointer.
    EXPECT_EQ(text_of(Encoding::EucKr, "\x81\x5B"), kFffd + "[");
    // EUC-JP puts back only an ASCII byte after a bad JIS X 0212 pair.
    EXPECT_EQ(decode(Encoding::EucJp,
                     "\x8F\xA1\x80"
                     "A")
                  .text,
              kFffd + "A");
    EXPECT_EQ(decode(Encoding::EucJp,
                     "\x8F\xA1\x80"
                     "A")
                  .errors,
              1u);
    EXPECT_EQ(text_of(Encoding::EucJp,
                      "\x8F\xA1"
                      "A"),
              kFffd + "A");
    // gb18030: a broken four-byte sequence puts back all but its first byte...
    EXPECT_EQ(text_of(Encoding::Gb18030, "\x81\x30\x81,"), kFffd + "0" + kFffd + ",");
    EXPECT_EQ(text_of(Encoding::Gb18030, "\x81\x30,"), kFffd + "0,");
    // ...but one ending in a digit outside the ranges is a single error.
    EXPECT_EQ(decode(Encoding::Gb18030,
                     "\x84\x32\xA4\x39"
                     "a")
                  .text,
              kFffd + "a");
    EXPECT_EQ(decode(Encoding::Gb18030, "\x84\x32\xA4\x39").errors, 1u);
    EXPECT_EQ(decode(Encoding::Gb18030, "\xFF").errors, 1u);
}

TEST(DecodeMultiByte, InputEndingInsideASequenceIsOneError) {
    for (Encoding e : kMultiByte) {
        if (e == Encoding::Iso2022Jp) continue;
        const Decoded d = decode(e, "a\x8F");
        EXPECT_EQ(d.text, "a" + kFffd) << encoding_name(e);
        EXPECT_EQ(d.errors, 1u) << encoding_name(e);
    }
    EXPECT_EQ(decode(Encoding::Gb18030, "\x81\x30\x81").errors, 1u);
    EXPECT_EQ(decode(Encoding::EucJp, "\x8F\xA1").errors, 1u);
    EXPECT_EQ(decode(Encoding::Iso2022Jp, "\x1B$BF").errors, 1u);
    // An escape cut short: its bytes after the ESC are read again.
    EXPECT_EQ(text_of(Encoding::Iso2022Jp, "a\x1B"), "a" + kFffd);
    EXPECT_EQ(text_of(Encoding::Iso2022Jp, "a\x1B("), "a" + kFffd + "(");
}

TEST(DecodeMultiByte, Iso2022JpEscapes) {
    // An unknown escape is one error for the ESC; the mode in force goes on,
    // including a mode set by an earlier escape.
    EXPECT_EQ(text_of(Encoding::Iso2022Jp, "\x1B(Xa"), kFffd + "(Xa");
    const Decoded kept = decode(Encoding::Iso2022Jp, "\x1B$B\x1B(X\x1B$BF|");
    EXPECT_EQ(kept.text.substr(kept.text.size() - 3), "日");
    // Two escapes with nothing between them are an error, and so is an escape
    // that ends the input; an escape that changes nothing between text is not.
    EXPECT_EQ(decode(Encoding::Iso2022Jp, "\x1B(B\x1B(Ba").errors, 1u);
    EXPECT_EQ(decode(Encoding::Iso2022Jp, "a\x1B(Bb\x1B(Bc").errors, 0u);
    // Shift bytes are errors in every mode; in the jis0208 mode an ESC cuts
    // the pair short and is then read as an escape.
    EXPECT_EQ(decode(Encoding::Iso2022Jp, "\x0E\x0F").errors, 2u);
    EXPECT_EQ(text_of(Encoding::Iso2022Jp, "\x1B$BF\x1B(Ba"), kFffd + "a");
}

// The decoders size their output a chunk of input at a time; sequences that
// straddle chunk edges must come out whole, however the text is aligned.
TEST(DecodeMultiByte, LongInputsAcrossChunkEdges) {
    struct Sample {
        Encoding encoding;
        std::string bytes;
        std::string text;
    };
    const Sample samples[] = {
        {Encoding::ShiftJis, "1,\x93\xFA\x96\x7B\xB1\n", "1,日本ｱ\n"},
        {Encoding::Gb18030, "1,\xD6\xD0\x90\x30\x81\x30\n", "1,中\U00010000\n"},
        {Encoding::Big5, "1,\xA4\xA4\x87\x45\n", "1,中\U00027267\n"},
        {Encoding::EucJp, "1,\xC6\xFC\x8F\xA2\xAF\x8E\xB1\n", "1,日\u02D8ｱ\n"},
        {Encoding::EucKr, "1,\xC7\xD1\x81\x5B\n", "1,한" + kFffd + "[\n"},
        {Encoding::Iso2022Jp, "1,\x1B$BF|\x1B(B\n", "1,日\n"},
    };
    for (const Sample& sample : samples) {
        for (std::size_t shift = 0; shift < 9; ++shift) {
            std::string bytes(shift, 'x');
            std::string text(shift, 'x');
            while (bytes.size() < 70000) {
                bytes += sample.bytes;
                text += sample.text;
            }
            EXPECT_EQ(text_of(sample.encoding, bytes), text)
                << encoding_name(sample.encoding) << " shift " << shift;
        }
    }
}

}  // namespace
}  // namespace brelt
