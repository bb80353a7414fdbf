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

// Per-instruction-set variants of one kernel (a function or a table of
// functions), of which a build has only some: `BRELT_X86_ONLY(x)` and
// `BRELT_ARM_ONLY(x)` give null where x is not built.
#if defined(__x86_64__) || defined(_M_X64)
#define BRELT_X86_ONLY(x) (x)
#else
#define BRELT_X86_ONLY(x) nullptr
#endif
#if defined(__aarch64__)
#define BRELT_ARM_ONLY(x) (x)
#else
#define BRELT_ARM_ONLY(x) nullptr
#endif

// The variant for `isa`. Every variant gives the same results, so one this
// build lacks or this processor can't run is served by the scalar one
// instead of faulting on an illegal instruction.
template <class T>
T choose_for_isa(Isa isa, T scalar, T sse2, T avx2, T neon) {
    if (!isa_supported(isa)) return scalar;
    T chosen = scalar;
    switch (isa) {
        case Isa::Scalar:
            break;
        case Isa::Sse2:
            chosen = sse2;
            break;
        case Isa::Avx2:
            chosen = avx2;
            break;
        case Isa::Neon:
            chosen = neon;
            break;
    }
    return chosen != nullptr ? chosen : scalar;
}

}  // namespace brelt
