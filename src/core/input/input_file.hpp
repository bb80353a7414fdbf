// A file read once from its start to its end, a piece at a time. Never
// mapped: a mapped file cut short by another process kills the reader on its
// next touch of a page that went, where read() just returns fewer bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/result.hpp"

namespace brelt {

class InputFile {
  public:
    // Opens `path` read-only. Errors read as the system's text followed by
    // " (os error N)"; a path holding a NUL byte is refused before any call.
    static Result<InputFile> open(const std::string& path);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Reads the next bytes into `out`, fewer than asked only at the end (0
    // there) or before a failure, which every later call then returns: all
    // the bytes before a failure are handed out. A regular file must keep the
    // size it had when opened: reading past it, or ending before it, fails
    // with "the file changed size while it was read (A bytes when opened, B
    // read)".
    Result<std::size_t> read(std::span<std::uint8_t> out);

    // The size when opened; 0 when unknown (a pipe, a device, a file of the
    // kernel's own whose size reads as 0).
    std::uint64_t size() const { return size_; }
    std::uint64_t position() const { return position_; }

  private:
    InputFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    Result<std::size_t> read_some(std::span<std::uint8_t> out);

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    std::optional<Error> failure_;
};

// "<strerror text> (os error N)", the form of every file error.
std::string os_error_message(int error_number);

}  // namespace brelt
