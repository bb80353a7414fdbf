// The encodings of the WHATWG Encoding Standard: label lookup and decoders to
// UTF-8. Malformed input decodes to U+FFFD exactly as the standard's decoder
// algorithms say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/result.hpp"

namespace brelt {

// One value per encoding of the standard, in the order of its encodings table.
enum class Encoding : unsigned char {
    Utf8,
    // Legacy single-byte encodings.
    Ibm866,
    Iso8859_2,
    Iso8859_3,
    Iso8859_4,
    Iso8859_5,
    Iso8859_6,
    Iso8859_7,
    Iso8859_8,
    Iso8859_8I,
    Iso8859_10,
    Iso8859_13,
    Iso8859_14,
    Iso8859_15,
    Iso8859_16,
    Koi8R,
    Koi8U,
    Macintosh,
    Windows874,
    Windows1250,
    Windows1251,
    Windows1252,
    Windows1253,
    Windows1254,
    Windows1255,
    Windows1256,
    Windows1257,
    Windows1258,
    XMacCyrillic,
    // Legacy multi-byte encodings.
    Gbk,
    Gb18030,
    Big5,
    EucJp,
    Iso2022Jp,
    ShiftJis,
    EucKr,
    // Legacy miscellaneous encodings.
    Replacement,
    Utf16BE,
    Utf16LE,
    XUserDefined,
};

inline constexpr std::size_t kEncodingCount = static_cast<std::size_t>(Encoding::XUserDefined) + 1;

// The standard's "get an encoding": ASCII whitespace around the label is
// ignored and ASCII letters compare without case. nullopt for unknown labels.
std::optional<Encoding> encoding_for_label(std::string_view label);

// The encoding's name as the standard writes it ("UTF-8", "windows-1252").
std::string_view encoding_name(Encoding encoding);

// Decodes all of `bytes` (a complete stream: end of input is flushed) with the
// encoding's decoder and appends the UTF-8 text to `out`. Returns the number of
// errors met (each became U+FFFD), which callers that must reject malformed
// input use. Fails only for a value outside the Encoding enum.
Result<std::size_t> decode_with(Encoding encoding, std::span<const std::uint8_t> bytes,
                                std::string& out);

}  // namespace brelt
