// The vector scans, written once against a small vector interface and
// compiled per instruction set (scan_sse2.cpp, scan_avx2.cpp, scan_neon.cpp).
// A vector type V provides:
//   kWidth          bytes per register
//   kBitsPerByte    bits per input byte in a mask (1 for movemask, 4 for the
//                   Arm narrowing shift); only the highest of them may be set
//   Reg splat(b), load(p), load_aligned(p), equal(a, b), either(a, b)
//   uint64_t mask(r)   bit kBitsPerByte*i + kBitsPerByte-1 set for byte i
//   bool any(r)        whether any byte of a compare result is set
//   Reg add_hits(acc, r)  acc plus one in each byte where compare result r is set
//   uint64_t sum_bytes(acc)  the sum of acc's bytes
//   uint64_t mask64(rs)  bit i set for byte i of the 64 bytes that the
//                        64 / kWidth compare results rs cover
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "tokenizer/record_batch_kernel.hpp"
#include "tokenizer/scan.hpp"
#include "tokenizer/simple_record_kernel.hpp"

namespace brelt::scan {

// The kernels keep the span cursor and field start in locals and store them
// once on the way out: spans are 64-bit values, so every span written could
// alias a 64-bit member and would force a reload after each one.
inline std::size_t scan_unquoted_bytes(const UnquotedScan& scan, std::size_t from,
                                       std::uint64_t& field_start_ref,
                                       GrowableArray<RecordSpan>& spans) {
    RecordSpan* out = spans.spare();
    RecordSpan* const first = out;
    std::uint64_t field_start = field_start_ref;
    std::size_t k = from;
    for (; k < scan.size; ++k) {
        const std::uint8_t byte = scan.data[k];
        // The delimiter wins over LF and the quote when they are the same byte.
        if (byte == scan.delimiter) {
            *out++ = {field_start, scan.record_offset + k};
            field_start = scan.record_offset + k + 1;
        } else if (byte == '\n' || byte == scan.quote) {
            break;
        }
    }
    spans.commit(static_cast<std::size_t>(out - first));
    field_start_ref = field_start;
    return k;
}

template <class V>
std::size_t scan_unquoted(const UnquotedScan& scan, std::uint64_t& field_start_ref,
                          GrowableArray<RecordSpan>& spans) {
    const auto delimiter = V::splat(scan.delimiter);
    const auto line_feed = V::splat('\n');
    const auto quote = V::splat(scan.quote);
    const std::uint8_t* data = scan.data;
    const std::uint64_t offset = scan.record_offset;
    RecordSpan* out = spans.spare();
    RecordSpan* const first = out;
    std::uint64_t field_start = field_start_ref;
    std::size_t i = 0;
    std::size_t stop = scan.size;
    for (; i + V::kWidth <= scan.size; i += V::kWidth) {
        const auto block = V::load(data + i);
        const std::uint64_t delimiters = V::mask(V::equal(block, delimiter));
        // LF and quote hits stop the scan, unless the delimiter is that byte.
        const std::uint64_t stops =
            V::mask(V::either(V::equal(block, line_feed), V::equal(block, quote))) & ~delimiters;
        if ((delimiters | stops) == 0) continue;
        // Only the delimiters below the first stop belong to this stretch:
        // (stop & -stop) - 1 keeps exactly the bits below the lowest stop bit.
        std::uint64_t fields = stops == 0 ? delimiters : delimiters & ((stops & (0 - stops)) - 1);
        while (fields != 0) {
            const std::uint64_t k =
                offset + i + static_cast<unsigned>(std::countr_zero(fields)) / V::kBitsPerByte;
            *out++ = {field_start, k};
            field_start = k + 1;
            fields &= fields - 1;
        }
        if (stops != 0) {
            stop = i + static_cast<unsigned>(std::countr_zero(stops)) / V::kBitsPerByte;
            break;
        }
    }
    spans.commit(static_cast<std::size_t>(out - first));
    field_start_ref = field_start;
    if (stop != scan.size) return stop;
    return scan_unquoted_bytes(scan, i, field_start_ref, spans);
}

// Bytes one at a time up to a multiple of 4, then 4 per step.
inline std::size_t find_byte_short(const std::uint8_t* data, std::size_t size, std::uint8_t byte) {
    std::size_t i = 0;
    for (; i < size % 4; ++i) {
        if (data[i] == byte) return i;
    }
    for (; i < size; i += 4) {
        if (data[i] == byte) return i;
        if (data[i + 1] == byte) return i + 1;
        if (data[i + 2] == byte) return i + 2;
        if (data[i + 3] == byte) return i + 3;
    }
    return size;
}

template <class V>
std::size_t first_hit(std::uint64_t mask) {
    return static_cast<unsigned>(std::countr_zero(mask)) / V::kBitsPerByte;
}

template <class V>
std::size_t find_byte(const std::uint8_t* data, std::size_t size, std::uint8_t byte) {
    if (size < V::kWidth) return find_byte_short(data, size, byte);
    const auto needle = V::splat(byte);
    if (const std::uint64_t hits = V::mask(V::equal(V::load(data), needle)); hits != 0) {
        return first_hit<V>(hits);
    }
    const std::uint8_t* const end = data + size;
    // Continue from the next aligned address; the bytes it revisits held no match.
    const auto address = reinterpret_cast<std::uintptr_t>(data);
    const std::uint8_t* block = data + (V::kWidth - address % V::kWidth);
    // Four registers per step; one reduction tells whether any of them matched.
    while (end - block >= static_cast<std::ptrdiff_t>(4 * V::kWidth)) {
        const auto a = V::equal(V::load_aligned(block), needle);
        const auto b = V::equal(V::load_aligned(block + V::kWidth), needle);
        const auto c = V::equal(V::load_aligned(block + 2 * V::kWidth), needle);
        const auto d = V::equal(V::load_aligned(block + 3 * V::kWidth), needle);
        if (V::any(V::either(V::either(a, b), V::either(c, d)))) {
            const std::size_t base = static_cast<std::size_t>(block - data);
            if (const std::uint64_t m = V::mask(a); m != 0) return base + first_hit<V>(m);
            if (const std::uint64_t m = V::mask(b); m != 0)
                return base + V::kWidth + first_hit<V>(m);
            if (const std::uint64_t m = V::mask(c); m != 0) {
                return base + 2 * V::kWidth + first_hit<V>(m);
            }
            return base + 3 * V::kWidth + first_hit<V>(V::mask(d));
        }
        block += 4 * V::kWidth;
    }
    for (; end - block >= static_cast<std::ptrdiff_t>(V::kWidth); block += V::kWidth) {
        if (const std::uint64_t m = V::mask(V::equal(V::load_aligned(block), needle)); m != 0) {
            return static_cast<std::size_t>(block - data) + first_hit<V>(m);
        }
    }
    if (block < end) {
        // One load ending exactly at the end; the overlap was already searched.
        const std::uint8_t* last = end - V::kWidth;
        if (const std::uint64_t m = V::mask(V::equal(V::load(last), needle)); m != 0) {
            return static_cast<std::size_t>(last - data) + first_hit<V>(m);
        }
    }
    return size;
}

// Each compare result adds one to a per-byte counter where it matched
// (add_hits); the counters are summed (sum_bytes) before any can pass 255.
template <class V>
std::size_t count_byte(const std::uint8_t* data, std::size_t size, std::uint8_t byte) {
    constexpr std::size_t kRegisters = 4;  // independent counters, for throughput
    constexpr std::size_t kStep = kRegisters * V::kWidth;
    const auto needle = V::splat(byte);
    std::size_t count = 0;
    std::size_t i = 0;
    while (i + kStep <= size) {
        typename V::Reg counters[kRegisters];
        for (auto& counter : counters)
            counter = V::splat(0);
        const std::size_t rounds = std::min<std::size_t>(255, (size - i) / kStep);
        for (std::size_t round = 0; round < rounds; ++round, i += kStep) {
            for (std::size_t k = 0; k < kRegisters; ++k) {
                counters[k] =
                    V::add_hits(counters[k], V::equal(V::load(data + i + k * V::kWidth), needle));
            }
        }
        for (const auto& counter : counters)
            count += V::sum_bytes(counter);
    }
    for (; i < size; ++i)
        count += data[i] == byte;
    return count;
}

template <class V>
constexpr ScanKernels kernels_for_vector() {
    return ScanKernels{&scan_unquoted<V>, &find_byte<V>, &read_simple_record<V>,
                       &read_record_batch<V>, &count_byte<V>};
}

}  // namespace brelt::scan
