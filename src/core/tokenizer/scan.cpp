#include "tokenizer/scan.hpp"

#include "tokenizer/scan_kernels.hpp"

namespace brelt {

namespace scan {
namespace {

std::size_t scan_unquoted_scalar(const UnquotedScan& scan, std::uint64_t& field_start,
                                 GrowableArray<RecordSpan>& spans) {
    return scan_unquoted_bytes(scan, 0, field_start, spans);
}

struct ScalarScanner {
    static std::size_t scan_unquoted(const UnquotedScan& scan, std::uint64_t& field_start,
                                     GrowableArray<RecordSpan>& spans) {
        return scan_unquoted_bytes(scan, 0, field_start, spans);
    }
    static std::size_t find_byte(const std::uint8_t* data, std::size_t size, std::uint8_t byte) {
        return find_byte_short(data, size, byte);
    }
};

}  // namespace

const ScanKernels kScalar{&scan_unquoted_scalar, &find_byte_short,
                          &read_simple_record<ScalarScanner>};

}  // namespace scan

const ScanKernels& scan_kernels_for(Isa isa) {
    // Every kernel set gives the same answer, so a set this processor can't
    // run is served by the scalar one instead of faulting.
    if (!isa_supported(isa)) return scan::kScalar;
    switch (isa) {
#if defined(__x86_64__) || defined(_M_X64)
        case Isa::Sse2:
            return scan::kSse2;
        case Isa::Avx2:
            return scan::kAvx2;
#endif
#if defined(__aarch64__)
        case Isa::Neon:
            return scan::kNeon;
#endif
        default:
            return scan::kScalar;
    }
}

}  // namespace brelt
