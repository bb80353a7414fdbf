// encode_utf8 for each width of code unit against the plain encoder of
// utf8_reference.hpp, on random units built for the 8-unit ASCII blocks'
// edges: ASCII runs of every length, units either side of each UTF-8 length,
// of the surrogates and of 0x100 (low bytes below 0x80 in wide units). A
// surrogate anywhere leaves no output.
#include "input/utf8_encode.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "utf8_reference.hpp"

namespace brelt {
namespace {

template <class Unit>
void expect_encodes_as_the_reference(std::uint32_t max_unit) {
    static constexpr std::uint32_t kEdges[] = {0x7F,   0x80,   0xFF,    0x100,   0x17F,
                                               0x7FF,  0x800,  0xD7FF,  0xD800,  0xDFFF,
                                               0xE000, 0xFFFF, 0x10000, 0x10FFFF};
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round) {
        std::vector<Unit> units;
        std::string expected;
        bool surrogate = false;
        for (std::size_t size = random() % 40; units.size() < size;) {
            std::uint32_t unit = random() % 2 ? random() % 0x80 : kEdges[random() % 14];
            if (random() % 3 == 0) unit = random() % (max_unit + 1);
            if (unit > max_unit || (unit >= 0xD800 && unit <= 0xDFFF && round % 8 != 0)) continue;
            surrogate |= unit >= 0xD800 && unit <= 0xDFFF;
            for (std::size_t run = unit < 0x80 ? random() % 20 : 1; run > 0; --run) {
                units.push_back(static_cast<Unit>(unit));
                testing::append_utf8(expected, unit);
            }
        }
        GrowableArray<std::uint8_t> out;
        out.push_back('x');  // replaced, never appended to
        const Result<bool> result = encode_utf8(std::span<const Unit>(units), out);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(*result, !surrogate);
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(out.data()), out.size()),
                  surrogate ? "" : expected)
            << sizeof(Unit) << "-byte units, round " << round;
    }
}

TEST(Utf8Encode, EveryWidthAgreesWithThePlainEncoder) {
    expect_encodes_as_the_reference<std::uint8_t>(0xFF);
    expect_encodes_as_the_reference<std::uint16_t>(0xFFFF);
    expect_encodes_as_the_reference<std::uint32_t>(0x10FFFF);
}

}  // namespace
}  // namespace brelt
