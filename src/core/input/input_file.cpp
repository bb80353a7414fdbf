#include "input/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace brelt {

namespace {

Error os_error(int error_number) {
    return Error(ErrorKind::OS, os_error_message(error_number));
}

Error changed_size(std::uint64_t size, std::uint64_t read) {
    return Error(ErrorKind::OS, "the file changed size while it was read (" + std::to_string(size) +
                                    " bytes when opened, " + std::to_string(read) + " read)");
}

}  // namespace

std::string os_error_message(int error_number) {
    char text[256];
    // The GNU strerror_r may return a static string instead of filling `text`.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* description = strerror_r(error_number, text, sizeof text);
#else
    const char* description =
        strerror_r(error_number, text, sizeof text) == 0 ? text : "Unknown error";
#endif
    std::string message(description);
    message += " (os error ";
    message += std::to_string(error_number);
    message += ')';
    return message;
}

Result<InputFile> InputFile::open(const std::string& path) {
    if (std::string_view(path).find('\0') != std::string_view::npos) {
        return Error(ErrorKind::OS, "file name contained an unexpected NUL byte");
    }
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return os_error(errno);
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        const int error_number = errno;
        ::close(fd);
        return os_error(error_number);
    }
    const std::uint64_t size =
        S_ISREG(status.st_mode) ? static_cast<std::uint64_t>(status.st_size) : 0;
    return InputFile(fd, size);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      position_(other.position_),
      failure_(std::move(other.failure_)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        position_ = other.position_;
        failure_ = std::move(other.failure_);
    }
    return *this;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

Result<std::size_t> InputFile::read_some(std::span<std::uint8_t> out) {
    for (;;) {
        const ssize_t got = ::read(fd_, out.data(), out.size());
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return os_error(errno);
    }
}

Result<std::size_t> InputFile::read(std::span<std::uint8_t> out) {
    if (failure_) return *failure_;
    std::size_t filled = 0;
    while (filled < out.size()) {
        auto got = read_some(out.subspan(filled));
        if (!got.ok()) {
            failure_ = std::move(got).error();
            break;
        }
        if (*got == 0) {
            if (size_ != 0 && position_ != size_) failure_ = changed_size(size_, position_);
            break;
        }
        filled += *got;
        position_ += *got;
        if (size_ != 0 && position_ > size_) {
            // What lies past the size the file had is not handed out.
            failure_ = changed_size(size_, position_);
            filled -= static_cast<std::size_t>(position_ - size_);
            break;
        }
    }
    if (failure_ && filled == 0) return *failure_;
    return filled;
}

}  // namespace brelt
