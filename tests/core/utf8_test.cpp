// The UTF-8 kernels against the plain UTF-8 of utf8_reference.hpp. Validation,
// through every kernel this machine runs and the dispatched one: every input
// of up to two bytes, every three bytes from a lead byte alone and across the
// 32-byte vector and 64-byte block edges, and random text with at most one
// malformed sequence. Encoding units of each width: random units around the
// 8-unit ASCII blocks and each UTF-8 length; a surrogate leaves no output.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/isa.hpp"
#include "input/utf8_encode.hpp"
#include "input/utf8_validate.hpp"
#include "scaled_rounds.hpp"
#include "utf8_reference.hpp"

namespace brelt {
namespace {

bool reference_valid(std::string_view text) {
    return testing::reference_valid_utf8(reinterpret_cast<const std::uint8_t*>(text.data()),
                                         text.size());
}

::testing::AssertionResult kernels_agree(std::string_view text) {
    static const std::vector<Isa> isas = supported_isas();
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const bool expected = reference_valid(text);
    for (Isa isa : isas) {
        if (is_valid_utf8_with(isa, s, text.size()) != expected)
            return ::testing::AssertionFailure()
                   << isa_name(isa) << " kernel disagrees on " << ::testing::PrintToString(text);
    }
    if (is_valid_utf8(s, text.size()) != expected)
        return ::testing::AssertionFailure() << "dispatch";
    return ::testing::AssertionSuccess();
}

TEST(Utf8Validate, EveryShortInput) {
    EXPECT_TRUE(kernels_agree(""));
    for (int a = 0; a < 256; ++a) {
        for (int b = -1; b < 256; ++b)
            ASSERT_TRUE(kernels_agree(std::string{char(a), char(b)}.substr(0, b < 0 ? 1 : 2)));
    }
    std::string buffer(96, 'x');
    const int step = testing::kSanitized ? 31 : 1;
    for (int a = 0xC0; a < 256; ++a) {
        for (int b = 0; b < 256; b += step) {
            for (int c = 0; c < 256; ++c) {
                const std::string sequence{char(a), char(b), char(c)};
                ASSERT_TRUE(kernels_agree(sequence));
                for (std::size_t at : {30, 62}) {
                    buffer.replace(at, 3, sequence);
                    ASSERT_TRUE(kernels_agree(buffer));
                    buffer.replace(at, 3, "xxx");
                }
            }
        }
    }
}

TEST(Utf8Validate, RandomTextWithAtMostOneMalformedSequence) {
    // The first ten are valid. Then a lone continuation, overlongs,
    // surrogates, beyond U+10FFFF, leads without or with too many
    // continuations, and truncations.
    // clang-format off
    static constexpr std::string_view kPieces[] = {
        "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEF\xBF\xBF",
        "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "東京", "Zürich😀",
        "\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
        "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC2\x41", "\xE1\x80\xC0",
        "\xF1\x80\x80\x7F", "\xC2\x80\x80", "\xF8\x88\x80\x80\x80", "\xFF", "\xC2", "\xE2\x82",
        "\xF0\x9F\x98"};
    // clang-format on
    for (std::size_t k = 0; k < std::size(kPieces); ++k)
        EXPECT_EQ(reference_valid(kPieces[k]), k < 10) << k;
    std::mt19937 rng(20240611);
    const int rounds = testing::scaled_rounds(30000);
    for (int round = 0; round < rounds; ++round) {
        std::string text;
        const std::size_t size = round < 8 ? 100000 : rng() % 300;
        std::size_t malformed = round % 2 ? rng() % (size + 1) : size + 1;
        while (text.size() < size) {
            text.append(rng() % 2 ? rng() % 70 : 0, ',');
            if (text.size() >= malformed) {
                text += kPieces[10 + rng() % (std::size(kPieces) - 10)];
                malformed = size + 1;
            }
            text += kPieces[rng() % 10];
        }
        ASSERT_TRUE(kernels_agree(text)) << "round " << round;
    }
}

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
