// decode_with on arbitrary bytes: the first byte picks the encoding, the rest
// is decoded. Whatever the input, the output must be well-formed UTF-8, and a
// well-formed UTF-8 input must come back unchanged and without errors.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "input/encoding/encoding.hpp"
#include "utf8_reference.hpp"

using brelt::testing::reference_valid_utf8;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto encoding = static_cast<brelt::Encoding>(data[0] % brelt::kEncodingCount);
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    std::string out;
    auto result = brelt::decode_with(encoding, bytes, out);
    if (!result.ok()) {
        // Only the legacy multi-byte encodings may be missing, and they add nothing.
        if (encoding < brelt::Encoding::Gbk || encoding > brelt::Encoding::EucKr) std::abort();
        if (!out.empty()) std::abort();
        return 0;
    }
    const auto* text = reinterpret_cast<const std::uint8_t*>(out.data());
    if (!reference_valid_utf8(text, out.size())) std::abort();

    if (encoding == brelt::Encoding::Utf8) {
        const bool valid = reference_valid_utf8(bytes.data(), bytes.size());
        if (valid != (*result == 0)) std::abort();
        if (valid &&
            std::string_view(out) !=
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
            std::abort();
        }
    }
    if (encoding == brelt::Encoding::Replacement && *result != (bytes.empty() ? 0u : 1u)) {
        std::abort();
    }
    return 0;
}
