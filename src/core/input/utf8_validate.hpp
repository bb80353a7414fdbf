// UTF-8 validation. Valid means well-formed in the sense of the Unicode
// standard: no overlong forms, no surrogates (U+D800..U+DFFF), nothing above
// U+10FFFF, no truncated sequence at the end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/isa.hpp"

namespace brelt {

// Uses the kernel of active_isa().
bool is_valid_utf8(const std::uint8_t* data, std::size_t size);

// The same check on an explicit kernel (for tests and benchmarks). `isa` must
// be supported (isa_supported); every kernel gives the same answer.
bool is_valid_utf8_with(Isa isa, const std::uint8_t* data, std::size_t size);

}  // namespace brelt
