// decode_with on arbitrary bytes: the first byte picks the encoding, the rest
// is decoded. Whatever the input, the output must be well-formed UTF-8, and a
// well-formed UTF-8 input must come back unchanged and without errors.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "input/encoding/encoding.hpp"

namespace {

// Deliberately naive and separate from the decoders, so it shares no bugs with them.
bool is_well_formed_utf8(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        const std::uint32_t lead = p[i];
        std::size_t length;
        std::uint32_t cp;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (n - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

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
    if (!is_well_formed_utf8(text, out.size())) std::abort();

    if (encoding == brelt::Encoding::Utf8) {
        const bool valid = is_well_formed_utf8(bytes.data(), bytes.size());
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
