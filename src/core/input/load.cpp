#include "input/load.hpp"

#include <algorithm>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace brelt {

namespace {

std::size_t page_size() {
    static const std::size_t size = [] {
        long value = sysconf(_SC_PAGESIZE);
        return value > 0 ? static_cast<std::size_t>(value) : std::size_t{4096};
    }();
    return size;
}

// Closes the descriptor on every path out of load_input_file.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

Error os_error(int error_number) {
    return Error(ErrorKind::OS, os_error_message(error_number));
}

Result<InputBytes> read_whole(int fd, std::size_t expected_size) {
    std::vector<std::uint8_t> buffer(expected_size);
    std::size_t filled = 0;
    for (;;) {
        if (filled == buffer.size()) {
            // The file may have grown since fstat; keep reading to its end.
            buffer.resize(buffer.size() < 4096 ? 4096 : buffer.size() * 2);
        }
        ssize_t got = ::read(fd, buffer.data() + filled, buffer.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            return os_error(errno);
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    buffer.resize(filled);
    return InputBytes::from_buffer(std::move(buffer));
}

}  // namespace

InputBytes InputBytes::from_buffer(std::vector<std::uint8_t> buffer) {
    InputBytes input;
    input.buffer_ = std::move(buffer);
    input.data_ = input.buffer_.data();
    input.size_ = input.buffer_.size();
    return input;
}

InputBytes InputBytes::from_mapping(const std::uint8_t* address, std::size_t size) {
    InputBytes input;
    input.data_ = address;
    input.size_ = size;
    input.mapped_ = true;
    return input;
}

InputBytes::InputBytes(InputBytes&& other) noexcept {
    *this = std::move(other);
}

InputBytes& InputBytes::operator=(InputBytes&& other) noexcept {
    if (this == &other) return *this;
    release();
    buffer_ = std::move(other.buffer_);
    mapped_ = other.mapped_;
    size_ = other.size_;
    data_ = mapped_ ? other.data_ : buffer_.data();
    other.data_ = nullptr;
    other.size_ = 0;
    other.mapped_ = false;
    return *this;
}

InputBytes::~InputBytes() {
    release();
}

void InputBytes::drop_pages_before(std::size_t offset) const {
    if (!mapped_ || data_ == nullptr) return;
    const std::size_t bytes = std::min(offset, size_) / page_size() * page_size();
    if (bytes != 0) ::madvise(const_cast<std::uint8_t*>(data_), bytes, MADV_DONTNEED);
}

void InputBytes::release() {
    if (mapped_ && data_ != nullptr) {
        // munmap works on whole pages.
        std::size_t pages = (size_ + page_size() - 1) / page_size();
        ::munmap(const_cast<std::uint8_t*>(data_), pages * page_size());
    }
    buffer_.clear();
    buffer_.shrink_to_fit();
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

Result<InputBytes> load_input_file(const std::string& path) {
    if (std::string_view(path).find('\0') != std::string_view::npos) {
        return Error(ErrorKind::OS, "file name contained an unexpected NUL byte");
    }
    int raw_fd;
    do {
        raw_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (raw_fd < 0 && errno == EINTR);
    if (raw_fd < 0) return os_error(errno);
    FileDescriptor fd(raw_fd);

    struct stat status;
    if (::fstat(fd.get(), &status) != 0) return os_error(errno);
    auto size = static_cast<std::size_t>(status.st_size);

    // Only regular files can be mapped; anything else (a pipe, a device, or a
    // directory, whose read fails with EISDIR) goes through read().
    if (size < kMapThreshold || !S_ISREG(status.st_mode)) return read_whole(fd.get(), size);

    void* address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd.get(), 0);
    if (address == MAP_FAILED) return os_error(errno);
    return InputBytes::from_mapping(static_cast<const std::uint8_t*>(address), size);
}

}  // namespace brelt
