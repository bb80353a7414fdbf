// Every decoder against an independent implementation: the oracle's digests
// (tests/oracle/, tests/data) of the input sets of decode_input_sets.hpp. On
// those inputs each error is also one U+FFFD, and no malformed bytes swallow
// the ASCII after them. Long inputs decode whole across the decoders' chunk
// edges. The UTF-16 and single-byte decoders give the same text and errors on
// every instruction set as the scalar code, on random units built for the
// vector paths' edges, short and longer than their 16 KiB chunk.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>

#include "common/isa.hpp"
#include "decode_input_sets.hpp"
#include "input/encoding/decoders.hpp"
#include "input/encoding/encoding.hpp"
#include "scaled_rounds.hpp"

namespace brelt {
namespace {

using namespace std::string_view_literals;

using Decoded = std::pair<std::string, std::size_t>;  // the text and the error count

Decoded decoded(Encoding encoding, std::string_view bytes) {
    std::string text;
    auto errors = decode_with(
        encoding, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, text);
    EXPECT_TRUE(errors.ok());
    return {text, errors.ok() ? *errors : 0};
}

TEST(EncodingDecode, EveryInputSetMatchesTheOracleDigest) {
    std::ifstream file(std::string(BRELT_SOURCE_DIR) + "/tests/data/decode_oracle_digests.txt");
    std::size_t sets = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, set, digest;
        std::size_t inputs = 0;
        fields >> name >> set >> inputs >> digest;
        ++sets;
        // Sanitized, the bytes and random sets reach every decoder's paths;
        // the exhaustive sets only repeat them.
        if (testing::kSanitized && set != "bytes" && set != "random") continue;
        const auto encoding = encoding_for_label(name);
        ASSERT_TRUE(encoding && encoding_name(*encoding) == name) << name;
        const bool utf16 = *encoding == Encoding::Utf16BE || *encoding == Encoding::Utf16LE;
        // Their input may also spell U+FFFD out.
        const bool spells_replacement = utf16 || *encoding == Encoding::Utf8 ||
                                        *encoding == Encoding::Gb18030 ||
                                        *encoding == Encoding::Gbk;
        std::uint64_t outputs = testing::kDigestStart;
        std::size_t visited = 0;
        const bool known = testing::visit_input_set(name, set, [&](std::string_view input) {
            const auto [text, errors] = decoded(*encoding, input);
            testing::add_to_digest(outputs, text);
            ++visited;
            // Each error is one U+FFFD.
            std::size_t replacements = 0;
            for (std::size_t at = text.find("\uFFFD"); at != text.npos;
                 at = text.find("\uFFFD", at + 1))
                ++replacements;
            ASSERT_TRUE(spells_replacement ? errors <= replacements : errors == replacements)
                << name << " " << ::testing::PrintToString(input);
            // What guards a CSV's structure: whatever bad bytes come before
            // it, a delimiter, quote or line break decodes as itself.
            const std::string tail = std::string(1, ",\"\n"[visited % 3]) + "x";
            if (!utf16 && *encoding != Encoding::Iso2022Jp &&
                !decoded(*encoding, std::string(input) + tail).first.ends_with(tail))
                FAIL() << name << " lost the " << tail[0] << " after "
                       << ::testing::PrintToString(input);
        });
        ASSERT_TRUE(known) << name << " " << set;
        EXPECT_EQ(visited, inputs) << name << " " << set;
        EXPECT_EQ(outputs, std::stoull(digest, nullptr, 16)) << name << " " << set;
    }
    // Every encoding but replacement (which the oracle will not construct)
    // with at least its bytes and random sets.
    EXPECT_GE(sets, (kEncodingCount - 1) * 2);
    EXPECT_EQ(decoded(Encoding::Replacement, "a\xFF,"), Decoded("\uFFFD", 1));
    EXPECT_EQ(decoded(Encoding::Replacement, ""), Decoded("", 0));
}

// The decoders size their output a chunk of input at a time; sequences that
// straddle chunk edges must come out whole, however the text is aligned.
TEST(EncodingDecode, LongInputsAcrossChunkEdges) {
    const std::tuple<Encoding, std::string_view, std::string_view> samples[] = {
        {Encoding::ShiftJis, "1,\x93\xFA\x96\x7B\xB1\n", "1,日本ｱ\n"},
        {Encoding::Gb18030, "1,\xD6\xD0\x90\x30\x81\x30\n", "1,中\U00010000\n"},
        {Encoding::Big5, "1,\xA4\xA4\x87\x45\n", "1,中\U00027267\n"},
        {Encoding::EucJp, "1,\xC6\xFC\x8F\xA2\xAF\x8E\xB1\n", "1,日\u02D8ｱ\n"},
        {Encoding::Iso2022Jp, "1,\x1B$BF|\x1B(B\n", "1,日\n"},
        {Encoding::Utf8, "1,\xC3\xA9\xF0\x9F\x98\x80\n", "1,é😀\n"},
        {Encoding::Windows1251, "1,\xC0\xFF\n", "1,Ая\n"},
        {Encoding::Utf16LE, "1\0,\0\x3D\xD8\x00\xDE\n\0"sv, "1,😀\n"},
    };
    for (const auto& [encoding, bytes, text] : samples) {
        for (std::size_t shift = 0; shift < 9; ++shift) {
            std::string input, expected(shift, 'x');
            for (std::size_t k = 0; k < shift; ++k)
                input += encoding == Encoding::Utf16LE ? "x\0"sv : "x"sv;
            while (input.size() < 70000) {
                input += bytes;
                expected += text;
            }
            EXPECT_EQ(decoded(encoding, input), Decoded(expected, 0)) << encoding_name(encoding);
        }
    }
}

// The text and the error count.
Decoded decode(Isa isa, Encoding e, std::span<const std::uint8_t> bytes) {
    using namespace encoding_detail;
    std::string text;
    const bool utf16 = e == Encoding::Utf16LE || e == Encoding::Utf16BE;
    const std::size_t errors = utf16 ? decode_utf16(isa, bytes, e == Encoding::Utf16BE, text)
                                     : decode_single_byte(isa, e, bytes, text);
    return {text, errors};
}

// Random units up to `max_unit` in `e`'s bytes: ASCII runs of 0..70, units
// at the edges the vector tests tell apart, any unit, surrogates paired or
// alone, and for UTF-16 now and then an odd byte at the end.
std::vector<std::uint8_t> random_text(std::mt19937& random, Encoding e, std::size_t units) {
    static constexpr std::uint32_t kEdges[] = {0x7F,   0x80,   0xFF,   0x100,  0x7FF,  0x800,
                                               0x7FFF, 0x8000, 0xD7FF, 0xD800, 0xDBFF, 0xDC00,
                                               0xDFFF, 0xE000, 0xFEFF, 0xFFFD, 0xFFFF};
    const bool utf16 = e == Encoding::Utf16LE || e == Encoding::Utf16BE;
    auto in = [&random](std::uint32_t low, std::uint32_t high) {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(random);
    };
    std::vector<std::uint8_t> bytes;
    auto add = [&](std::uint32_t unit) {
        if (e == Encoding::Utf16BE) bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        bytes.push_back(static_cast<std::uint8_t>(unit));
        if (e == Encoding::Utf16LE) bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    for (std::size_t size = units << utf16; bytes.size() < size;) {
        const std::uint32_t kind = in(0, 5);
        for (std::uint32_t run = kind < 2 ? in(0, 70) : 0; run > 0; --run)
            add(in(0, 0x7F));
        if (kind == 2) add(kEdges[in(0, std::size(kEdges) - 1)]);
        if (kind == 3) add(in(0x80, utf16 ? 0xFFFF : 0xFF));
        if (kind >= 4) add(in(0xD800, kind == 4 ? 0xDBFF : 0xDFFF));
        if (kind == 4) add(in(0xDC00, 0xDFFF));
    }
    bytes.resize(units << utf16);
    if (utf16 && in(0, 3) == 0) bytes.push_back(static_cast<std::uint8_t>(in(0, 255)));
    return bytes;
}

TEST(DecodeKernels, EveryInstructionSetDecodesAsTheScalarCode) {
    const std::vector<Isa> isas = supported_isas();
    ASSERT_NE(std::find(isas.begin(), isas.end(), active_isa()), isas.end());
#if defined(__x86_64__)
    EXPECT_TRUE(isa_supported(Isa::Sse2));  // so the SSE2 kernels are always compared here
#endif
    std::mt19937 random(1);
    const int rounds = testing::scaled_rounds(2000);
    for (Encoding e : {Encoding::Utf16LE, Encoding::Utf16BE, Encoding::Windows1252,
                       Encoding::Windows874, Encoding::Iso8859_6, Encoding::Koi8U}) {
        for (int round = 0; round <= rounds + 8; ++round) {
            // The last rounds run past the decoders' 16 KiB chunk; the very
            // last single-byte text turns dense after 20000 ASCII bytes and
            // outgrows the output reserved for it.
            std::vector<std::uint8_t> bytes =
                random_text(random, e, round < rounds ? random() % 200 : 8000 + random() % 20000);
            if (round == rounds + 8 && e != Encoding::Utf16LE && e != Encoding::Utf16BE) {
                bytes.insert(bytes.begin(), 20000, 'a');
                for (int k = 0; k < 60000; ++k)
                    bytes.push_back(static_cast<std::uint8_t>(0x80 + random() % 0x80));
            }
            const auto expected = decode(Isa::Scalar, e, bytes);
            for (Isa isa : isas) {
                ASSERT_TRUE(decode(isa, e, bytes) == expected)
                    << isa_name(isa) << ", " << encoding_name(e) << ", round " << round;
            }
        }
    }
}

}  // namespace
}  // namespace brelt
