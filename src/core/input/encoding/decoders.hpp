// The decoders behind decode_with. Each decodes a whole stream, appends UTF-8
// to `out` and returns the number of errors (one U+FFFD each).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/isa.hpp"
#include "input/encoding/encoding.hpp"

namespace brelt::encoding_detail {

std::size_t decode_utf8(std::span<const std::uint8_t> bytes, std::string& out);
std::size_t decode_utf16(std::span<const std::uint8_t> bytes, bool big_endian, std::string& out);
// `encoding` must be one of kFirstSingleByte..kLastSingleByte.
std::size_t decode_single_byte(Encoding encoding, std::span<const std::uint8_t> bytes,
                               std::string& out);

// The same through one instruction set's kernels, for the tests; every set
// gives the same output.
std::size_t decode_utf16(Isa isa, std::span<const std::uint8_t> bytes, bool big_endian,
                         std::string& out);
std::size_t decode_single_byte(Isa isa, Encoding encoding, std::span<const std::uint8_t> bytes,
                               std::string& out);
std::size_t decode_x_user_defined(std::span<const std::uint8_t> bytes, std::string& out);
std::size_t decode_replacement(std::span<const std::uint8_t> bytes, std::string& out);

// The legacy multi-byte encodings; GBK decodes as gb18030.
std::size_t decode_gb18030(std::span<const std::uint8_t> bytes, std::string& out);
std::size_t decode_big5(std::span<const std::uint8_t> bytes, std::string& out);
std::size_t decode_euc_jp(std::span<const std::uint8_t> bytes, std::string& out);
std::size_t decode_iso_2022_jp(std::span<const std::uint8_t> bytes, std::string& out);
std::size_t decode_shift_jis(std::span<const std::uint8_t> bytes, std::string& out);
std::size_t decode_euc_kr(std::span<const std::uint8_t> bytes, std::string& out);

}  // namespace brelt::encoding_detail
