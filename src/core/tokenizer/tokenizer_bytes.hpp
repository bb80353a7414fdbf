// Byte values and sizes shared by the tokenizer's record paths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brelt::tokenizer_bytes {

inline constexpr std::uint8_t kLineFeed = '\n';
inline constexpr std::uint8_t kCarriageReturn = '\r';
// Unquoted stretches are scanned at most this many bytes at a time, so the
// room reserved for their delimiters' spans stays small.
inline constexpr std::size_t kScanSlice = 4096;

}  // namespace brelt::tokenizer_bytes
