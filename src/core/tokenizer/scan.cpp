#include "tokenizer/scan.hpp"

#include "common/simd/word_vector.hpp"
#include "tokenizer/scan_kernels.hpp"

namespace brelt {

namespace scan {
namespace {

std::size_t scan_unquoted_scalar(const UnquotedScan& scan, std::uint64_t& field_start,
                                 GrowableArray<RecordSpan>& spans) {
    return scan_unquoted_bytes(scan, 0, field_start, spans);
}

}  // namespace

const ScanKernels kScalar{&scan_unquoted_scalar, &find_byte_short,
                          &read_simple_record<simd::WordVector>,
                          &read_record_batch<simd::WordVector>, &count_byte<simd::WordVector>};

}  // namespace scan

const ScanKernels& scan_kernels_for(Isa isa) {
    return *choose_for_isa<const ScanKernels*>(isa, &scan::kScalar, BRELT_X86_ONLY(&scan::kSse2),
                                               BRELT_X86_ONLY(&scan::kAvx2),
                                               BRELT_ARM_ONLY(&scan::kNeon));
}

}  // namespace brelt
