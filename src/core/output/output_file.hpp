// A file written through one fixed buffer with POSIX open/write/close, for the
// bulk writer, compressed when its name asks for it. Every failure is kept as
// an error value, never lost.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"
#include "output/compress/compressor.hpp"

namespace brelt {

inline constexpr std::size_t kOutputBufferSize = 262'144;

// What a caller does around each system call of an OutputFile that may block
// (open, write, close), and around compressing a buffer: the Python binding
// releases the interpreter lock there, so that another thread of the process,
// say the reader of a pipe being written, can run meanwhile.
class BlockingCalls {
  public:
    virtual void before() = 0;
    virtual void after() = 0;

  protected:
    ~BlockingCalls() = default;
};

class OutputFile {
  public:
    // Creates `path`, or truncates it, for writing only, with permission bits
    // 0o666 less the umask. A name ending in ".gz", ".zst", ".bz2" or ".xz"
    // (in any case) has what is written compressed in that format. Errors
    // read as the system's text followed by " (os error N)"; a path holding a
    // NUL byte is refused before any call. `around`, when given, must outlive
    // the file.
    static Result<OutputFile> create(const std::string& path, BlockingCalls* around = nullptr);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Closes the descriptor without writing what is still buffered; callers
    // end with finish().
    ~OutputFile();

    // A piece that fits is copied into the buffer; otherwise the buffer is
    // written out first, and a piece at least as large as the whole buffer
    // goes to the file directly. After a failed write the error is kept and
    // all later output is dropped.
    void append(std::string_view piece) {
        if (piece.size() <= kOutputBufferSize - used_) {
            // copy_n, unlike memcpy, allows the null data of an empty view.
            std::copy_n(piece.data(), piece.size(), buffer_.get() + used_);
            used_ += piece.size();
        } else {
            append_slow(piece);
        }
    }
    void push(char byte) {
        if (used_ == kOutputBufferSize) write_out_buffer();
        buffer_[used_++] = byte;
    }

    // Whether a write has failed; the loop writing rows may stop early.
    bool failed() const { return error_.has_value(); }

    // Writes out what is buffered (ending a compressed stream) and closes the
    // file. The first write or close error, else the number of bytes that
    // reached the file.
    Result<std::uint64_t> finish();

  private:
    OutputFile(int fd, BlockingCalls* around, std::unique_ptr<Compressor> compressor);
    void append_slow(std::string_view piece);
    void write_out_buffer(bool last = false);
    // Writes `data` as it is, or compressed.
    void write_out(const char* data, std::size_t size, bool last);
    void write_all(const char* data, std::size_t size);

    int fd_ = -1;
    BlockingCalls* around_ = nullptr;
    std::unique_ptr<Compressor> compressor_;  // null for plain output
    std::vector<std::uint8_t> compressed_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    std::optional<Error> error_;
};

}  // namespace brelt
