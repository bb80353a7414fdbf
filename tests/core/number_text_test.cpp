// How the writers spell doubles: random ones fit the buffer and read back
// exactly; the notation switches where the interpreter's repr does. The
// spelling of doubles and integers as a whole is checked against str()
// through write_csv in tests/python/test_writing.py.
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

TEST(NumberText, DoublesReadBackExactlyFitAndSwitchNotationAsTheInterpreter) {
    std::mt19937_64 rng(17);
    for (int i = 0; i < 200000; ++i) {
        const double value = std::bit_cast<double>(rng());
        if (!std::isfinite(value)) continue;
        const std::string text = double_text(value);
        ASSERT_LE(text.size(), kNumberTextCapacity);
        double back = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_TRUE(parsed.ec == std::errc() && parsed.ptr == text.data() + text.size()) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(value)) << text;
    }
    const std::pair<double, std::string> cases[] = {
        {-0.0, "-0.0"},        {9999999999999998.0, "9999999999999998.0"},
        {1e16, "1e+16"},       {1e-4, "0.0001"},
        {-1.5e-5, "-1.5e-05"}, {-std::numeric_limits<double>::quiet_NaN(), "nan"}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(double_text(value), expected) << value;
}

}  // namespace
}  // namespace brelt
