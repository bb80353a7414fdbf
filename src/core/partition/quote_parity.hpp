// Where a file's records start, found without parsing it. In the reading
// dialect every quote byte toggles the quoted state (a doubled quote toggles
// twice, a stray one inside a field opens a quoted stretch), so an offset lies
// inside quotes exactly when an odd number of quotes come before it, and a
// record starts after every LF outside quotes. The quotes are counted a chunk
// per task on the worker pool; a prefix sum gives the parity at each chunk's
// start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/isa.hpp"
#include "tokenizer/scan.hpp"

namespace brelt {

class QuoteParity {
  public:
    // Counts on the pool. Without `quotes_count` (the delimiter is the quote
    // byte itself, which then only delimits) no offset is inside quotes.
    // `bytes` must outlive this object. Tests shrink the chunks.
    QuoteParity(std::span<const std::uint8_t> bytes, bool quotes_count, Isa isa = active_isa(),
                std::size_t chunk_bytes = kChunkBytes);

    // Whether an odd number of quotes lie before `offset`.
    bool inside_quotes(std::uint64_t offset) const;
    // The first record start at or after `offset`: 0, a byte after an LF
    // outside quotes, or the end of the bytes. Blank lines are not skipped:
    // a record start may begin with them.
    std::uint64_t record_start_at_or_after(std::uint64_t offset) const;

    // Bytes per counting task.
    static constexpr std::size_t kChunkBytes = 1 << 20;

  private:
    std::size_t chunk_bytes_;
    std::span<const std::uint8_t> bytes_;
    const ScanKernels* kernels_;
    bool quotes_count_;
    std::vector<std::uint8_t> parity_at_chunk_;  // parity before chunk k
};

}  // namespace brelt
