// A file in the system's temporary directory, removed when the test ends.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace brelt::testing {

class TempFile {
  public:
    explicit TempFile(std::string_view contents) {
        char pattern[] = "/tmp/brelt-test-XXXXXX";
        const int fd = ::mkstemp(pattern);
        path_ = pattern;
        for (std::size_t written = 0; fd >= 0 && written < contents.size();) {
            const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        if (fd >= 0) ::close(fd);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() { std::remove(path_.c_str()); }

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace brelt::testing
