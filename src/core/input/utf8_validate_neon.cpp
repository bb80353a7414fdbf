// NEON UTF-8 validation by table lookup (the method is described in
// utf8_validate_lookup.hpp); the AVX2 kernel in 16-byte vectors.
#if defined(__aarch64__)

#include <arm_neon.h>

#include <cstring>

#include "input/utf8_validate_kernels.hpp"
#include "input/utf8_validate_lookup.hpp"

namespace brelt::utf8 {
namespace {

using namespace lookup;

struct Tables {
    uint8x16_t prev_high, prev_low, cur_high, incomplete_max;
};

struct State {
    uint8x16_t prev_input = vdupq_n_u8(0);
    // Nonzero when prev_input ends inside a sequence that must go on.
    uint8x16_t prev_incomplete = vdupq_n_u8(0);
    uint8x16_t error = vdupq_n_u8(0);
};

void check_vector(const Tables& t, uint8x16_t input, State& s) {
    // vextq takes the last N bytes of prev_input followed by the input.
    const uint8x16_t prev1 = vextq_u8(s.prev_input, input, 15);
    const uint8x16_t prev2 = vextq_u8(s.prev_input, input, 14);
    const uint8x16_t prev3 = vextq_u8(s.prev_input, input, 13);
    const uint8x16_t pair_errors =
        vandq_u8(vandq_u8(vqtbl1q_u8(t.prev_high, vshrq_n_u8(prev1, 4)),
                          vqtbl1q_u8(t.prev_low, vandq_u8(prev1, vdupq_n_u8(0x0F)))),
                 vqtbl1q_u8(t.cur_high, vshrq_n_u8(input, 4)));
    // Top bit set exactly where prev2 >= E0 or prev3 >= F0, i.e. where this
    // byte must be a third or fourth byte.
    const uint8x16_t must_continue = vandq_u8(vorrq_u8(vqsubq_u8(prev2, vdupq_n_u8(0xE0 - 0x80)),
                                                       vqsubq_u8(prev3, vdupq_n_u8(0xF0 - 0x80))),
                                              vdupq_n_u8(0x80));
    // kTwoConts is the top bit: required and present cancel, either alone is an error.
    s.error = vorrq_u8(s.error, veorq_u8(pair_errors, must_continue));
    s.prev_incomplete = vqsubq_u8(input, t.incomplete_max);
    s.prev_input = input;
}

void check_block(const Tables& t, const std::uint8_t* block, State& s) {
    const uint8x16x4_t in = vld1q_u8_x4(block);
    const uint8x16_t any = vorrq_u8(vorrq_u8(in.val[0], in.val[1]), vorrq_u8(in.val[2], in.val[3]));
    // No byte of the block has its top bit set.
    if (vmaxvq_u8(any) < 0x80) {
        // All ASCII: fine unless the previous block left a sequence open.
        s.error = vorrq_u8(s.error, s.prev_incomplete);
        s.prev_incomplete = vdupq_n_u8(0);
        s.prev_input = in.val[3];
        return;
    }
    for (const uint8x16_t& v : in.val)
        check_vector(t, v, s);
}

}  // namespace

bool validate_neon(const std::uint8_t* data, std::size_t size) {
    const Tables t{vld1q_u8(kPrevHigh), vld1q_u8(kPrevLow), vld1q_u8(kCurHigh),
                   vld1q_u8(kIncompleteMax + 16)};
    State s;
    const std::uint8_t* p = data;
    const std::uint8_t* const end = data + size;
    for (; end - p >= 64; p += 64)
        check_block(t, p, s);
    if (p != end) {
        // Zero padding is ASCII, so a sequence cut short by the end of the
        // input shows up as an ordinary too-short error.
        std::uint8_t tail[64] = {};
        std::memcpy(tail, p, static_cast<std::size_t>(end - p));
        check_block(t, tail, s);
    }
    s.error = vorrq_u8(s.error, s.prev_incomplete);
    return vmaxvq_u8(s.error) == 0;
}

}  // namespace brelt::utf8

#endif
