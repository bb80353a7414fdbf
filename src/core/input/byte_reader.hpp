// A file's content, read front to back: its bytes, or for a compressed file
// (known by its first bytes) what they decompress to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "common/result.hpp"
#include "input/decompress/compression.hpp"

namespace brelt {

class ByteReader {
  public:
    virtual ~ByteReader() = default;

    // Fills `out` with the next bytes of content, fewer only at the end (0
    // there) or before a failure, which every later call then returns: all
    // the content before a failure is handed out. File errors are
    // ErrorKind::OS; corrupt or truncated compressed data is ErrorKind::Value,
    // naming the format and the file's byte offset.
    Result<std::size_t> read(std::span<std::uint8_t> out) {
        if (failure_) return *failure_;
        std::size_t filled = 0;
        failure_ = fill(out, filled);
        if (failure_ && filled == 0) return *failure_;
        return filled;
    }

    virtual Compression compression() const = 0;
    // How many of the file's own bytes (compressed bytes for a compressed
    // file) the content read so far came from.
    virtual std::uint64_t file_position() const = 0;
    // The file's size when opened, 0 when unknown (a pipe).
    virtual std::uint64_t file_size() const = 0;

  protected:
    // Fills what it can of `out`, counting it in `filled`; the failure that
    // stopped it short, if any.
    virtual std::optional<Error> fill(std::span<std::uint8_t> out, std::size_t& filled) = 0;

  private:
    std::optional<Error> failure_;
};

// Opens `path` and reads its first bytes to learn whether it is compressed.
// Errors as InputFile::open.
Result<std::unique_ptr<ByteReader>> open_byte_reader(const std::string& path);

}  // namespace brelt
