// The shared UTF-16 decoder, for both byte orders; the loop itself is in
// utf16_kernel.hpp.
#include "input/encoding/decode_kernels.hpp"
#include "input/encoding/decoders.hpp"

namespace brelt::encoding_detail {

std::size_t decode_utf16(Isa isa, std::span<const std::uint8_t> bytes, bool big_endian,
                         std::string& out) {
    const DecodeKernels& kernels = decode_kernels_for(isa);
    const auto kernel = big_endian ? kernels.utf16_be : kernels.utf16_le;
    // Every unit yields at most 3 bytes (a pair yields 4 for two units), and
    // an odd byte at the end one U+FFFD.
    auto bound = [](std::size_t n) { return 3 * (n / 2) + 3; };
    return decode_in_chunks(bytes, out, bound, kernel);
}

std::size_t decode_utf16(std::span<const std::uint8_t> bytes, bool big_endian, std::string& out) {
    return decode_utf16(active_isa(), bytes, big_endian, out);
}

}  // namespace brelt::encoding_detail
