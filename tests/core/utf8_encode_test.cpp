// Code units of each width to UTF-8: ASCII blocks, every sequence length, and
// surrogates wherever they fall relative to the 8-unit blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/utf8_encode.hpp"

namespace brelt {
namespace {

template <class Unit>
std::string encoded(const std::vector<Unit>& units) {
    GrowableArray<std::uint8_t> out;
    Result<bool> result = encode_utf8(std::span<const Unit>(units), out);
    EXPECT_TRUE(result.ok());
    if (!result || !*result) return "<surrogate>";
    return std::string(reinterpret_cast<const char*>(out.data()), out.size());
}

// "a" repeated, then the code point, then "b" repeated: moves the code point
// across block boundaries.
template <class Unit>
std::vector<Unit> around(std::size_t before, std::uint32_t code, std::size_t after) {
    std::vector<Unit> units(before, Unit{'a'});
    units.push_back(static_cast<Unit>(code));
    units.insert(units.end(), after, Unit{'b'});
    return units;
}

std::string around_utf8(std::size_t before, const std::string& code, std::size_t after) {
    return std::string(before, 'a') + code + std::string(after, 'b');
}

TEST(Utf8Encode, EmptyAndAscii) {
    EXPECT_EQ(encoded(std::vector<std::uint8_t>{}), "");
    EXPECT_EQ(encoded(std::vector<std::uint32_t>{}), "");
    EXPECT_EQ(encoded(around<std::uint16_t>(20, 'x', 3)), around_utf8(20, "x", 3));
    EXPECT_EQ(encoded(around<std::uint8_t>(7, 0x7F, 9)), around_utf8(7, "\x7F", 9));
}

TEST(Utf8Encode, EachWidthAtEveryOffset) {
    for (std::size_t before = 0; before < 18; ++before) {
        for (std::size_t after : {0, 1, 7, 8, 9}) {
            EXPECT_EQ(encoded(around<std::uint8_t>(before, 0xE9, after)),
                      around_utf8(before, "\xC3\xA9", after));
            EXPECT_EQ(encoded(around<std::uint8_t>(before, 0x80, after)),
                      around_utf8(before, "\xC2\x80", after));
            EXPECT_EQ(encoded(around<std::uint16_t>(before, 0xFF, after)),
                      around_utf8(before, "\xC3\xBF", after));
            EXPECT_EQ(encoded(around<std::uint16_t>(before, 0x65E5, after)),
                      around_utf8(before, "\xE6\x97\xA5", after));
            EXPECT_EQ(encoded(around<std::uint16_t>(before, 0xFFFF, after)),
                      around_utf8(before, "\xEF\xBF\xBF", after));
            EXPECT_EQ(encoded(around<std::uint32_t>(before, 0x1F389, after)),
                      around_utf8(before, "\xF0\x9F\x8E\x89", after));
            EXPECT_EQ(encoded(around<std::uint32_t>(before, 0x10FFFF, after)),
                      around_utf8(before, "\xF4\x8F\xBF\xBF", after));
        }
    }
}

TEST(Utf8Encode, SurrogatesStopTheWideForms) {
    for (std::size_t before : {0, 5, 8, 13}) {
        for (std::uint32_t code : {0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu}) {
            EXPECT_EQ(encoded(around<std::uint16_t>(before, code, 4)), "<surrogate>");
            EXPECT_EQ(encoded(around<std::uint32_t>(before, code, 4)), "<surrogate>");
        }
    }
    // Neighbours of the surrogate range are ordinary characters.
    EXPECT_EQ(encoded(std::vector<std::uint16_t>{0xD7FF, 0xE000}), "\xED\x9F\xBF\xEE\x80\x80");
}

TEST(Utf8Encode, ReplacesWhatTheBufferHeld) {
    GrowableArray<std::uint8_t> out;
    const std::vector<std::uint16_t> first{'x', 'y', 'z'};
    ASSERT_TRUE(encode_utf8(std::span<const std::uint16_t>(first), out).ok());
    const std::vector<std::uint16_t> broken{'a', 0xD800};
    Result<bool> result = encode_utf8(std::span<const std::uint16_t>(broken), out);
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(*result);
    EXPECT_EQ(out.size(), 0u);
}

}  // namespace
}  // namespace brelt
