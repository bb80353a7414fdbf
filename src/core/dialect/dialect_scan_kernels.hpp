// The record parser's vector searches, written once against the vector
// interface of common/simd/word_vector.hpp and compiled per instruction set
// (dialect_scan.cpp, dialect_scan_sse2.cpp, dialect_scan_avx2.cpp,
// dialect_scan_neon.cpp).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "dialect/dialect_scan.hpp"

namespace brelt::dialect::kernels {

template <class V>
std::size_t first_byte(std::uint64_t mask) {
    return static_cast<unsigned>(std::countr_zero(mask)) / V::kBitsPerByte;
}

template <class V, std::size_t N>
typename V::Reg any_of(typename V::Reg block, const typename V::Reg (&needles)[N]) {
    typename V::Reg hits = V::equal(block, needles[0]);
    for (std::size_t k = 1; k < N; ++k)
        hits = V::either(hits, V::equal(block, needles[k]));
    return hits;
}

inline bool is_stop(std::uint8_t byte, const std::uint8_t* stops, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        if (byte == stops[k]) return true;
    }
    return false;
}

// The cursor and field start stay in locals and are stored once on the way
// out: every span written could alias a 64-bit member otherwise.
template <class V>
std::size_t scan_fields(const FieldScan& scan, std::uint64_t& field_start_ref,
                        GrowableArray<FieldSpan>& spans) {
    typename V::Reg stops[kStopBytes];
    for (std::size_t k = 0; k < kStopBytes; ++k)
        stops[k] = V::splat(scan.stops[k]);
    const auto delimiter = V::splat(scan.delimiter);
    const std::uint8_t* const data = scan.data;
    FieldSpan* out = spans.spare();
    FieldSpan* const first = out;
    std::uint64_t field_start = field_start_ref;
    std::size_t i = scan.from;
    std::size_t stop = scan.to;
    bool stopped = false;
    for (; i + V::kWidth <= scan.to; i += V::kWidth) {
        const auto block = V::load(data + i);
        const std::uint64_t stop_bits = V::mask(any_of<V>(block, stops));
        const std::uint64_t delimiters = V::mask(V::equal(block, delimiter)) & ~stop_bits;
        if ((delimiters | stop_bits) == 0) continue;
        // (s & -s) - 1 keeps exactly the bits below the lowest stop bit: the
        // delimiters of this stretch.
        std::uint64_t ends =
            stop_bits == 0 ? delimiters : delimiters & ((stop_bits & (0 - stop_bits)) - 1);
        while (ends != 0) {
            const std::uint64_t k = i + first_byte<V>(ends);
            *out++ = {field_start, k};
            field_start = k + 1;
            ends &= ends - 1;
        }
        if (stop_bits != 0) {
            stop = i + first_byte<V>(stop_bits);
            stopped = true;
            break;
        }
    }
    if (!stopped) {
        for (; i < scan.to; ++i) {
            const std::uint8_t byte = data[i];
            if (is_stop(byte, scan.stops, kStopBytes)) {
                stop = i;
                break;
            }
            if (byte == scan.delimiter) {
                *out++ = {field_start, i};
                field_start = i + 1;
            }
        }
    }
    spans.commit(static_cast<std::size_t>(out - first));
    field_start_ref = field_start;
    return stop;
}

template <class V>
std::size_t find_stop(const std::uint8_t* data, std::size_t from, std::size_t to,
                      const std::uint8_t (&stop_bytes)[4]) {
    typename V::Reg stops[4];
    for (std::size_t k = 0; k < 4; ++k)
        stops[k] = V::splat(stop_bytes[k]);
    std::size_t i = from;
    for (; i + V::kWidth <= to; i += V::kWidth) {
        const std::uint64_t hits = V::mask(any_of<V>(V::load(data + i), stops));
        if (hits != 0) return i + first_byte<V>(hits);
    }
    for (; i < to; ++i) {
        if (is_stop(data[i], stop_bytes, 4)) return i;
    }
    return to;
}

template <class V>
constexpr DialectKernels kernels_for_vector() {
    return DialectKernels{&scan_fields<V>, &find_stop<V>};
}

}  // namespace brelt::dialect::kernels
