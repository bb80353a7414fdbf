// The EUC-JP decoder: 0x8E + byte is half-width katakana, 0x8F + pair indexes
// jis0212, a pair of 0xA1..0xFE bytes indexes jis0208.
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/index_jis0208.hpp"
#include "input/encoding/generated/index_jis0212.hpp"
#include "input/encoding/multi_byte_cursor.hpp"

namespace brelt::encoding_detail {
namespace {

bool is_row_byte(std::uint8_t byte) {
    return in_range(byte, 0xA1, 0xFE);
}

std::size_t pointer_of(std::uint8_t lead, std::uint8_t trail) {
    return (lead - 0xA1) * 94 + (trail - 0xA1);
}

// 0x8F, then a row byte, then the trail at offset 2.
void decode_jis0212(MultiByteCursor& c, std::uint8_t lead) {
    if (!c.has(2)) return c.error(c.remaining());
    const std::uint8_t trail = c.byte(2);
    if (is_row_byte(trail)) {
        const std::uint16_t code_point = kJis0212Index[pointer_of(lead, trail)];
        if (code_point != 0) return c.emit(code_point, 3);
    }
    // Only an ASCII trail is read again; 0x8F and the lead are consumed.
    c.error(is_ascii(trail) ? 2 : 3);
}

void step(MultiByteCursor& c) {
    const std::uint8_t lead = c.byte(0);
    if (is_ascii(lead)) return c.copy_ascii_run();
    if (!(lead == 0x8E || lead == 0x8F || is_row_byte(lead)) || !c.has(1)) return c.error(1);
    const std::uint8_t trail = c.byte(1);
    if (lead == 0x8E && in_range(trail, 0xA1, 0xDF)) return c.emit(0xFF61 - 0xA1 + trail, 2);
    if (lead == 0x8F && is_row_byte(trail)) return decode_jis0212(c, trail);
    if (is_row_byte(lead) && is_row_byte(trail)) {
        const std::uint16_t code_point = kJis0208Index[pointer_of(lead, trail)];
        if (code_point != 0) return c.emit(code_point, 2);
    }
    reject_pair(c, trail);
}

}  // namespace

std::size_t decode_euc_jp(std::span<const std::uint8_t> bytes, std::string& out) {
    return MultiByteCursor(bytes).decode_into(out, step);
}

}  // namespace brelt::encoding_detail
