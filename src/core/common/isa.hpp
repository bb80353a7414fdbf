// Run-time choice of the vector instruction set used by the scanning kernels
// (UTF-8 validation now, the record tokenizer later). Every kernel exists in a
// scalar form too, and all forms must give identical results.
#pragma once

#include <string_view>
#include <vector>

namespace brelt {

enum class Isa : unsigned char { Scalar, Sse2, Avx2, Neon };

std::string_view isa_name(Isa isa);

// True when this build contains the kernel and the processor can run it.
bool isa_supported(Isa isa);

// Every supported instruction set, Scalar first.
std::vector<Isa> supported_isas();

// The instruction set the kernels use: the widest supported one, unless the
// environment variable BRELT_SIMD ("scalar", "sse2", "avx2", "neon") names a
// supported one. Read once per process; tests force a path through
// the kernels' explicit-Isa entry points instead.
Isa active_isa();

}  // namespace brelt
