#include "dialect/dialect_scan.hpp"

#include "common/simd/word_vector.hpp"
#include "dialect/dialect_scan_kernels.hpp"

namespace brelt::dialect {

namespace kernels {
const DialectKernels kScalar = kernels_for_vector<simd::WordVector>();
}  // namespace kernels

const DialectKernels& dialect_kernels_for(Isa isa) {
    return *choose_for_isa<const DialectKernels*>(
        isa, &kernels::kScalar, BRELT_X86_ONLY(&kernels::kSse2), BRELT_X86_ONLY(&kernels::kAvx2),
        BRELT_ARM_ONLY(&kernels::kNeon));
}

}  // namespace brelt::dialect
