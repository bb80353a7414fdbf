// The UTF-16 and single-byte decoders on every instruction set this machine
// runs, against decoding a byte at a time: random input built for the vector
// paths' edges (ASCII runs of every length around the vector widths, units
// either side of 0x80, surrogates paired and not, odd lengths), and inputs
// longer than the 16 KiB the decoders work through at a time.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/isa.hpp"
#include "input/encoding/decoders.hpp"
#include "input/encoding/encoding.hpp"
#include "scaled_rounds.hpp"
#include "utf8_reference.hpp"

namespace brelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::append_utf8;

struct Decoded {
    std::string text;
    std::size_t errors = 0;
    bool operator==(const Decoded&) const = default;
};

void PrintTo(const Decoded& d, std::ostream* os) {
    *os << d.errors << " errors, " << d.text.size() << " bytes of text";
}

// UTF-16 the way the standard's decoder reads it: one byte at a time, keeping
// a pending lead byte and a pending leading surrogate.
Decoded reference_utf16(const Bytes& bytes, bool big_endian) {
    Decoded d;
    auto error = [&d] {
        append_utf8(d.text, 0xFFFD);
        ++d.errors;
    };
    std::optional<std::uint32_t> lead_byte;
    std::optional<std::uint32_t> lead_surrogate;
    for (std::uint32_t byte : bytes) {
        if (!lead_byte) {
            lead_byte = byte;
            continue;
        }
        const std::uint32_t unit = big_endian ? (*lead_byte << 8) + byte : (byte << 8) + *lead_byte;
        lead_byte.reset();
        if (lead_surrogate) {
            const std::uint32_t lead = *lead_surrogate;
            lead_surrogate.reset();
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                append_utf8(d.text, 0x10000 + (lead - 0xD800) * 0x400 + (unit - 0xDC00));
                continue;
            }
            error();  // and the unit is read afresh below
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            lead_surrogate = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            error();
        } else {
            append_utf8(d.text, unit);
        }
    }
    if (lead_byte || lead_surrogate) error();
    return d;
}

void add_unit(Bytes& bytes, std::uint32_t unit, bool big_endian) {
    const auto high = static_cast<std::uint8_t>(unit >> 8);
    const auto low = static_cast<std::uint8_t>(unit);
    bytes.push_back(big_endian ? high : low);
    bytes.push_back(big_endian ? low : high);
}

// Random units in runs: ASCII runs of 0..70 (across 4, 16 and 32 units),
// units at the edges of the ranges the vector tests tell apart, every kind of
// code point, and surrogates alone, doubled, reversed and paired.
Bytes random_utf16(std::mt19937& random, std::size_t units, bool big_endian) {
    static constexpr std::uint32_t kEdges[] = {0x00,   0x7F,   0x80,   0xFF,   0x100,  0x7FF,
                                               0x800,  0x7FFF, 0x8000, 0xD7FF, 0xD800, 0xDBFF,
                                               0xDC00, 0xDFFF, 0xE000, 0xFEFF, 0xFFFD, 0xFFFF};
    auto in = [&random](std::uint32_t low, std::uint32_t high) {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(random);
    };
    Bytes bytes;
    while (bytes.size() < 2 * units) {
        switch (in(0, 9)) {
            case 0:
            case 1:
            case 2:
                for (std::uint32_t k = in(0, 70); k > 0; --k)
                    add_unit(bytes, in(0, 0x7F), big_endian);
                break;
            case 3:
                add_unit(bytes, kEdges[in(0, std::size(kEdges) - 1)], big_endian);
                break;
            case 4:
                add_unit(bytes, in(0x80, 0x7FF), big_endian);
                break;
            case 5:
                add_unit(bytes, in(0x800, 0xD7FF), big_endian);
                break;
            case 6:
                add_unit(bytes, in(0xE000, 0xFFFF), big_endian);
                break;
            case 7:
                add_unit(bytes, in(0xD800, 0xDBFF), big_endian);
                add_unit(bytes, in(0xDC00, 0xDFFF), big_endian);
                break;
            case 8:
                add_unit(bytes, in(0xD800, 0xDBFF), big_endian);
                break;
            default:
                add_unit(bytes, in(0xDC00, 0xDFFF), big_endian);
                break;
        }
    }
    bytes.resize(2 * units);
    if (in(0, 3) == 0) bytes.push_back(static_cast<std::uint8_t>(in(0, 255)));
    return bytes;
}

::testing::AssertionResult utf16_agrees(const Bytes& bytes, bool big_endian) {
    const Decoded expected = reference_utf16(bytes, big_endian);
    for (Isa isa : supported_isas()) {
        Decoded d;
        d.errors = encoding_detail::decode_utf16(isa, bytes, big_endian, d.text);
        if (d != expected) {
            return ::testing::AssertionFailure()
                   << isa_name(isa) << " differs from the reference on " << bytes.size()
                   << " bytes of UTF-16" << (big_endian ? "BE" : "LE");
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(DecodeKernelsUtf16, RandomInputs) {
    std::mt19937 random(1);
    const int short_rounds = testing::scaled_rounds(3000);
    for (int round = 0; round < short_rounds + 16; ++round) {
        const bool big_endian = round % 2 == 1;
        // The last rounds run past the decoders' chunk of 16 KiB.
        const std::size_t units = round < short_rounds ? random() % 200 : 20000 + random() % 20000;
        ASSERT_TRUE(utf16_agrees(random_utf16(random, units, big_endian), big_endian))
            << "round " << round;
    }
}

TEST(DecodeKernelsUtf16, SurrogatesAndOddBytesAroundTheChunkEdge) {
    constexpr std::size_t kChunk = 16 * 1024;
    for (std::size_t at = kChunk - 70; at <= kChunk + 70; at += 2) {
        for (int kind = 0; kind < 3; ++kind) {
            Bytes bytes;
            while (bytes.size() < at)
                add_unit(bytes, 'x', false);
            add_unit(bytes, 0xD83D, false);
            if (kind == 0) add_unit(bytes, 0xDE00, false);  // a pair
            if (kind == 1) add_unit(bytes, 'y', false);     // a lone leading surrogate
            if (kind == 2) {
                bytes.push_back(0x00);  // a leading surrogate, then an odd byte at the very end
            } else {
                add_unit(bytes, 'z', false);
            }
            ASSERT_TRUE(utf16_agrees(bytes, false)) << "at " << at << ", kind " << kind;
        }
    }
}

// Random bytes: ASCII runs of 0..max_ascii_run and short runs of bytes from 0x80.
Bytes random_single_byte_text(std::mt19937& random, std::size_t size, int max_ascii_run) {
    auto in = [&random](int low, int high) {
        return std::uniform_int_distribution(low, high)(random);
    };
    Bytes bytes;
    while (bytes.size() < size) {
        for (int k = in(0, max_ascii_run); k > 0; --k)
            bytes.push_back(static_cast<std::uint8_t>(in(0, 0x7F)));
        for (int k = in(1, 5); k > 0; --k)
            bytes.push_back(static_cast<std::uint8_t>(in(0x80, 0xFF)));
    }
    bytes.resize(size);
    return bytes;
}

TEST(DecodeKernelsSingleByte, EveryKernelEqualsPerByteDecoding) {
    // windows-874 and ISO-8859-6 leave many bytes unmapped, so errors are counted too.
    for (Encoding e :
         {Encoding::Windows1252, Encoding::Windows874, Encoding::Iso8859_6, Encoding::Koi8U}) {
        Decoded one_byte[256];
        for (int b = 0; b < 256; ++b) {
            const std::uint8_t byte = static_cast<std::uint8_t>(b);
            one_byte[b].errors = encoding_detail::decode_single_byte(
                Isa::Scalar, e, std::span<const std::uint8_t>(&byte, 1), one_byte[b].text);
        }
        std::mt19937 random(3);
        for (int round = 0; round < 300; ++round) {
            // The last rounds are long, some nearly all non-ASCII, and the
            // very last turns so only after 20000 ASCII bytes: text that
            // outgrows the output reserved for it.
            const std::size_t size = round < 290 ? random() % 300 : 20000 + random() % 30000;
            Bytes bytes = random_single_byte_text(random, size, round % 3 == 0 ? 2 : 70);
            if (round == 299) {
                bytes.insert(bytes.begin(), 20000, 'a');
                const Bytes dense = random_single_byte_text(random, 60000, 0);
                bytes.insert(bytes.end(), dense.begin(), dense.end());
            }
            Decoded expected;
            for (std::uint8_t byte : bytes) {
                expected.text += one_byte[byte].text;
                expected.errors += one_byte[byte].errors;
            }
            for (Isa isa : supported_isas()) {
                Decoded d;
                d.errors = encoding_detail::decode_single_byte(isa, e, bytes, d.text);
                ASSERT_EQ(d, expected)
                    << encoding_name(e) << ", " << isa_name(isa) << ", round " << round;
            }
        }
    }
}

}  // namespace
}  // namespace brelt
