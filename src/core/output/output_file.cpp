#include "output/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "input/load.hpp"  // os_error_message

namespace brelt {

namespace {

Error os_error(int error_number) {
    return Error(ErrorKind::OS, os_error_message(error_number));
}

}  // namespace

Result<OutputFile> OutputFile::create(const std::string& path) {
    if (std::string_view(path).find('\0') != std::string_view::npos) {
        return Error(ErrorKind::OS, "file name contained an unexpected NUL byte");
    }
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return os_error(errno);
    return OutputFile(fd);
}

OutputFile::OutputFile(int fd) : fd_(fd), buffer_(new char[kOutputBufferSize]) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)),
      written_(other.written_),
      error_(std::move(other.error_)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        buffer_ = std::move(other.buffer_);
        used_ = std::exchange(other.used_, 0);
        written_ = other.written_;
        error_ = std::move(other.error_);
    }
    return *this;
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

void OutputFile::append_slow(std::string_view piece) {
    write_out_buffer();
    if (piece.size() >= kOutputBufferSize) {
        write_all(piece.data(), piece.size());
    } else if (!failed()) {
        std::copy_n(piece.data(), piece.size(), buffer_.get());
        used_ = piece.size();
    }
}

void OutputFile::write_out_buffer() {
    write_all(buffer_.get(), used_);
    // Emptied even after a failure: what follows a lost write is dropped.
    used_ = 0;
}

void OutputFile::write_all(const char* data, std::size_t size) {
    while (size > 0 && !failed()) {
        const ssize_t count = ::write(fd_, data, size);
        if (count < 0) {
            if (errno == EINTR) continue;
            error_ = os_error(errno);
            return;
        }
        data += count;
        size -= static_cast<std::size_t>(count);
        written_ += static_cast<std::uint64_t>(count);
    }
}

Result<std::uint64_t> OutputFile::finish() {
    write_out_buffer();
    if (fd_ >= 0) {
        // No retry on EINTR: the descriptor is released either way on Linux.
        const int closed = ::close(std::exchange(fd_, -1));
        if (closed != 0 && !failed()) error_ = os_error(errno);
    }
    if (failed()) return *error_;
    return written_;
}

}  // namespace brelt
