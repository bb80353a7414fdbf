// The scalar decode kernels, 8-byte words standing in for vectors, and the
// choice of kernel set. Arm runs these too: its decoders have no vector set yet.
#include "input/encoding/decode_kernels.hpp"

#include <bit>
#include <cstring>

#include "input/encoding/byte_table_kernel.hpp"
#include "input/encoding/utf16_kernel.hpp"
#include "input/encoding/utf8_output.hpp"

namespace brelt::encoding_detail {

#if defined(__x86_64__) || defined(_M_X64)
extern const DecodeKernels kSse2DecodeKernels;
extern const DecodeKernels kAvx2DecodeKernels;
#endif

namespace {

struct WordVector {
    static constexpr std::size_t kWidth = 8;
    static constexpr std::size_t kUnits = 4;

    static std::uint64_t copy_bytes(const std::uint8_t* p, char* dst) {
        const std::uint64_t word = load_u64(p);
        std::memcpy(dst, &word, sizeof word);
        const std::uint64_t high = word & 0x8080808080808080ULL;
        if (high == 0) return 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Byte i's top bit shifted down to bit 8i; the multiply copies bit
            // 8i to bit 56+i, and no other copy lands in (or carries into)
            // the top byte, so the top byte is the mask.
            return ((high >> 7) * 0x0102040810204080ULL) >> 56;
        } else {
            std::uint64_t mask = 0;
            for (std::size_t i = 0; i < kWidth; ++i)
                mask |= static_cast<std::uint64_t>(p[i] >> 7) << i;
            return mask;
        }
    }

    template <bool kBigEndian>
    static std::uint64_t pack_units(const std::uint8_t* p, char* dst) {
        constexpr std::size_t low = kBigEndian ? 1 : 0;
        constexpr std::size_t high = 1 - low;
        for (std::size_t i = 0; i < kUnits; ++i)
            dst[i] = static_cast<char>(p[2 * i + low]);
        // A unit is ASCII when its high byte is 0 and its low byte below
        // 0x80: the word of all four, masked so, is zero when they all are.
        std::uint8_t must_be_zero[8];
        for (std::size_t i = 0; i < kUnits; ++i) {
            must_be_zero[2 * i + low] = 0x80;
            must_be_zero[2 * i + high] = 0xFF;
        }
        if ((load_u64(p) & load_u64(must_be_zero)) == 0) return 0;
        std::uint64_t mask = 0;
        for (std::size_t i = 0; i < kUnits; ++i) {
            const bool non_ascii = (p[2 * i + high] | (p[2 * i + low] & 0x80)) != 0;
            mask |= std::uint64_t{non_ascii} << i;
        }
        return mask;
    }
};

const DecodeKernels kScalarDecodeKernels{
    &decode_utf16_chunk<WordVector, false>,
    &decode_utf16_chunk<WordVector, true>,
    &decode_byte_table_chunk<WordVector>,
};

}  // namespace

const DecodeKernels& decode_kernels_for(Isa isa) {
    return *choose_for_isa<const DecodeKernels*>(isa, &kScalarDecodeKernels,
                                                 BRELT_X86_ONLY(&kSse2DecodeKernels),
                                                 BRELT_X86_ONLY(&kAvx2DecodeKernels), nullptr);
}

}  // namespace brelt::encoding_detail
