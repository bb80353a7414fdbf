// The UTF-16 and single-byte decoders give the same text and error count
// through every instruction set this machine runs as through the scalar code
// (which encoding_decode_test.cpp checks): random units built for the vector
// paths' edges (ASCII runs of every length around the vector widths, units
// either side of 0x80, surrogates paired and not, odd lengths), short and
// longer than the 16 KiB the decoders work through at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/isa.hpp"
#include "input/encoding/decoders.hpp"
#include "input/encoding/encoding.hpp"
#include "scaled_rounds.hpp"

namespace brelt {
namespace {

// The text and the error count.
std::pair<std::string, std::size_t> decode(Isa isa, Encoding e,
                                           std::span<const std::uint8_t> bytes) {
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
