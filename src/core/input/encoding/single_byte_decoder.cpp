// The single-byte decoder: ASCII bytes are themselves, the rest go through the
// encoding's index; the loop itself is in byte_table_kernel.hpp.
#include <array>

#include "input/encoding/byte_table.hpp"
#include "input/encoding/decode_kernels.hpp"
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/single_byte_indexes.hpp"

namespace brelt::encoding_detail {
namespace {

constexpr std::array<ByteTable, kSingleByteCount> kSingleByteTables = [] {
    std::array<ByteTable, kSingleByteCount> tables{};
    for (int e = 0; e < kSingleByteCount; ++e) {
        tables[e] = make_byte_table(kSingleByteIndexes[e]);
    }
    return tables;
}();

}  // namespace

std::size_t decode_byte_table(Isa isa, const ByteTable& table, std::span<const std::uint8_t> bytes,
                              std::string& out) {
    const auto kernel = decode_kernels_for(isa).byte_table;
    auto bound = [](std::size_t n) { return 3 * n; };
    return decode_in_chunks(bytes, out, bound,
                            [&](DecodeCursor& c, const std::uint8_t* chunk_end,
                                const std::uint8_t* end) { kernel(table, c, chunk_end, end); });
}

std::size_t decode_byte_table(const ByteTable& table, std::span<const std::uint8_t> bytes,
                              std::string& out) {
    return decode_byte_table(active_isa(), table, bytes, out);
}

std::size_t decode_single_byte(Isa isa, Encoding encoding, std::span<const std::uint8_t> bytes,
                               std::string& out) {
    const auto row =
        static_cast<std::size_t>(encoding) - static_cast<std::size_t>(kFirstSingleByte);
    return decode_byte_table(isa, kSingleByteTables[row], bytes, out);
}

std::size_t decode_single_byte(Encoding encoding, std::span<const std::uint8_t> bytes,
                               std::string& out) {
    return decode_single_byte(active_isa(), encoding, bytes, out);
}

}  // namespace brelt::encoding_detail
