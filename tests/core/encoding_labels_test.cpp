#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "input/encoding/encoding.hpp"

namespace brelt {
namespace {

TEST(EncodingLabels, ResolvesLabelsOfTheTable) {
    EXPECT_EQ(encoding_for_label("utf8"), Encoding::Utf8);
    EXPECT_EQ(encoding_for_label("unicode-1-1-utf-8"), Encoding::Utf8);
    EXPECT_EQ(encoding_for_label("latin1"), Encoding::Windows1252);
    EXPECT_EQ(encoding_for_label("ascii"), Encoding::Windows1252);
    EXPECT_EQ(encoding_for_label("utf-16"), Encoding::Utf16LE);
    EXPECT_EQ(encoding_for_label("utf-16be"), Encoding::Utf16BE);
    EXPECT_EQ(encoding_for_label("iso-8859-8-i"), Encoding::Iso8859_8I);
    EXPECT_EQ(encoding_for_label("iso-8859-8"), Encoding::Iso8859_8);
    EXPECT_EQ(encoding_for_label("x-user-defined"), Encoding::XUserDefined);
    EXPECT_EQ(encoding_for_label("csisolatin9"), Encoding::Iso8859_15);
    EXPECT_EQ(encoding_for_label("iso-2022-cn"), Encoding::Replacement);
    EXPECT_EQ(encoding_for_label("sjis"), Encoding::ShiftJis);
    // First and last entries of the sorted table: binary search edges.
    EXPECT_EQ(encoding_for_label("866"), Encoding::Ibm866);
    EXPECT_EQ(encoding_for_label("x-x-big5"), Encoding::Big5);
}

TEST(EncodingLabels, IgnoresAsciiCaseAndSurroundingAsciiWhitespace) {
    EXPECT_EQ(encoding_for_label("  UTF-8\t\n"), Encoding::Utf8);
    EXPECT_EQ(encoding_for_label("\f\rLaTiN1 "), Encoding::Windows1252);
    EXPECT_EQ(encoding_for_label("ISO_8859-1:1987"), Encoding::Windows1252);
    EXPECT_EQ(encoding_for_label("KOI8-R"), Encoding::Koi8R);
}

TEST(EncodingLabels, RejectsUnknownLabels) {
    EXPECT_EQ(encoding_for_label("utf-7"), std::nullopt);
    EXPECT_EQ(encoding_for_label("latin 1"), std::nullopt);  // inner space is not trimmed
    EXPECT_EQ(encoding_for_label(""), std::nullopt);
    EXPECT_EQ(encoding_for_label(" \t\n"), std::nullopt);
    EXPECT_EQ(encoding_for_label("\vutf-8"), std::nullopt);        // VT is not ASCII whitespace
    EXPECT_EQ(encoding_for_label("\xC2\xA0utf-8"), std::nullopt);  // nor is NBSP
    EXPECT_EQ(encoding_for_label("utf-8x"), std::nullopt);
    EXPECT_EQ(encoding_for_label("utf-"), std::nullopt);
    EXPECT_EQ(encoding_for_label("a-label-far-longer-than-any-in-the-table"), std::nullopt);
    EXPECT_EQ(encoding_for_label(std::string("utf-8\0", 6)), std::nullopt);
}

TEST(EncodingLabels, NonAsciiLettersNeverFoldToAscii) {
    // KELVIN SIGN lower-cases to 'k' under Unicode rules; labels are ASCII-only.
    EXPECT_EQ(encoding_for_label("\xE2\x84\xAAoi8-r"), std::nullopt);
    EXPECT_EQ(encoding_for_label("koi8-r"), Encoding::Koi8R);
    // LATIN CAPITAL LETTER I WITH DOT ABOVE lower-cases to 'i' plus a combining dot.
    EXPECT_EQ(encoding_for_label("\xC4\xB0so-8859-2"), std::nullopt);
}

TEST(EncodingLabels, EveryNameResolvesToItsEncoding) {
    for (std::size_t i = 0; i < kEncodingCount; ++i) {
        const auto encoding = static_cast<Encoding>(i);
        const std::string_view name = encoding_name(encoding);
        ASSERT_FALSE(name.empty()) << i;
        EXPECT_EQ(encoding_for_label(name), encoding) << name;
    }
}

TEST(EncodingLabels, NamesAreTheStandardsSpelling) {
    EXPECT_EQ(encoding_name(Encoding::Utf8), "UTF-8");
    EXPECT_EQ(encoding_name(Encoding::Windows1252), "windows-1252");
    EXPECT_EQ(encoding_name(Encoding::Utf16LE), "UTF-16LE");
    EXPECT_EQ(encoding_name(Encoding::Iso8859_8I), "ISO-8859-8-I");
    EXPECT_EQ(encoding_name(Encoding::ShiftJis), "Shift_JIS");
    EXPECT_EQ(encoding_name(Encoding::XUserDefined), "x-user-defined");
}

}  // namespace
}  // namespace brelt
