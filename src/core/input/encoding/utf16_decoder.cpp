// The shared UTF-16 decoder, for both byte orders. A leading surrogate not
// followed by a trailing one is an error on its own and the unit after it is
// decoded afresh; at the end, a pending leading surrogate and an odd byte
// together make one error.
#include "input/encoding/decoders.hpp"
#include "input/encoding/utf8_output.hpp"

namespace brelt::encoding_detail {
namespace {

inline bool is_leading_surrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool is_trailing_surrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

template <bool kBigEndian>
inline std::uint32_t unit_at(const std::uint8_t* p) {
    return kBigEndian ? (std::uint32_t{p[0]} << 8) | p[1] : (std::uint32_t{p[1]} << 8) | p[0];
}

// Memory-order mask that is zero in four code units exactly when each is below 0x80.
template <bool kBigEndian>
inline std::uint64_t non_ascii_unit_mask() {
    constexpr std::uint8_t high = 0xFF;  // the unit's high byte must be 0
    constexpr std::uint8_t low = 0x80;   // the unit's low byte must be below 0x80
    const std::uint8_t pattern[8] = {
        kBigEndian ? high : low, kBigEndian ? low : high, kBigEndian ? high : low,
        kBigEndian ? low : high, kBigEndian ? high : low, kBigEndian ? low : high,
        kBigEndian ? high : low, kBigEndian ? low : high,
    };
    return load_u64(pattern);
}

template <bool kBigEndian>
std::size_t decode(std::span<const std::uint8_t> bytes, std::string& out) {
    const std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    const std::uint64_t non_ascii = non_ascii_unit_mask<kBigEndian>();
    constexpr std::size_t low_byte = kBigEndian ? 1 : 0;

    // Every unit yields at most 3 bytes (a pair yields 4 for two units) and the
    // end adds at most one U+FFFD.
    const std::size_t base = out.size();
    out.resize(base + 3 * (n / 2) + 3);
    char* dst = out.data() + base;

    std::size_t errors = 0;
    std::size_t i = 0;
    while (n - i >= 2) {
        if (n - i >= 8 && (load_u64(p + i) & non_ascii) == 0) {
            for (std::size_t k = 0; k < 4; ++k)
                dst[k] = static_cast<char>(p[i + 2 * k + low_byte]);
            dst += 4;
            i += 8;
            continue;
        }
        const std::uint32_t unit = unit_at<kBigEndian>(p + i);
        i += 2;
        if (is_leading_surrogate(unit)) {
            if (n - i < 2) {
                // Leading surrogate at the end, possibly with an odd byte after it.
                dst = put_replacement(dst);
                ++errors;
                i = n;
                break;
            }
            const std::uint32_t next = unit_at<kBigEndian>(p + i);
            if (is_trailing_surrogate(next)) {
                i += 2;
                dst = put_utf8(dst, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            } else {
                dst = put_replacement(dst);
                ++errors;
            }
        } else if (is_trailing_surrogate(unit)) {
            dst = put_replacement(dst);
            ++errors;
        } else {
            dst = put_utf8(dst, unit);
        }
    }
    if (i < n) {
        dst = put_replacement(dst);
        ++errors;
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return errors;
}

}  // namespace

std::size_t decode_utf16(std::span<const std::uint8_t> bytes, bool big_endian, std::string& out) {
    return big_endian ? decode<true>(bytes, out) : decode<false>(bytes, out);
}

}  // namespace brelt::encoding_detail
