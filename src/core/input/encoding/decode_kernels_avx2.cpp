// The AVX2 decode kernels: 32 bytes, or 32 UTF-16 units, per step.
//
// This file is compiled with -mavx2: everything in it stays internal, and it
// must only run after the processor check.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include "input/encoding/byte_table_kernel.hpp"
#include "input/encoding/utf16_kernel.hpp"

namespace brelt::encoding_detail {
namespace {

struct Avx2Vector {
    static constexpr std::size_t kWidth = 32;
    static constexpr std::size_t kUnits = 32;

    static __m256i load(const std::uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }

    static std::uint64_t copy_bytes(const std::uint8_t* p, char* dst) {
        const __m256i v = load(p);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), v);
        // movemask gathers the top bit of each byte: set from 0x80 up.
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
    }

    // Big-endian units become native ones by swapping the bytes of each 16-bit lane.
    template <bool kBigEndian>
    static __m256i load_units(const std::uint8_t* p) {
        const __m256i v = load(p);
        if constexpr (kBigEndian) {
            return _mm256_or_si256(_mm256_slli_epi16(v, 8), _mm256_srli_epi16(v, 8));
        }
        return v;
    }

    template <bool kBigEndian>
    static std::uint64_t pack_units(const std::uint8_t* p, char* dst) {
        const __m256i a = load_units<kBigEndian>(p);
        const __m256i b = load_units<kBigEndian>(p + 32);
        // As in the SSE2 kernel: the top bit of a byte of either pack is set
        // exactly when its unit is 0x80 or more, and the unsigned pack holds
        // the ASCII units' bytes.
        const __m256i low = _mm256_packus_epi16(a, b);
        const __m256i non_ascii = _mm256_or_si256(low, _mm256_packs_epi16(a, b));
        // The packs work within 128-bit lanes, leaving 8-unit groups in the
        // order a0 b0 a1 b1; 0xD8 picks 64-bit quarters 0, 2, 1, 3 to give
        // a0 a1 b0 b1.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_permute4x64_epi64(low, 0xD8));
        return static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_permute4x64_epi64(non_ascii, 0xD8)));
    }
};

}  // namespace

extern const DecodeKernels kAvx2DecodeKernels;
const DecodeKernels kAvx2DecodeKernels{
    &decode_utf16_chunk<Avx2Vector, false>,
    &decode_utf16_chunk<Avx2Vector, true>,
    &decode_byte_table_chunk<Avx2Vector>,
};

}  // namespace brelt::encoding_detail

#endif
