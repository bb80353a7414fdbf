// The inner loops of the UTF-16 and single-byte decoders, one set per
// instruction set (utf16_kernel.hpp and byte_table_kernel.hpp, compiled in
// decode_kernels.cpp, *_sse2.cpp and *_avx2.cpp), and the chunk loop around
// them. Every set gives identical output; tests compare them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/isa.hpp"
#include "input/encoding/byte_table.hpp"
#include "input/encoding/chunked_output.hpp"

namespace brelt::encoding_detail {

struct DecodeCursor {
    const std::uint8_t* in;  // next input byte
    char* out;               // next output byte
    std::size_t errors;
};

// A kernel decodes from c.in until it reaches chunk_end, reading no further
// than `end`. It may stop up to kKernelOverrun bytes past chunk_end (a vector,
// or a surrogate pair, that started before it), and may write up to
// kKernelSpill bytes past the output it keeps (a whole vector store).
inline constexpr std::size_t kKernelOverrun = 128;
inline constexpr std::size_t kKernelSpill = 64;

struct DecodeKernels {
    void (*utf16_le)(DecodeCursor& c, const std::uint8_t* chunk_end, const std::uint8_t* end);
    void (*utf16_be)(DecodeCursor& c, const std::uint8_t* chunk_end, const std::uint8_t* end);
    void (*byte_table)(const ByteTable& table, DecodeCursor& c, const std::uint8_t* chunk_end,
                       const std::uint8_t* end);
};

// The set for `isa`, or the scalar one when this processor can't run it.
const DecodeKernels& decode_kernels_for(Isa isa);

// Appends the decoding of `bytes` to `out` by running `kernel` over them
// 16 KiB at a time; `bound(n)` is the most output n input bytes can give.
// Returns the number of errors.
template <class Bound, class Kernel>
std::size_t decode_in_chunks(std::span<const std::uint8_t> bytes, std::string& out, Bound bound,
                             Kernel kernel) {
    constexpr std::size_t kChunk = 16 * 1024;
    const std::size_t n = bytes.size();
    const std::uint8_t* const end = bytes.data() + n;
    auto room_for = [&](std::size_t chunk) { return bound(chunk + kKernelOverrun) + kKernelSpill; };

    // Most text needs at most 1.5 bytes per byte; only pages written are touched.
    ChunkedOutput output(out, n + n / 2 + room_for(n < kChunk ? n : kChunk));
    DecodeCursor c{bytes.data(), nullptr, 0};
    while (c.in < end) {
        const std::uint8_t* const start = c.in;
        const auto left = static_cast<std::size_t>(end - start);
        const std::uint8_t* const chunk_end = left > kChunk ? start + kChunk : end;
        char* const room = output.room(room_for(static_cast<std::size_t>(chunk_end - start)));
        c.out = room;
        kernel(c, chunk_end, end);
        output.commit(c.out);
        const auto consumed = static_cast<std::size_t>(c.in - start);
        const auto written = static_cast<std::size_t>(c.out - room);
        if (start == bytes.data() && c.in < end && 2 * written > 3 * consumed) {
            // Text that takes more than 1.5 bytes per byte (most single-byte
            // text outside Latin scripts) would outgrow the reservation and be
            // copied: reserve for the rest at the first chunk's rate, plus an eighth.
            const auto rest = static_cast<std::size_t>(end - c.in);
            output.expect(rest / 8 * 9 * written / consumed + room_for(kChunk));
        }
    }
    output.finish();
    return c.errors;
}

}  // namespace brelt::encoding_detail
