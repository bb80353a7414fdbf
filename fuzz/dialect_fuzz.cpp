// The dialect engine over arbitrary bytes and settings: every instruction
// set's kernels, on the text whole, fed in random pieces and given as
// explicit lines, must read what the scalar kernels read
// (tests/support/dialect_paths.hpp).
//
// Input layout: bytes 0-2 pick the delimiter, quote and escape characters,
// byte 3 the flags, byte 4 the field limit, byte 5 seeds the cuts; the rest
// is the text.
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dialect_paths.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const auto options = brelt::testing::dialect_from_bytes(data);
    std::mt19937 rng(data[5]);
    const std::string text(reinterpret_cast<const char*>(data + 6), size - 6);
    const auto pieces = brelt::testing::random_cuts(text, rng, 24);
    const auto lines = brelt::testing::random_cuts(text, rng, 24);
    if (!brelt::testing::dialect_paths_disagree(text, pieces, lines, options).empty()) std::abort();
    return 0;
}
