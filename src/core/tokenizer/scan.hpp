// The byte searches behind the tokenizer, one set per instruction set. Every
// set finds exactly the same positions; only the speed differs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/isa.hpp"
#include "tokenizer/raw_record.hpp"
#include "tokenizer/record_batch.hpp"

namespace brelt {

struct UnquotedScan {
    const std::uint8_t* data;  // the stretch to scan
    std::size_t size;
    std::uint8_t delimiter;
    std::uint8_t quote;
    // Offset in the record's bytes that data[0] will land at once the
    // stretch is copied; field spans are pushed relative to it.
    std::uint64_t record_offset;
};

// A record from its first byte to the end of input, for read_simple_record.
struct SimpleRecordScan {
    const std::uint8_t* base;
    std::size_t remaining;
    std::uint8_t delimiter;
    std::uint8_t quote;
};

struct SimpleRecordResult {
    // True: the record is complete, its fields are slices of base[0, size),
    // and `consumed` bytes (its line end included) were read. False: the
    // general path must go on from `field_start`, where a field begins;
    // spans holds the fields before it.
    bool complete;
    std::size_t consumed;
    std::size_t size;
    std::uint64_t field_start;
};

struct ScanKernels {
    // Scans an unquoted stretch for the delimiter, LF and the quote. Every
    // delimiter before the first LF or quote ends a field: the span
    // (field_start, its offset) is pushed and field_start moves past it.
    // Returns the offset of the first LF or quote, or scan.size if none.
    // When the delimiter is LF or the quote itself, the byte counts as a
    // delimiter here. `spans` must have room for scan.size more entries, so
    // the kernel never allocates.
    std::size_t (*scan_unquoted)(const UnquotedScan& scan, std::uint64_t& field_start,
                                 GrowableArray<RecordSpan>& spans);
    // Offset of the first `byte` in data[0, size), or size if none.
    std::size_t (*find_byte)(const std::uint8_t* data, std::size_t size, std::uint8_t byte);
    // See simple_record_kernel.hpp.
    SimpleRecordResult (*read_simple_record)(const SimpleRecordScan& scan,
                                             GrowableArray<RecordSpan>& spans);
    // See record_batch_kernel.hpp. The delimiter is neither the quote, LF nor CR.
    BatchResult (*read_record_batch)(const BatchScan& scan, RecordBatch& batch);
    // How many bytes of data[0, size) equal `byte` (the quote parity of a
    // partition plan is counted with it).
    std::size_t (*count_byte)(const std::uint8_t* data, std::size_t size, std::uint8_t byte);
};

// The kernels for `isa`; an instruction set this processor can't run falls
// back to the scalar kernels.
const ScanKernels& scan_kernels_for(Isa isa);

namespace scan {
extern const ScanKernels kScalar;
#if defined(__x86_64__) || defined(_M_X64)
extern const ScanKernels kSse2;
extern const ScanKernels kAvx2;
#endif
#if defined(__aarch64__)
extern const ScanKernels kNeon;
#endif
}  // namespace scan

}  // namespace brelt
