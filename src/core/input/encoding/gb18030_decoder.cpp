// The gb18030 decoder, which GBK shares. Two-byte sequences (lead 0x81..0xFE)
// go through the gb18030 index; four-byte ones (lead, digit, 0x81..0xFE, digit)
// through the ranges index, which covers the rest of Unicode.
#include <algorithm>

#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/index_gb18030.hpp"
#include "input/encoding/multi_byte_cursor.hpp"

namespace brelt::encoding_detail {
namespace {

bool is_digit(std::uint8_t byte) {
    return in_range(byte, 0x30, 0x39);
}

// The standard's "index gb18030 ranges code point"; 0 for null.
std::uint32_t ranges_code_point(std::uint32_t pointer) {
    if ((pointer > 39419 && pointer < 189000) || pointer > 1237575) return 0;
    if (pointer == 7457) return 0xE7C7;  // the one GB18030-2005 change the ranges miss
    const std::uint32_t* starts = kGb18030RangePointers;
    const std::size_t range =
        std::upper_bound(starts, starts + kGb18030RangeCount, pointer) - starts - 1;
    return kGb18030RangeCodePoints[range] + (pointer - starts[range]);
}

void decode_four_bytes(MultiByteCursor& c, std::uint8_t first, std::uint8_t second) {
    // Running out of input anywhere in the sequence is one error for the rest.
    if (!c.has(2)) return c.error(c.remaining());
    const std::uint8_t third = c.byte(2);
    // Not a four-byte sequence after all: the digit and the byte after it are read again.
    if (!in_range(third, 0x81, 0xFE)) return c.error(1);
    if (!c.has(3)) return c.error(c.remaining());
    const std::uint8_t fourth = c.byte(3);
    if (!is_digit(fourth)) return c.error(1);
    // A well-formed sequence outside the ranges is one error and consumed whole.
    const std::uint32_t pointer = (first - 0x81) * (10 * 126 * 10) + (second - 0x30) * (10 * 126) +
                                  (third - 0x81) * 10 + (fourth - 0x30);
    const std::uint32_t code_point = ranges_code_point(pointer);
    if (code_point == 0) return c.error(4);
    c.emit(code_point, 4);
}

void step(MultiByteCursor& c) {
    const std::uint8_t first = c.byte(0);
    if (is_ascii(first)) return c.copy_ascii_run();
    if (first == 0x80) return c.emit(0x20AC, 1);
    if (first == 0xFF || !c.has(1)) return c.error(1);
    const std::uint8_t second = c.byte(1);
    if (is_digit(second)) return decode_four_bytes(c, first, second);
    if (in_range(second, 0x40, 0x7E) || in_range(second, 0x80, 0xFE)) {
        const std::uint8_t offset = second < 0x7F ? 0x40 : 0x41;
        const std::uint16_t code_point = kGb18030Index[(first - 0x81) * 190 + (second - offset)];
        if (code_point != 0) return c.emit(code_point, 2);
    }
    reject_pair(c, second);
}

}  // namespace

std::size_t decode_gb18030(std::span<const std::uint8_t> bytes, std::string& out) {
    return MultiByteCursor(bytes).decode_into(out, step);
}

}  // namespace brelt::encoding_detail
