// Every decoder on arbitrary bytes: the first byte picks a label of the WHATWG
// table (so every label is reached), the rest is decoded. Whatever the input:
//  - the output is well-formed UTF-8;
//  - well-formed UTF-8 comes back unchanged under UTF-8;
//  - in every ASCII-compatible encoding but ISO-2022-JP (whose pairs are
//    printable bytes by design), each line break, tab, comma and quote of the
//    input comes out as itself: malformed input never takes one with it;
//  - decode_to_utf8 with that label fails only on malformed UTF-16 after a
//    byte-order mark;
//  - every UTF-8 validation kernel agrees with the plain check on the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string>

#include "common/isa.hpp"
#include "input/decode.hpp"
#include "input/encoding/encoding.hpp"
#include "input/encoding/generated/label_table.hpp"
#include "input/utf8_validate.hpp"
#include "utf8_reference.hpp"

using brelt::Encoding;
using brelt::testing::reference_valid_utf8;

namespace {

bool keeps_csv_bytes(Encoding encoding) {
    return encoding != Encoding::Iso2022Jp && encoding != Encoding::Replacement &&
           encoding != Encoding::Utf16BE && encoding != Encoding::Utf16LE;
}

std::size_t count_csv_bytes(const std::uint8_t* p, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i)
        count += p[i] == '\n' || p[i] == '\r' || p[i] == '\t' || p[i] == ',' || p[i] == '"';
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto& entry =
        brelt::encoding_detail::kLabels[data[0] % std::size(brelt::encoding_detail::kLabels)];
    const Encoding encoding = entry.encoding;
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    std::string out;
    auto result = brelt::decode_with(encoding, bytes, out);
    if (!result.ok()) std::abort();
    const auto* text = reinterpret_cast<const std::uint8_t*>(out.data());
    if (!reference_valid_utf8(text, out.size())) std::abort();

    static const auto isas = brelt::supported_isas();
    const bool valid = reference_valid_utf8(bytes.data(), bytes.size());
    for (brelt::Isa isa : isas) {
        if (brelt::is_valid_utf8_with(isa, bytes.data(), bytes.size()) != valid) std::abort();
    }
    if (encoding == Encoding::Utf8) {
        if (valid != (*result == 0)) std::abort();
        if (valid &&
            std::string_view(out) !=
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
            std::abort();
        }
    }
    if (encoding == Encoding::Replacement && *result != (bytes.empty() ? 0u : 1u)) std::abort();
    if (keeps_csv_bytes(encoding) &&
        count_csv_bytes(bytes.data(), bytes.size()) != count_csv_bytes(text, out.size())) {
        std::abort();
    }

    auto decoded = brelt::decode_to_utf8(bytes, entry.label);
    if (!decoded.ok() && decoded.error().message != "Failed to decode UTF-16LE" &&
        decoded.error().message != "Failed to decode UTF-16BE") {
        std::abort();
    }
    return 0;
}
