// One compressed format's library, for writing: what goes in comes out
// compressed, at the format's usual level, into a buffer the caller writes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/result.hpp"
#include "input/decompress/compression.hpp"

namespace brelt {

class Compressor {
  public:
    // gzip at level 6, zstd 3, bzip2 9 (900 KB blocks), xz preset 6: what
    // each format's own tool writes by default. ErrorKind::Memory when the
    // library cannot get its state.
    static Result<std::unique_ptr<Compressor>> create(Compression format);
    virtual ~Compressor() = default;

    // Compresses all of `input`, appending to `out` whatever the library
    // hands out; with `finish`, ends the stream after it.
    virtual Result<bool> compress(std::span<const std::uint8_t> input, bool finish,
                                  std::vector<std::uint8_t>& out) = 0;
};

}  // namespace brelt
