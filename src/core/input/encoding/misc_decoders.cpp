// The two decoders that need no index: x-user-defined maps bytes 0x80..0xFF
// onto U+F780..U+F7FF, and replacement turns any non-empty input into a single
// error.
#include "input/encoding/byte_table.hpp"
#include "input/encoding/decoders.hpp"
#include "input/encoding/utf8_output.hpp"

namespace brelt::encoding_detail {
namespace {

constexpr ByteTable kXUserDefinedTable = [] {
    std::uint16_t index[128] = {};
    for (int i = 0; i < 128; ++i)
        index[i] = static_cast<std::uint16_t>(0xF780 + i);
    return make_byte_table(index);
}();

}  // namespace

std::size_t decode_x_user_defined(std::span<const std::uint8_t> bytes, std::string& out) {
    return decode_byte_table(kXUserDefinedTable, bytes, out);
}

std::size_t decode_replacement(std::span<const std::uint8_t> bytes, std::string& out) {
    if (bytes.empty()) return 0;
    out.append(kReplacementUtf8);
    return 1;
}

}  // namespace brelt::encoding_detail
