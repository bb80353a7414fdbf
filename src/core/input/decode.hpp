// Turning loaded file bytes into UTF-8 text, guided by byte-order marks and an
// optional WHATWG encoding label.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/result.hpp"

namespace brelt {

// The rules, first match wins:
//  1. A byte-order mark decides, whatever the label: EF BB BF is UTF-8 with
//     replacement; FF FE / FE FF are UTF-16LE / UTF-16BE, and any malformed
//     unit fails with "Failed to decode UTF-16LE" / "...BE".
//  2. No label: valid UTF-8 is copied unchanged, anything else is decoded whole
//     as windows-1252.
//  3. A label: "utf8"/"utf-8" (any case) is UTF-8 with replacement; otherwise
//     the WHATWG label table picks the decoder, and malformed input becomes
//     U+FFFD. An unknown label fails with "Unknown encoding: " + label.
// The result is always a new string, never a view of `bytes`.
Result<std::string> decode_to_utf8(std::span<const std::uint8_t> bytes,
                                   std::optional<std::string_view> label);

}  // namespace brelt
