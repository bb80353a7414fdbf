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
    return choose_for_isa<Kernel>(isa, utf8::validate_scalar, BRELT_X86_ONLY(utf8::validate_sse2),
                                  BRELT_X86_ONLY(utf8::validate_avx2),
                                  BRELT_ARM_ONLY(utf8::validate_neon));
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
