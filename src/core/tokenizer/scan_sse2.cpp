#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include "tokenizer/scan_kernels.hpp"

namespace brelt::scan {
namespace {

struct Sse2Vector {
    using Reg = __m128i;
    static constexpr std::size_t kWidth = 16;
    static constexpr unsigned kBitsPerByte = 1;

    static Reg splat(std::uint8_t byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
    static Reg load(const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const Reg*>(p));
    }
    static Reg load_aligned(const std::uint8_t* p) {
        return _mm_load_si128(reinterpret_cast<const Reg*>(p));
    }
    static Reg equal(Reg a, Reg b) { return _mm_cmpeq_epi8(a, b); }
    static Reg either(Reg a, Reg b) { return _mm_or_si128(a, b); }
    // One bit per byte: the byte's top bit, which a compare sets to all ones.
    static std::uint64_t mask(Reg r) { return static_cast<std::uint32_t>(_mm_movemask_epi8(r)); }
    static bool any(Reg r) { return _mm_movemask_epi8(r) != 0; }
    // A set compare byte is 0xFF, that is -1: subtracting it adds one.
    static Reg add_hits(Reg acc, Reg r) { return _mm_sub_epi8(acc, r); }
    // The sum of absolute differences from zero adds up each 8-byte half.
    static std::uint64_t sum_bytes(Reg acc) {
        const Reg halves = _mm_sad_epu8(acc, _mm_setzero_si128());
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(halves)) +
               static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves)));
    }
    static std::uint64_t mask64(const Reg* r) {
        return mask(r[0]) | mask(r[1]) << 16 | mask(r[2]) << 32 | mask(r[3]) << 48;
    }
};

}  // namespace

const ScanKernels kSse2 = kernels_for_vector<Sse2Vector>();

}  // namespace brelt::scan

#endif
