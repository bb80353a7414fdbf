// Built with -mavx2; only called once the processor is known to support it.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include "tokenizer/scan_kernels.hpp"

namespace brelt::scan {
namespace {

struct Avx2Vector {
    using Reg = __m256i;
    static constexpr std::size_t kWidth = 32;
    static constexpr unsigned kBitsPerByte = 1;

    static Reg splat(std::uint8_t byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
    static Reg load(const std::uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const Reg*>(p));
    }
    static Reg load_aligned(const std::uint8_t* p) {
        return _mm256_load_si256(reinterpret_cast<const Reg*>(p));
    }
    static Reg equal(Reg a, Reg b) { return _mm256_cmpeq_epi8(a, b); }
    static Reg either(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static std::uint64_t mask(Reg r) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(r)); }
    static bool any(Reg r) { return !_mm256_testz_si256(r, r); }
    // A set compare byte is 0xFF, that is -1: subtracting it adds one.
    static Reg add_hits(Reg acc, Reg r) { return _mm256_sub_epi8(acc, r); }
    // The sum of absolute differences from zero adds up each 8-byte quarter.
    static std::uint64_t sum_bytes(Reg acc) {
        const Reg quarters = _mm256_sad_epu8(acc, _mm256_setzero_si256());
        const __m128i halves =
            _mm_add_epi64(_mm256_castsi256_si128(quarters), _mm256_extracti128_si256(quarters, 1));
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(halves)) +
               static_cast<std::uint64_t>(_mm_extract_epi64(halves, 1));
    }
    static std::uint64_t mask64(const Reg* r) { return mask(r[0]) | mask(r[1]) << 32; }
};

}  // namespace

const ScanKernels kAvx2 = kernels_for_vector<Avx2Vector>();

}  // namespace brelt::scan

#endif
