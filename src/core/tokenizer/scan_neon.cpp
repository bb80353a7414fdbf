#if defined(__aarch64__)

#include <arm_neon.h>

#include "tokenizer/scan_kernels.hpp"

namespace brelt::scan {
namespace {

struct NeonVector {
    using Reg = uint8x16_t;
    static constexpr std::size_t kWidth = 16;
    static constexpr unsigned kBitsPerByte = 4;

    static Reg splat(std::uint8_t byte) { return vdupq_n_u8(byte); }
    static Reg load(const std::uint8_t* p) { return vld1q_u8(p); }
    static Reg load_aligned(const std::uint8_t* p) { return vld1q_u8(p); }
    static Reg equal(Reg a, Reg b) { return vceqq_u8(a, b); }
    static Reg either(Reg a, Reg b) { return vorrq_u8(a, b); }
    // Shifting each 16-bit lane right by 4 and narrowing to 8 bits keeps the
    // high nibble of one byte and the low nibble of the next: 4 bits per input
    // byte, all ones or all zeros. Keeping bit 3 of each nibble leaves exactly
    // bit 4*i+3 for a matching byte i.
    static std::uint64_t mask(Reg r) {
        const uint8x8_t narrowed = vshrn_n_u16(vreinterpretq_u16_u8(r), 4);
        return vget_lane_u64(vreinterpret_u64_u8(narrowed), 0) & 0x8888888888888888ULL;
    }
    static bool any(Reg r) { return vmaxvq_u8(r) != 0; }
    // A set compare byte is 0xFF, that is -1: subtracting it adds one.
    static Reg add_hits(Reg acc, Reg r) { return vsubq_u8(acc, r); }
    static std::uint64_t sum_bytes(Reg acc) { return vaddlvq_u8(acc); }
    // Each compare result keeps one weight per byte (1, 2, 4 ... 128 across
    // each half); three rounds of pairwise adds sum every eight weights into
    // one byte, so byte k of the result holds the bits of bytes 8k..8k+7.
    static std::uint64_t mask64(const Reg* r) {
        const uint8x16_t weights = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
        const uint8x16_t ab = vpaddq_u8(vandq_u8(r[0], weights), vandq_u8(r[1], weights));
        const uint8x16_t cd = vpaddq_u8(vandq_u8(r[2], weights), vandq_u8(r[3], weights));
        uint8x16_t sums = vpaddq_u8(ab, cd);
        sums = vpaddq_u8(sums, sums);
        return vgetq_lane_u64(vreinterpretq_u64_u8(sums), 0);
    }
};

}  // namespace

const ScanKernels kNeon = kernels_for_vector<NeonVector>();

}  // namespace brelt::scan

#endif
