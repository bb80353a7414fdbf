#include "input/utf8_validate.hpp"

#include "input/utf8_validate_kernels.hpp"
#include "input/utf8_validate_scalar.hpp"

namespace brelt {

namespace utf8 {

bool validate_scalar(const std::uint8_t* data, std::size_t size) {
    return validate_runs<skip_ascii_words>(data, size);
}

}  // namespace utf8

namespace {

using Kernel = bool (*)(const std::uint8_t*, std::size_t);

Kernel kernel_for(Isa isa) {
    // Every kernel gives the same answer, so an unusable request can be
    // served by the scalar one instead of faulting on an illegal instruction.
    if (!isa_supported(isa)) return utf8::validate_scalar;
    switch (isa) {
#if defined(__x86_64__) || defined(_M_X64)
        case Isa::Sse2:
            return utf8::validate_sse2;
        case Isa::Avx2:
            return utf8::validate_avx2;
#endif
#if defined(__aarch64__)
        case Isa::Neon:
            return utf8::validate_neon;
#endif
        default:
            return utf8::validate_scalar;
    }
}

}  // namespace

bool is_valid_utf8(const std::uint8_t* data, std::size_t size) {
    static const Kernel kernel = kernel_for(active_isa());
    return kernel(data, size);
}

bool is_valid_utf8_with(Isa isa, const std::uint8_t* data, std::size_t size) {
    return kernel_for(isa)(data, size);
}

}  // namespace brelt
