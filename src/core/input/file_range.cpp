#include "input/file_range.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

namespace brelt {

namespace {

Error os_error(int error_number) {
    return Error(ErrorKind::OS, os_error_message(error_number));
}

Result<FileIdentity> identity_of(const struct stat& status) {
    if (!S_ISREG(status.st_mode)) {
        return Error(ErrorKind::Value, "only a regular file can be partitioned");
    }
    return FileIdentity{
        static_cast<std::uint64_t>(status.st_size),
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

std::string describe(const FileIdentity& identity) {
    return std::to_string(identity.size) + " bytes, modified at " +
           std::to_string(identity.modified_ns) + " ns";
}

}  // namespace

Error file_changed_error(const std::string& path, const FileIdentity& then,
                         const FileIdentity& now) {
    return Error(ErrorKind::Value, path + " changed since it was partitioned (then " +
                                       describe(then) + ", now " + describe(now) + ")");
}

namespace {

class OpenFile {
  public:
    explicit OpenFile(int fd) : fd_(fd) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

Result<FileIdentity> identify_file(const std::string& path) {
    if (std::string_view(path).find('\0') != std::string_view::npos) {
        return Error(ErrorKind::OS, "file name contained an unexpected NUL byte");
    }
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return os_error(errno);
    return identity_of(status);
}

Result<InputBytes> load_file_range(const std::string& path, std::uint64_t offset,
                                   std::uint64_t size, const FileIdentity& expected) {
    if (std::string_view(path).find('\0') != std::string_view::npos) {
        return Error(ErrorKind::OS, "file name contained an unexpected NUL byte");
    }
    int raw_fd;
    do {
        raw_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (raw_fd < 0 && errno == EINTR);
    if (raw_fd < 0) return os_error(errno);
    OpenFile file(raw_fd);
    struct stat status;
    if (::fstat(file.get(), &status) != 0) return os_error(errno);
    auto identity = identity_of(status);
    if (!identity.ok()) return std::move(identity).error();
    if (!(*identity == expected)) return file_changed_error(path, expected, *identity);
    if (offset > expected.size || size > expected.size - offset) {
        return Error(ErrorKind::Value, "a partition lies outside its file");
    }
    // A whole large file is mapped, as load_input_file maps it: a read that
    // stops early (max_rows) touches only the pages it needs.
    if (offset == 0 && size == expected.size && size >= kMapThreshold) {
        void* address =
            ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, file.get(), 0);
        if (address == MAP_FAILED) return os_error(errno);
        return InputBytes::from_mapping(static_cast<const std::uint8_t*>(address),
                                        static_cast<std::size_t>(size));
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t got = ::pread(file.get(), buffer.data() + filled, buffer.size() - filled,
                                    static_cast<off_t>(offset + filled));
        if (got < 0) {
            if (errno == EINTR) continue;
            return os_error(errno);
        }
        // The file shrank while being read.
        if (got == 0) {
            return Error(ErrorKind::Value, path +
                                               " changed since it was partitioned (it is "
                                               "shorter than when planned)");
        }
        filled += static_cast<std::size_t>(got);
    }
    return InputBytes::from_buffer(std::move(buffer));
}

}  // namespace brelt
