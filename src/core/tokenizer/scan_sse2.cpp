#if defined(__x86_64__) || defined(_M_X64)

#include "common/simd/sse2_vector.hpp"
#include "tokenizer/scan_kernels.hpp"

namespace brelt::scan {

const ScanKernels kSse2 = kernels_for_vector<simd::Sse2Vector>();

}  // namespace brelt::scan

#endif
