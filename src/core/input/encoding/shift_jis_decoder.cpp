// The Shift_JIS decoder: single bytes are ASCII (and 0x80) or half-width
// katakana; two-byte sequences index jis0208, except a block of pointers that
// Windows gives to user-defined characters in the Private Use Area.
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/index_jis0208.hpp"
#include "input/encoding/multi_byte_cursor.hpp"

namespace brelt::encoding_detail {
namespace {

void step(MultiByteCursor& c) {
    const std::uint8_t lead = c.byte(0);
    if (is_ascii(lead)) return c.copy_ascii_run();
    if (lead == 0x80) return c.emit(0x80, 1);
    if (in_range(lead, 0xA1, 0xDF)) return c.emit(0xFF61 - 0xA1 + lead, 1);
    if (!(in_range(lead, 0x81, 0x9F) || in_range(lead, 0xE0, 0xFC)) || !c.has(1)) {
        return c.error(1);
    }
    const std::uint8_t trail = c.byte(1);
    if (in_range(trail, 0x40, 0x7E) || in_range(trail, 0x80, 0xFC)) {
        const std::uint8_t offset = trail < 0x7F ? 0x40 : 0x41;
        const std::uint8_t lead_offset = lead < 0xA0 ? 0x81 : 0xC1;
        const std::size_t pointer = (lead - lead_offset) * 188 + (trail - offset);
        if (pointer >= 8836 && pointer <= 10715) return c.emit(0xE000 - 8836 + pointer, 2);
        const std::uint16_t code_point = kJis0208Index[pointer];
        if (code_point != 0) return c.emit(code_point, 2);
    }
    reject_pair(c, trail);
}

}  // namespace

std::size_t decode_shift_jis(std::span<const std::uint8_t> bytes, std::string& out) {
    return MultiByteCursor(bytes).decode_into(out, step);
}

}  // namespace brelt::encoding_detail
