#include "common/isa.hpp"

#include <cstdlib>

namespace brelt {

std::string_view isa_name(Isa isa) {
    switch (isa) {
        case Isa::Scalar:
            return "scalar";
        case Isa::Sse2:
            return "sse2";
        case Isa::Avx2:
            return "avx2";
        case Isa::Neon:
            return "neon";
    }
    return "scalar";
}

bool isa_supported(Isa isa) {
    switch (isa) {
        case Isa::Scalar:
            return true;
#if defined(__x86_64__) || defined(_M_X64)
        // SSE2 is part of the x86-64 baseline.
        case Isa::Sse2:
            return true;
        case Isa::Avx2:
            return __builtin_cpu_supports("avx2");
#else
        case Isa::Sse2:
        case Isa::Avx2:
            return false;
#endif
#if defined(__aarch64__)
        // Advanced SIMD is part of the AArch64 baseline.
        case Isa::Neon:
            return true;
#else
        case Isa::Neon:
            return false;
#endif
    }
    return false;
}

std::vector<Isa> supported_isas() {
    std::vector<Isa> isas;
    for (Isa isa : {Isa::Scalar, Isa::Sse2, Isa::Avx2, Isa::Neon}) {
        if (isa_supported(isa)) isas.push_back(isa);
    }
    return isas;
}

namespace {

Isa choose_isa() {
    if (const char* forced = std::getenv("BRELT_SIMD")) {
        for (Isa isa : {Isa::Scalar, Isa::Sse2, Isa::Avx2, Isa::Neon}) {
            if (isa_name(isa) == forced && isa_supported(isa)) return isa;
        }
    }
    return supported_isas().back();
}

}  // namespace

Isa active_isa() {
    static const Isa chosen = choose_isa();
    return chosen;
}

}  // namespace brelt
