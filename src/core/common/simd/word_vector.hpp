// The byte-search vector interface shared by the scanning kernels (the
// tokenizer's and the dialect engine's), and its portable form: eight bytes
// in a 64-bit word. Each kernel is written once against this interface and
// compiled per instruction set (sse2_vector.hpp, avx2_vector.hpp,
// neon_vector.hpp), and every form finds the same positions.
//
// A vector type V provides:
//   kWidth          bytes per register
//   kBitsPerByte    bits per input byte in a mask (1 for movemask, 4 for the
//                   Arm narrowing shift, 8 here); only the highest of them may
//                   be set
//   Reg splat(b), load(p), load_aligned(p), equal(a, b), either(a, b)
//   uint64_t mask(r)   bit kBitsPerByte*i + kBitsPerByte-1 set for byte i
//   bool any(r)        whether any byte of a compare result is set
//   Reg add_hits(acc, r)  acc plus one in each byte where compare result r is set
//   uint64_t sum_bytes(acc)  the sum of acc's bytes
//   uint64_t mask64(rs)  bit i set for byte i of the 64 bytes that the
//                        64 / kWidth compare results rs cover
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace brelt::simd {

struct WordVector {
    using Reg = std::uint64_t;
    static constexpr std::size_t kWidth = 8;
    static constexpr unsigned kBitsPerByte = 8;
    static constexpr Reg kLow7 = 0x7F7F7F7F7F7F7F7FULL;

    static Reg splat(std::uint8_t byte) { return 0x0101010101010101ULL * byte; }
    static Reg load(const std::uint8_t* p) {
        Reg word;
        std::memcpy(&word, p, sizeof word);
        if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
        return word;
    }
    static Reg load_aligned(const std::uint8_t* p) { return load(p); }
    // The top bit of each byte set exactly where the bytes are equal: x is 0
    // in those bytes, and adding 0x7F to the low seven bits of any other
    // byte (or its own top bit) sets the top bit, with no carry between bytes.
    static Reg equal(Reg a, Reg b) {
        const Reg x = a ^ b;
        return ~(((x & kLow7) + kLow7) | x) & ~kLow7;
    }
    static Reg either(Reg a, Reg b) { return a | b; }
    static std::uint64_t mask(Reg r) { return r; }
    static bool any(Reg r) { return r != 0; }
    // A compare result has only the top bit of a matching byte set.
    static Reg add_hits(Reg acc, Reg r) { return acc + (r >> 7); }
    // Neighbouring bytes summed into 16-bit lanes (at most 510 each), then
    // the four lanes into the top one by a multiply.
    static std::uint64_t sum_bytes(Reg acc) {
        const Reg pairs = (acc & 0x00FF00FF00FF00FFULL) + ((acc >> 8) & 0x00FF00FF00FF00FFULL);
        return (pairs * 0x0001000100010001ULL) >> 48;
    }
    // Each word's top bits gathered into one byte: bit 8i of (r >> 7) lands
    // at bit 56 + i of the product, and no two partial products meet.
    static std::uint64_t mask64(const Reg* r) {
        std::uint64_t bits = 0;
        for (std::size_t k = 0; k < 8; ++k) {
            bits |= (((r[k] >> 7) * 0x0102040810204080ULL) >> 56) << (8 * k);
        }
        return bits;
    }
};

}  // namespace brelt::simd
