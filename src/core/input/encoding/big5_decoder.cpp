// The Big5 decoder. The index holds each code point's low 16 bits and a bit
// set marks the pointers whose code point is in plane 2 (the HKSCS ideographs).
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/index_big5.hpp"
#include "input/encoding/multi_byte_cursor.hpp"

namespace brelt::encoding_detail {
namespace {

// 0 if the pointer has no code point.
std::uint32_t index_code_point(std::size_t pointer) {
    const std::uint32_t plane2 = (kBig5Plane2[pointer / 32] >> (pointer % 32)) & 1;
    return kBig5Index[pointer] | (plane2 << 17);
}

void step(MultiByteCursor& c) {
    const std::uint8_t lead = c.byte(0);
    if (is_ascii(lead)) return c.copy_ascii_run();
    if (!in_range(lead, 0x81, 0xFE) || !c.has(1)) return c.error(1);
    const std::uint8_t trail = c.byte(1);
    if (in_range(trail, 0x40, 0x7E) || in_range(trail, 0xA1, 0xFE)) {
        const std::uint8_t offset = trail < 0x7F ? 0x40 : 0x62;
        const std::size_t pointer = (lead - 0x81) * 157 + (trail - offset);
        // Four pointers stand for a letter with two combining marks, which
        // has no single code point.
        switch (pointer) {
            case 1133:
                return c.emit_pair(0x00CA, 0x0304, 2);
            case 1135:
                return c.emit_pair(0x00CA, 0x030C, 2);
            case 1164:
                return c.emit_pair(0x00EA, 0x0304, 2);
            case 1166:
                return c.emit_pair(0x00EA, 0x030C, 2);
            default:
                break;
        }
        const std::uint32_t code_point = index_code_point(pointer);
        if (code_point != 0) return c.emit(code_point, 2);
    }
    reject_pair(c, trail);
}

}  // namespace

std::size_t decode_big5(std::span<const std::uint8_t> bytes, std::string& out) {
    return MultiByteCursor(bytes).decode_into(out, step);
}

}  // namespace brelt::encoding_detail
