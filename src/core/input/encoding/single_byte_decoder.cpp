// The single-byte decoder: ASCII bytes are themselves, the rest go through the
// encoding's index. Two passes over the input (exact size, then fill) keep the
// output allocation tight and the fill loop free of capacity checks.
#include <array>

#include "input/encoding/byte_table.hpp"
#include "input/encoding/decoders.hpp"
#include "input/encoding/generated/single_byte_indexes.hpp"
#include "input/encoding/utf8_output.hpp"

namespace brelt::encoding_detail {
namespace {

constexpr std::array<ByteTable, kSingleByteCount> kSingleByteTables = [] {
    std::array<ByteTable, kSingleByteCount> tables{};
    for (int e = 0; e < kSingleByteCount; ++e) {
        tables[e] = make_byte_table(kSingleByteIndexes[e]);
    }
    return tables;
}();

struct SizeAndErrors {
    std::size_t size = 0;
    std::size_t errors = 0;
};

inline void count_byte(const ByteTable& table, std::uint8_t byte, SizeAndErrors& acc) {
    acc.size += table.sequence[byte].length;
    acc.errors += table.unmapped[byte];
}

inline char* put_byte(const ByteTable& table, std::uint8_t byte, char* dst) {
    const Utf8Sequence& s = table.sequence[byte];
    std::memcpy(dst, &s, sizeof s);
    return dst + s.length;
}

}  // namespace

std::size_t decode_byte_table(const ByteTable& table, std::span<const std::uint8_t> bytes,
                              std::string& out) {
    const std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    const std::size_t words_end = n - n % 8;

    SizeAndErrors acc;
    for (std::size_t i = 0; i < words_end; i += 8) {
        if (all_ascii8(p + i)) {
            acc.size += 8;
        } else {
            for (std::size_t k = 0; k < 8; ++k)
                count_byte(table, p[i + k], acc);
        }
    }
    for (std::size_t i = words_end; i < n; ++i)
        count_byte(table, p[i], acc);

    const std::size_t base = out.size();
    // A sequence is stored as 4 bytes even when shorter: room for the overhang.
    out.resize(base + acc.size + sizeof(Utf8Sequence) - 1);
    char* dst = out.data() + base;
    for (std::size_t i = 0; i < words_end; i += 8) {
        if (all_ascii8(p + i)) {
            std::memcpy(dst, p + i, 8);
            dst += 8;
        } else {
            for (std::size_t k = 0; k < 8; ++k)
                dst = put_byte(table, p[i + k], dst);
        }
    }
    for (std::size_t i = words_end; i < n; ++i)
        dst = put_byte(table, p[i], dst);
    out.resize(base + acc.size);
    return acc.errors;
}

std::size_t decode_single_byte(Encoding encoding, std::span<const std::uint8_t> bytes,
                               std::string& out) {
    const auto row =
        static_cast<std::size_t>(encoding) - static_cast<std::size_t>(kFirstSingleByte);
    return decode_byte_table(kSingleByteTables[row], bytes, out);
}

}  // namespace brelt::encoding_detail
