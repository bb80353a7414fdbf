// Text held as fixed-width code units (the 1-, 2- and 4-byte forms a Python
// str takes) encoded as UTF-8 for the parser, which reads UTF-8 only.
#pragma once

#include <cstdint>
#include <span>

#include "common/growable_array.hpp"
#include "common/result.hpp"

namespace brelt {

// Replaces `out`'s contents with the UTF-8 of `units`. False (and `out`
// empty) when a unit is a surrogate code point, which UTF-8 cannot encode;
// ErrorKind::Memory "alloc" when memory runs out. Large outputs are mapped
// memory, so the worst-case reservation costs address space only.
Result<bool> encode_utf8(std::span<const std::uint8_t> units, GrowableArray<std::uint8_t>& out);
Result<bool> encode_utf8(std::span<const std::uint16_t> units, GrowableArray<std::uint8_t>& out);
Result<bool> encode_utf8(std::span<const std::uint32_t> units, GrowableArray<std::uint8_t>& out);

// Appends the UTF-8 of `units` to `out`, a lone surrogate in the three-byte
// form of Python's "surrogatepass" error handler; returns whether there was
// one, so the text is decoded back the same way. Throws std::bad_alloc when
// memory runs out.
bool append_utf8_passing_surrogates(std::span<const std::uint8_t> units,
                                    GrowableArray<std::uint8_t>& out);
bool append_utf8_passing_surrogates(std::span<const std::uint16_t> units,
                                    GrowableArray<std::uint8_t>& out);
bool append_utf8_passing_surrogates(std::span<const std::uint32_t> units,
                                    GrowableArray<std::uint8_t>& out);

}  // namespace brelt
