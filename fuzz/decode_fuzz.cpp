// Every decoder on arbitrary bytes: the first byte picks a label of the WHATWG
// table (so every label is reached), the rest is decoded. Whatever the input:
//  - the output is well-formed UTF-8;
//  - well-formed UTF-8 comes back unchanged under UTF-8;
//  - decode_to_utf8 with that label fails only on malformed UTF-16 after a
//    byte-order mark.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string>

#include "input/decode.hpp"
#include "input/encoding/encoding.hpp"
#include "input/encoding/generated/label_table.hpp"
#include "utf8_reference.hpp"

using brelt::Encoding;
using brelt::testing::reference_valid_utf8;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto& entry =
        brelt::encoding_detail::kLabels[data[0] % std::size(brelt::encoding_detail::kLabels)];
    const Encoding encoding = entry.encoding;
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    std::string out;
    auto result = brelt::decode_with(encoding, bytes, out);
    if (!result.ok()) std::abort();
    if (!reference_valid_utf8(reinterpret_cast<const std::uint8_t*>(out.data()), out.size()))
        std::abort();

    const bool valid = reference_valid_utf8(bytes.data(), bytes.size());
    const std::string_view input(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (encoding == Encoding::Utf8 && (valid != (*result == 0) || (valid && out != input)))
        std::abort();
    if (encoding == Encoding::Replacement && *result != (bytes.empty() ? 0u : 1u)) std::abort();

    auto decoded = brelt::decode_to_utf8(bytes, entry.label);
    if (!decoded.ok() && decoded.error().message != "Failed to decode UTF-16LE" &&
        decoded.error().message != "Failed to decode UTF-16BE") {
        std::abort();
    }
    return 0;
}
