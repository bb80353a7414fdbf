// The SSE2 decode kernels: 16 bytes, or 16 UTF-16 units, per step.
#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include "input/encoding/byte_table_kernel.hpp"
#include "input/encoding/utf16_kernel.hpp"

namespace brelt::encoding_detail {
namespace {

struct Sse2Vector {
    static constexpr std::size_t kWidth = 16;
    static constexpr std::size_t kUnits = 16;

    static __m128i load(const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }

    static std::uint64_t copy_bytes(const std::uint8_t* p, char* dst) {
        const __m128i v = load(p);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v);
        // movemask gathers the top bit of each byte: set from 0x80 up.
        return static_cast<unsigned>(_mm_movemask_epi8(v));
    }

    // Big-endian units become native ones by swapping the bytes of each 16-bit lane.
    template <bool kBigEndian>
    static __m128i load_units(const std::uint8_t* p) {
        const __m128i v = load(p);
        if constexpr (kBigEndian) return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        return v;
    }

    template <bool kBigEndian>
    static std::uint64_t pack_units(const std::uint8_t* p, char* dst) {
        const __m128i a = load_units<kBigEndian>(p);
        const __m128i b = load_units<kBigEndian>(p + 16);
        // Unsigned saturation keeps units up to 0xFF, turns 0x100..0x7FFF into
        // 0xFF and (reading the lanes as signed) units from 0x8000 into 0.
        const __m128i low = _mm_packus_epi16(a, b);
        // Signed saturation turns units from 0x8000 into 0x80..0xFF and leaves
        // every other unit below 0x80.
        const __m128i negative = _mm_packs_epi16(a, b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), low);
        // So a byte of one pack or the other has its top bit set exactly when
        // its unit is 0x80 or more.
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, negative)));
    }
};

}  // namespace

extern const DecodeKernels kSse2DecodeKernels;
const DecodeKernels kSse2DecodeKernels{
    &decode_utf16_chunk<Sse2Vector, false>,
    &decode_utf16_chunk<Sse2Vector, true>,
    &decode_byte_table_chunk<Sse2Vector>,
};

}  // namespace brelt::encoding_detail

#endif
