#if defined(__aarch64__)

#include "common/simd/neon_vector.hpp"
#include "tokenizer/scan_kernels.hpp"

namespace brelt::scan {

const ScanKernels kNeon = kernels_for_vector<simd::NeonVector>();

}  // namespace brelt::scan

#endif
