// The UTF-8 decoder. Well-formed input comes out byte for byte, so valid spans
// are only validated and copied in one append when an error (or the end)
// interrupts them. Each ill-formed part is the longest prefix of a sequence
// the decoder accepted before a byte fell outside its expected range; that
// byte is not consumed and starts the next character.
#include "input/encoding/chunked_output.hpp"
#include "input/encoding/decoders.hpp"
#include "input/encoding/utf8_output.hpp"

namespace brelt::encoding_detail {
namespace {

struct Sequence {
    bool valid;
    std::size_t length;  // bytes of the sequence, or of the ill-formed part
};

// The sequence starting at p[0] (not ASCII), with `available` bytes left.
inline Sequence scan_sequence(const std::uint8_t* p, std::size_t available) {
    const std::uint8_t lead = p[0];
    std::size_t needed;
    // Only the first continuation byte has a narrowed range: it excludes
    // overlong forms (E0, F0), surrogates (ED) and values past U+10FFFF (F4).
    std::uint8_t lower = 0x80;
    std::uint8_t upper = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        if (lead == 0xE0) lower = 0xA0;
        if (lead == 0xED) upper = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        if (lead == 0xF0) lower = 0x90;
        if (lead == 0xF4) upper = 0x8F;
    } else {
        return {false, 1};
    }
    for (std::size_t k = 1; k <= needed; ++k) {
        // Running out of input mid-sequence is one error for the whole tail.
        if (k == available) return {false, k};
        if (p[k] < lower || p[k] > upper) return {false, k};
        lower = 0x80;
        upper = 0xBF;
    }
    return {true, needed + 1};
}

}  // namespace

std::size_t decode_utf8(std::span<const std::uint8_t> bytes, std::string& out) {
    const std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    reserve_output(out, n);

    std::size_t errors = 0;
    std::size_t copied = 0;  // p[copied, i) is well-formed and not yet appended
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8 && all_ascii8(p + i)) {
            i += 8;
            continue;
        }
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const Sequence s = scan_sequence(p + i, n - i);
        if (!s.valid) {
            out.append(reinterpret_cast<const char*>(p + copied), i - copied);
            out.append(kReplacementUtf8);
            ++errors;
            copied = i + s.length;
        }
        i += s.length;
    }
    out.append(reinterpret_cast<const char*>(p + copied), n - copied);
    return errors;
}

}  // namespace brelt::encoding_detail
