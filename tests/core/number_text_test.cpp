#include "output/number_text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace brelt {
namespace {

std::string double_text(double value) {
    char out[kNumberTextCapacity];
    return std::string(out, format_double(value, out));
}

std::string integer_text(std::int64_t value) {
    char out[kNumberTextCapacity];
    return std::string(out, format_integer(value, out));
}

TEST(NumberText, DoublesAreSpelledAsTheInterpreterDoes) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {1.0, "1.0"},
        {0.1, "0.1"},
        {-2.5, "-2.5"},
        {123456.789, "123456.789"},
        {1e15, "1000000000000000.0"},
        {9999999999999998.0, "9999999999999998.0"},
        {1e16, "1e+16"},
        {1.5e16, "1.5e+16"},
        {1e-4, "0.0001"},
        {1.234e-4, "0.0001234"},
        {1e-5, "1e-05"},
        {-1.5e-5, "-1.5e-05"},
        {1e100, "1e+100"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {-std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(double_text(value), expected) << value;
    }
}

TEST(NumberText, RandomDoublesReadBackExactlyAndFit) {
    std::mt19937_64 rng(17);
    for (int i = 0; i < 200000; ++i) {
        const double value = std::bit_cast<double>(rng());
        if (!std::isfinite(value)) continue;
        const std::string text = double_text(value);
        ASSERT_LE(text.size(), kNumberTextCapacity);
        double back = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(parsed.ec, std::errc()) << text;
        ASSERT_EQ(parsed.ptr, text.data() + text.size()) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(value)) << text;
    }
}

TEST(NumberText, Integers) {
    EXPECT_EQ(integer_text(0), "0");
    EXPECT_EQ(integer_text(-7), "-7");
    EXPECT_EQ(integer_text(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
    EXPECT_EQ(integer_text(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

}  // namespace
}  // namespace brelt
