// Code units of each width to UTF-8: every sequence length, and surrogates,
// wherever they fall relative to the 8-unit ASCII blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/utf8_encode.hpp"

namespace brelt {
namespace {

constexpr const char* kSurrogate = "<surrogate>";

// `before` times "a", the code point, `after` times "b", encoded.
template <class Unit>
std::string encoded(std::size_t before, std::uint32_t code, std::size_t after) {
    std::vector<Unit> units(before, Unit{'a'});
    units.push_back(static_cast<Unit>(code));
    units.insert(units.end(), after, Unit{'b'});
    GrowableArray<std::uint8_t> out;
    out.push_back('x');  // replaced, never appended to
    Result<bool> result = encode_utf8(std::span<const Unit>(units), out);
    EXPECT_TRUE(result.ok());
    if (!result || !*result) return out.size() == 0 ? kSurrogate : "<left output>";
    return std::string(reinterpret_cast<const char*>(out.data()), out.size());
}

TEST(Utf8Encode, EachWidthAtEveryOffset) {
    for (std::size_t before = 0; before < 18; ++before) {
        for (std::size_t after : {0, 1, 7, 8, 9}) {
            auto expect = [&](const std::string& code) {
                return std::string(before, 'a') + code + std::string(after, 'b');
            };
            EXPECT_EQ(encoded<std::uint8_t>(before, 'x', after), expect("x"));
            EXPECT_EQ(encoded<std::uint8_t>(before, 0x80, after), expect("\xC2\x80"));
            EXPECT_EQ(encoded<std::uint8_t>(before, 0xE9, after), expect("\xC3\xA9"));
            EXPECT_EQ(encoded<std::uint16_t>(before, 0x7F, after), expect("\x7F"));
            EXPECT_EQ(encoded<std::uint16_t>(before, 0xFF, after), expect("\xC3\xBF"));
            EXPECT_EQ(encoded<std::uint16_t>(before, 0x65E5, after), expect("\xE6\x97\xA5"));
            EXPECT_EQ(encoded<std::uint16_t>(before, 0xD7FF, after), expect("\xED\x9F\xBF"));
            EXPECT_EQ(encoded<std::uint16_t>(before, 0xE000, after), expect("\xEE\x80\x80"));
            EXPECT_EQ(encoded<std::uint32_t>(before, 0x1F389, after), expect("\xF0\x9F\x8E\x89"));
            EXPECT_EQ(encoded<std::uint32_t>(before, 0x10FFFF, after), expect("\xF4\x8F\xBF\xBF"));
        }
    }
}

TEST(Utf8Encode, SurrogatesStopTheWideFormsAndLeaveNoOutput) {
    for (std::size_t before : {0, 5, 8, 13}) {
        for (std::uint32_t code : {0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu}) {
            EXPECT_EQ(encoded<std::uint16_t>(before, code, 4), kSurrogate);
            EXPECT_EQ(encoded<std::uint32_t>(before, code, 4), kSurrogate);
        }
    }
}

}  // namespace
}  // namespace brelt
