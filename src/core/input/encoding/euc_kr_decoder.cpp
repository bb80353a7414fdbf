// The EUC-KR decoder (the index is Windows code page 949's, so the unified
// Hangul extensions with trail bytes 0x41..0xA0 decode too).
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/index_euc_kr.hpp"
#include "input/encoding/multi_byte_cursor.hpp"

namespace brelt::encoding_detail {
namespace {

void step(MultiByteCursor& c) {
    const std::uint8_t lead = c.byte(0);
    if (is_ascii(lead)) return c.copy_ascii_run();
    if (!in_range(lead, 0x81, 0xFE) || !c.has(1)) return c.error(1);
    const std::uint8_t trail = c.byte(1);
    if (in_range(trail, 0x41, 0xFE)) {
        const std::uint16_t code_point = kEucKrIndex[(lead - 0x81) * 190 + (trail - 0x41)];
        if (code_point != 0) return c.emit(code_point, 2);
    }
    // An ASCII trail is read again whether or not it formed a pointer.
    reject_pair(c, trail);
}

}  // namespace

std::size_t decode_euc_kr(std::span<const std::uint8_t> bytes, std::string& out) {
    return MultiByteCursor(bytes).decode_into(out, step);
}

}  // namespace brelt::encoding_detail
