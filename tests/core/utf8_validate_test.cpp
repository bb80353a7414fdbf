// Every UTF-8 validation kernel this machine runs against the plain decoder of
// utf8_reference.hpp: listed sequences at every offset from the vector and
// block edges, every input of one and two bytes, every three bytes after a
// lead byte, four-byte leads against every second byte, and random mutations
// of multilingual text.
#include "input/utf8_validate.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/isa.hpp"
#include "scaled_rounds.hpp"
#include "utf8_reference.hpp"

namespace brelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::reference_valid_utf8;

std::string hex(const std::uint8_t* s, std::size_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += {'\\', 'x', kDigits[s[i] >> 4], kDigits[s[i] & 15]};
    return out;
}

// Every kernel, and the dispatched one, agrees with the reference.
::testing::AssertionResult kernels_agree(const std::uint8_t* s, std::size_t n) {
    static const std::vector<Isa> isas = supported_isas();
    const bool expected = reference_valid_utf8(s, n);
    for (Isa isa : isas) {
        if (is_valid_utf8_with(isa, s, n) != expected) {
            return ::testing::AssertionFailure()
                   << isa_name(isa) << " kernel says " << (expected ? "invalid" : "valid")
                   << " for " << n << " bytes: " << (n <= 64 ? hex(s, n) : "(long)");
        }
    }
    if (is_valid_utf8(s, n) != expected) return ::testing::AssertionFailure() << "dispatch";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult kernels_agree(const Bytes& s) {
    return kernels_agree(s.data(), s.size());
}

// Hand-checked sequences: they pin down the reference as well as the kernels.
const std::pair<Bytes, bool> kKnown[] = {
    {{0x7F}, true},
    {{0xC2, 0x80}, true},
    {{0xDF, 0xBF}, true},
    {{0xE0, 0xA0, 0x80}, true},
    {{0xED, 0x9F, 0xBF}, true},
    {{0xEF, 0xBF, 0xBF}, true},
    {{0xF0, 0x90, 0x80, 0x80}, true},
    {{0xF4, 0x8F, 0xBF, 0xBF}, true},
    {{0x80}, false},                          // lone continuation
    {{0xC0, 0x80}, false},                    // overlong NUL
    {{0xC1, 0xBF}, false},                    // overlong
    {{0xC2, 0x41}, false},                    // lead without continuation
    {{0xC2, 0x80, 0x80}, false},              // one continuation too many
    {{0xE0, 0x9F, 0xBF}, false},              // overlong 3-byte
    {{0xED, 0xA0, 0x80}, false},              // surrogate D800
    {{0xED, 0xBF, 0xBF}, false},              // surrogate DFFF
    {{0xE1, 0x80, 0xC0}, false},              // third byte not a continuation
    {{0xF0, 0x8F, 0xBF, 0xBF}, false},        // overlong 4-byte
    {{0xF4, 0x90, 0x80, 0x80}, false},        // above U+10FFFF
    {{0xF5, 0x80, 0x80, 0x80}, false},        // lead beyond F4
    {{0xF1, 0x80, 0x80, 0x7F}, false},        // fourth byte not a continuation
    {{0xF8, 0x88, 0x80, 0x80, 0x80}, false},  // 5-byte form
    {{0xFF}, false},
    {{0xE2, 0x82}, false},        // truncated
    {{0xF0, 0x9F, 0x98}, false},  // truncated
};

// Each known sequence at every offset of ASCII buffers, so it straddles the
// 16/32/64-byte block ends, lands in the padded tail of the vector kernels
// and is cut by the end of the input.
TEST(Utf8Validate, KnownSequencesAtEveryOffset) {
    EXPECT_TRUE(kernels_agree(nullptr, 0));
    for (const auto& [bytes, valid] : kKnown) {
        const std::size_t n = bytes.size();
        EXPECT_EQ(reference_valid_utf8(bytes.data(), n), valid) << hex(bytes.data(), n);
        for (std::size_t at = 0; at <= 130; ++at) {
            for (std::size_t size : {at + n, at + n + 1, at + n + 7, std::size_t{64},
                                     std::size_t{128}, std::size_t{150}, std::size_t{200}}) {
                if (size < at + n) continue;
                Bytes buffer(size, ',');
                std::copy(bytes.begin(), bytes.end(), buffer.begin() + at);
                ASSERT_TRUE(kernels_agree(buffer)) << "at " << at << " of " << size;
            }
        }
    }
}

TEST(Utf8Validate, AllOneAndTwoByteInputs) {
    for (int a = 0; a < 256; ++a) {
        for (int b = -1; b < 256; ++b) {
            const std::uint8_t two[2] = {std::uint8_t(a), std::uint8_t(b)};
            ASSERT_TRUE(kernels_agree(two, b < 0 ? 1 : 2));
        }
    }
}

// Every three bytes after a lead-range first byte, alone (so the end of input
// cuts into them) and across the 32-byte vector and 64-byte block boundaries.
TEST(Utf8Validate, AllThreeByteInputsFromLeadBytes) {
    Bytes buffer(96, 'x');
    // Under the sanitizers, every 31st second byte.
    const int step = testing::kSanitized ? 31 : 1;
    for (int a = 0xC0; a < 256; ++a) {
        for (int b = 0; b < 256; b += step) {
            for (int c = 0; c < 256; ++c) {
                const std::uint8_t seq[3] = {std::uint8_t(a), std::uint8_t(b), std::uint8_t(c)};
                ASSERT_TRUE(kernels_agree(seq, 3));
                for (std::size_t at : {30, 62}) {
                    std::copy(seq, seq + 3, buffer.begin() + at);
                    ASSERT_TRUE(kernels_agree(buffer));
                    ASSERT_TRUE(kernels_agree(buffer.data(), at + 3));
                    std::fill(buffer.begin() + at, buffer.begin() + at + 3, 'x');
                }
            }
        }
    }
}

TEST(Utf8Validate, FourByteLeadsAgainstEverySecondByte) {
    static constexpr std::uint8_t kLater[] = {0x00, 0x7F, 0x80, 0x8F, 0x90,
                                              0x9F, 0xA0, 0xBF, 0xC0, 0xF4};
    const int step = testing::kSanitized ? 31 : 1;
    for (int a = 0xE0; a < 256; ++a) {
        for (int b = 0; b < 256; b += step) {
            for (std::uint8_t c : kLater) {
                for (std::uint8_t d : kLater) {
                    const std::uint8_t seq[5] = {std::uint8_t(a), std::uint8_t(b), c, d, 'x'};
                    ASSERT_TRUE(kernels_agree(seq, 4));
                    ASSERT_TRUE(kernels_agree(seq, 5));
                }
            }
        }
    }
}

// Valid text mixing ASCII, 2-, 3- and 4-byte characters.
Bytes multilingual_text(std::mt19937& rng, std::size_t size) {
    static const std::vector<std::string> pieces = {"id,name,city\n",
                                                    "Zürich",
                                                    "Ελληνικά",
                                                    "東京都",
                                                    "서울",
                                                    "😀",
                                                    "𝄞",
                                                    "\"a,b\"",
                                                    " ",
                                                    "\r\n",
                                                    "0123456789",
                                                    "ऀक",
                                                    "\xEF\xBF\xBF",
                                                    "\xF4\x8F\xBF\xBF"};
    Bytes text;
    while (text.size() < size) {
        const std::string& piece = pieces[rng() % pieces.size()];
        text.insert(text.end(), piece.begin(), piece.end());
    }
    return text;
}

TEST(Utf8Validate, MutatedMultilingualText) {
    std::mt19937 rng(20240611);
    for (std::size_t size : {63, 64, 65, 100000}) {
        const Bytes text = multilingual_text(rng, size);
        ASSERT_TRUE(reference_valid_utf8(text.data(), text.size()));
        ASSERT_TRUE(kernels_agree(text));
    }
    int invalid = 0;
    for (int round = 0; round < testing::scaled_rounds(3000); ++round) {
        Bytes text = multilingual_text(rng, 1 + rng() % 400);
        const int mutations = round < 100 ? 0 : rng() % 3;
        for (int m = 0; m < mutations && !text.empty(); ++m) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 4) {
                case 0:
                    text[at] = static_cast<std::uint8_t>(rng());
                    break;
                case 1:
                    text.erase(text.begin() + at);
                    break;
                case 2:
                    text.insert(text.begin() + at, static_cast<std::uint8_t>(rng()));
                    break;
                case 3:
                    text.resize(at);
                    break;
            }
        }
        ASSERT_TRUE(kernels_agree(text));
        invalid += !reference_valid_utf8(text.data(), text.size());
    }
    // The mutations must produce both outcomes to test anything.
    EXPECT_GT(invalid, testing::scaled_rounds(500));
    EXPECT_LT(invalid, testing::scaled_rounds(2500));
}

}  // namespace
}  // namespace brelt
