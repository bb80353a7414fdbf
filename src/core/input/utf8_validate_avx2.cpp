// AVX2 UTF-8 validation by table lookup (the method is described in
// utf8_validate_lookup.hpp). The third and fourth bytes of long sequences are
// covered by comparing "continuation after continuation" with the positions
// where a lead two or three bytes back requires one.
//
// This file is compiled with -mavx2: everything in it stays internal, and it
// must only run after the processor check.
#if defined(__x86_64__) || defined(_M_X64)

#include <immintrin.h>

#include <cstring>

#include "input/utf8_validate_kernels.hpp"
#include "input/utf8_validate_lookup.hpp"

namespace brelt::utf8 {
namespace {

using namespace lookup;

struct Tables {
    __m256i prev_high, prev_low, cur_high, incomplete_max;
};

__m256i load16_twice(const std::uint8_t* table) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table)));
}

struct State {
    __m256i prev_input = _mm256_setzero_si256();
    // Nonzero when prev_input ends inside a sequence that must go on.
    __m256i prev_incomplete = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
};

// The 32 bytes that start N bytes before `input`, taking the first N from the
// end of `prev`. alignr works within 128-bit lanes, so it is fed the lanes
// [high half of prev, low half of input] to reach across.
template <int N>
__m256i previous(__m256i input, __m256i prev) {
    // 0x21: low lane from prev's high half, high lane from input's low half.
    const __m256i straddle = _mm256_permute2x128_si256(prev, input, 0x21);
    return _mm256_alignr_epi8(input, straddle, 16 - N);
}

// There is no 8-bit shift: the 16-bit one pulls the neighbour's low bits into
// each byte's top nibble, and the mask drops them.
__m256i high_nibbles(__m256i v) {
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

void check_vector(const Tables& t, __m256i input, State& s) {
    const __m256i prev1 = previous<1>(input, s.prev_input);
    const __m256i prev1_low = _mm256_and_si256(prev1, _mm256_set1_epi8(0x0F));
    const __m256i by_prev_high = _mm256_shuffle_epi8(t.prev_high, high_nibbles(prev1));
    const __m256i by_prev_low = _mm256_shuffle_epi8(t.prev_low, prev1_low);
    const __m256i by_cur_high = _mm256_shuffle_epi8(t.cur_high, high_nibbles(input));
    const __m256i pair_errors =
        _mm256_and_si256(_mm256_and_si256(by_prev_high, by_prev_low), by_cur_high);

    // Saturating subtraction leaves the top bit set exactly where prev2 >= E0
    // or prev3 >= F0, i.e. where this byte must be a third or fourth byte.
    const __m256i prev2 = previous<2>(input, s.prev_input);
    const __m256i prev3 = previous<3>(input, s.prev_input);
    const __m256i must_continue =
        _mm256_and_si256(_mm256_or_si256(_mm256_subs_epu8(prev2, _mm256_set1_epi8(0xE0 - 0x80)),
                                         _mm256_subs_epu8(prev3, _mm256_set1_epi8(0xF0 - 0x80))),
                         _mm256_set1_epi8(static_cast<char>(0x80)));
    // kTwoConts is the top bit: required and present cancel, either alone is an error.
    s.error = _mm256_or_si256(s.error, _mm256_xor_si256(pair_errors, must_continue));
    s.prev_incomplete = _mm256_subs_epu8(input, t.incomplete_max);
    s.prev_input = input;
}

void check_block(const Tables& t, const std::uint8_t* block, State& s) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
    // movemask gathers the top bit of each byte: zero means no byte >= 0x80.
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
        // All ASCII: fine unless the previous block left a sequence open.
        s.error = _mm256_or_si256(s.error, s.prev_incomplete);
        s.prev_incomplete = _mm256_setzero_si256();
        s.prev_input = b;
        return;
    }
    check_vector(t, a, s);
    check_vector(t, b, s);
}

}  // namespace

bool validate_avx2(const std::uint8_t* data, std::size_t size) {
    const Tables t{load16_twice(kPrevHigh), load16_twice(kPrevLow), load16_twice(kCurHigh),
                   _mm256_load_si256(reinterpret_cast<const __m256i*>(kIncompleteMax))};
    State s;
    const std::uint8_t* p = data;
    const std::uint8_t* const end = data + size;
    for (; end - p >= 64; p += 64)
        check_block(t, p, s);
    if (p != end) {
        // Zero padding is ASCII, so a sequence cut short by the end of the
        // input shows up as an ordinary too-short error.
        alignas(32) std::uint8_t tail[64] = {};
        std::memcpy(tail, p, static_cast<std::size_t>(end - p));
        check_block(t, tail, s);
    }
    s.error = _mm256_or_si256(s.error, s.prev_incomplete);
    return _mm256_testz_si256(s.error, s.error) != 0;
}

}  // namespace brelt::utf8

#endif
