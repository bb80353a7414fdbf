#include "input/file_range.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "input/input_file.hpp"  // os_error_message

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
    int release() { return std::exchange(fd_, -1); }

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

namespace {

// Bytes [offset, offset + size) of an open plain file, by pread.
class PartReader final : public ByteReader {
  public:
    PartReader(int fd, std::string path, std::uint64_t offset, std::uint64_t size,
               std::uint64_t file_size)
        : file_(fd), path_(std::move(path)), offset_(offset), size_(size), file_size_(file_size) {}

    std::optional<Error> fill(std::span<std::uint8_t> out, std::size_t& filled) override {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), size_ - read_));
        while (filled < wanted) {
            const ssize_t got = ::pread(file_.get(), out.data() + filled, wanted - filled,
                                        static_cast<off_t>(offset_ + read_ + filled));
            if (got < 0) {
                if (errno == EINTR) continue;
                read_ += filled;
                return os_error(errno);
            }
            if (got == 0) {
                read_ += filled;
                return Error(ErrorKind::Value, path_ +
                                                   " changed since it was partitioned (it is "
                                                   "shorter than when planned)");
            }
            filled += static_cast<std::size_t>(got);
        }
        read_ += filled;
        return std::nullopt;
    }

    Compression compression() const override { return Compression::None; }
    std::uint64_t file_position() const override { return offset_ + read_; }
    std::uint64_t file_size() const override { return file_size_; }

  private:
    OpenFile file_;
    std::string path_;
    std::uint64_t offset_;
    std::uint64_t size_;
    std::uint64_t file_size_;
    std::uint64_t read_ = 0;
};

}  // namespace

Result<std::unique_ptr<ByteReader>> open_file_part(const std::string& path, std::uint64_t offset,
                                                   std::uint64_t size,
                                                   const FileIdentity& expected) {
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
    // A whole file is read as any read reads it, decompressed when it is
    // compressed (such a file is always one partition).
    if (offset == 0 && size == expected.size) return open_byte_reader(path);
    return std::unique_ptr<ByteReader>(
        std::make_unique<PartReader>(file.release(), path, offset, size, expected.size));
}

}  // namespace brelt
