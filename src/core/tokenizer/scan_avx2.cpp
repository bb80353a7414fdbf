// Built with -mavx2; only called once the processor is known to support it.
#if defined(__x86_64__) || defined(_M_X64)

#include "common/simd/avx2_vector.hpp"
#include "tokenizer/scan_kernels.hpp"

namespace brelt::scan {

const ScanKernels kAvx2 = kernels_for_vector<simd::Avx2Vector>();

}  // namespace brelt::scan

#endif
