// SSE2 has no byte shuffle for classifying bytes in parallel, so this kernel
// only vectorises the search for non-ASCII bytes and checks each run of
// multi-byte sequences with the scalar code. The vector search always starts
// on a character boundary, so no sequence is ever split between the two.
#if defined(__x86_64__) || defined(_M_X64)

#include <emmintrin.h>

#include <bit>

#include "input/utf8_validate_kernels.hpp"
#include "input/utf8_validate_scalar.hpp"

namespace brelt::utf8 {
namespace {

// Bit i set when byte i of the 16 loaded at p is non-ASCII.
inline unsigned high_bit_mask(const std::uint8_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(v));
}

const std::uint8_t* skip_ascii_sse2(const std::uint8_t* p, const std::uint8_t* end) {
    while (end - p >= 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
        const __m128i any = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
        if (_mm_movemask_epi8(any) != 0) {
            // Bit i set when byte p[i] of the 64 is non-ASCII.
            const std::uint64_t mask =
                static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(a))) |
                static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(b))) << 16 |
                static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(c))) << 32 |
                static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(d))) << 48;
            return p + std::countr_zero(mask);
        }
        p += 64;
    }
    while (end - p >= 16) {
        if (const unsigned mask = high_bit_mask(p)) return p + std::countr_zero(mask);
        p += 16;
    }
    return skip_ascii_words(p, end);
}

}  // namespace

bool validate_sse2(const std::uint8_t* data, std::size_t size) {
    return validate_runs<skip_ascii_sse2>(data, size);
}

}  // namespace brelt::utf8

#endif
