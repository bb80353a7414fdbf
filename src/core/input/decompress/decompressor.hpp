// One compressed format's library, driven a step at a time over buffers the
// caller owns. The steps know nothing of files: DecompressedReader feeds
// them, and turns what they report into errors that name the byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "common/result.hpp"
#include "input/decompress/compression.hpp"

namespace brelt {

class Decompressor {
  public:
    struct Step {
        std::size_t consumed = 0;
        std::size_t produced = 0;
        // A whole member (gzip member, zstd frame, bzip2 stream; for xz every
        // stream, padding included, once `input_ends`) ended at `consumed`.
        bool member_end = false;
        // The library's word on malformed data, or nullptr.
        const char* corrupt = nullptr;
    };

    // ErrorKind::Memory when the library cannot get its state.
    static Result<std::unique_ptr<Decompressor>> create(Compression format);
    virtual ~Decompressor() = default;

    // Decodes from `input` into `output` as far as both allow, `input_ends`
    // when no input follows these bytes. Memory errors are errors; corrupt
    // data is reported in the step, with how far the library got.
    virtual Result<Step> step(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                              bool input_ends) = 0;
    // Ready for the next member after one ended.
    virtual Result<bool> restart() = 0;
};

}  // namespace brelt
