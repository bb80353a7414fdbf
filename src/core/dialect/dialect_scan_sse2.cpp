#if defined(__x86_64__) || defined(_M_X64)

#include "common/simd/sse2_vector.hpp"
#include "dialect/dialect_scan_kernels.hpp"

namespace brelt::dialect::kernels {

const DialectKernels kSse2 = kernels_for_vector<simd::Sse2Vector>();

}  // namespace brelt::dialect::kernels

#endif
