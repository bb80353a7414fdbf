#if defined(__aarch64__)

#include "common/simd/neon_vector.hpp"
#include "dialect/dialect_scan_kernels.hpp"

namespace brelt::dialect::kernels {

const DialectKernels kNeon = kernels_for_vector<simd::NeonVector>();

}  // namespace brelt::dialect::kernels

#endif
