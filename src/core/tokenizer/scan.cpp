#include "tokenizer/scan.hpp"

#include <bit>
#include <cstring>

#include "tokenizer/scan_kernels.hpp"

namespace brelt {

namespace scan {
namespace {

std::size_t scan_unquoted_scalar(const UnquotedScan& scan, std::uint64_t& field_start,
                                 GrowableArray<RecordSpan>& spans) {
    return scan_unquoted_bytes(scan, 0, field_start, spans);
}

// Eight bytes in a 64-bit word, for the record path of the scalar set.
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

}  // namespace

const ScanKernels kScalar{&scan_unquoted_scalar, &find_byte_short, &read_simple_record<WordVector>,
                          &read_record_batch<WordVector>, &count_byte<WordVector>};

}  // namespace scan

const ScanKernels& scan_kernels_for(Isa isa) {
    return *choose_for_isa<const ScanKernels*>(isa, &scan::kScalar, BRELT_X86_ONLY(&scan::kSse2),
                                               BRELT_X86_ONLY(&scan::kAvx2),
                                               BRELT_ARM_ONLY(&scan::kNeon));
}

}  // namespace brelt
