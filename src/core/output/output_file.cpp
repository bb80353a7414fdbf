#include "output/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <utility>

#include "input/decompress/compression.hpp"
#include "input/input_file.hpp"  // os_error_message

namespace brelt {

namespace {

Error os_error(int error_number) {
    return Error(ErrorKind::OS, os_error_message(error_number));
}

// Runs `call` between the caller's before() and after(); errno as the call
// left it, whatever after() does to it, goes to `error_number`.
template <class Call>
auto around_call(BlockingCalls* around, int& error_number, Call&& call) {
    if (around != nullptr) around->before();
    const auto result = call();
    error_number = errno;
    if (around != nullptr) around->after();
    return result;
}

}  // namespace

Result<OutputFile> OutputFile::create(const std::string& path, BlockingCalls* around) {
    if (std::string_view(path).find('\0') != std::string_view::npos) {
        return Error(ErrorKind::OS, "file name contained an unexpected NUL byte");
    }
    int fd;
    int error_number;
    do {
        fd = around_call(around, error_number, [&] {
            return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        });
    } while (fd < 0 && error_number == EINTR);
    if (fd < 0) return os_error(error_number);
    std::unique_ptr<Compressor> compressor;
    if (const Compression format = compression_for_name(path); format != Compression::None) {
        auto made = Compressor::create(format);
        if (!made.ok()) {
            ::close(fd);
            return std::move(made).error();
        }
        compressor = std::move(*made);
    }
    return OutputFile(fd, around, std::move(compressor));
}

OutputFile::OutputFile(int fd, BlockingCalls* around, std::unique_ptr<Compressor> compressor)
    : fd_(fd),
      around_(around),
      compressor_(std::move(compressor)),
      buffer_(new char[kOutputBufferSize]) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      around_(other.around_),
      compressor_(std::move(other.compressor_)),
      compressed_(std::move(other.compressed_)),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)),
      written_(other.written_),
      error_(std::move(other.error_)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        around_ = other.around_;
        compressor_ = std::move(other.compressor_);
        compressed_ = std::move(other.compressed_);
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
        write_out(piece.data(), piece.size(), false);
    } else if (!failed()) {
        std::copy_n(piece.data(), piece.size(), buffer_.get());
        used_ = piece.size();
    }
}

void OutputFile::write_out_buffer(bool last) {
    write_out(buffer_.get(), used_, last);
    // Emptied even after a failure: what follows a lost write is dropped.
    used_ = 0;
}

void OutputFile::write_out(const char* data, std::size_t size, bool last) {
    if (compressor_ == nullptr) return write_all(data, size);
    if (failed()) return;
    compressed_.clear();
    // Compressing touches nothing of the caller's; let it run meanwhile.
    if (around_ != nullptr) around_->before();
    Result<bool> done = true;
    try {
        done = compressor_->compress({reinterpret_cast<const std::uint8_t*>(data), size}, last,
                                     compressed_);
    } catch (const std::bad_alloc&) {
        done = Error(ErrorKind::Memory, "out of memory while compressing");
    }
    if (around_ != nullptr) around_->after();
    if (!done.ok()) {
        error_ = std::move(done).error();
        return;
    }
    write_all(reinterpret_cast<const char*>(compressed_.data()), compressed_.size());
}

void OutputFile::write_all(const char* data, std::size_t size) {
    while (size > 0 && !failed()) {
        int error_number;
        const ssize_t count =
            around_call(around_, error_number, [&] { return ::write(fd_, data, size); });
        if (count < 0) {
            if (error_number == EINTR) continue;
            error_ = os_error(error_number);
            return;
        }
        data += count;
        size -= static_cast<std::size_t>(count);
        written_ += static_cast<std::uint64_t>(count);
    }
}

Result<std::uint64_t> OutputFile::finish() {
    write_out_buffer(true);
    if (fd_ >= 0) {
        // No retry on EINTR: the descriptor is released either way on Linux.
        int error_number;
        const int closed =
            around_call(around_, error_number, [&] { return ::close(std::exchange(fd_, -1)); });
        if (closed != 0 && !failed()) error_ = os_error(error_number);
    }
    if (failed()) return *error_;
    return written_;
}

}  // namespace brelt
