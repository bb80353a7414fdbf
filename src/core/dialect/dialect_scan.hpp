// The byte searches behind the record parser, one set per instruction set.
// Every set finds exactly the same positions; only the speed differs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/growable_array.hpp"
#include "common/isa.hpp"
#include "dialect/parsed_records.hpp"

namespace brelt::dialect {

// Up to this many bytes stop a search; unused places repeat a used byte.
inline constexpr std::size_t kStopBytes = 6;

struct FieldScan {
    const std::uint8_t* data;
    std::size_t from;  // the stretch data[from, to) is scanned
    std::size_t to;
    std::uint8_t delimiter;
    std::uint8_t stops[kStopBytes];
};

struct DialectKernels {
    // Scans plain unquoted text: every delimiter before the first stop byte
    // ends a field, whose span (field_start, its offset) is pushed, and
    // field_start moves past it. Returns the offset of the first stop byte,
    // or scan.to if none. A byte that is both a stop and the delimiter
    // stops. `spans` must have room for scan.to - scan.from more entries.
    std::size_t (*scan_fields)(const FieldScan& scan, std::uint64_t& field_start,
                               GrowableArray<FieldSpan>& spans);
    // The offset of the first byte in data[from, to) that is one of
    // stops[0..3], or `to`.
    std::size_t (*find_stop)(const std::uint8_t* data, std::size_t from, std::size_t to,
                             const std::uint8_t (&stops)[4]);
};

// The kernels for `isa`; one this processor can't run gives the scalar set.
const DialectKernels& dialect_kernels_for(Isa isa);

namespace kernels {
extern const DialectKernels kScalar;
#if defined(__x86_64__) || defined(_M_X64)
extern const DialectKernels kSse2;
extern const DialectKernels kAvx2;
#endif
#if defined(__aarch64__)
extern const DialectKernels kNeon;
#endif
}  // namespace kernels

}  // namespace brelt::dialect
