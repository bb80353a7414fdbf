// The per-instruction-set UTF-8 validation kernels behind is_valid_utf8. Each
// is only declared where it is built, and may only be called once
// isa_supported() says the processor runs it. All of them give the same answer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brelt::utf8 {

bool validate_scalar(const std::uint8_t* data, std::size_t size);

#if defined(__x86_64__) || defined(_M_X64)
bool validate_sse2(const std::uint8_t* data, std::size_t size);
bool validate_avx2(const std::uint8_t* data, std::size_t size);
#endif

#if defined(__aarch64__)
bool validate_neon(const std::uint8_t* data, std::size_t size);
#endif

}  // namespace brelt::utf8
