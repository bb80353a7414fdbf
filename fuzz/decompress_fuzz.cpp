// The decompressors on arbitrary bytes, through the reader every read uses
// (a file, opened by its path). The first byte picks a format; the rest,
// behind that format's magic bytes, is a (mostly corrupt) stream: reading it
// ends in its content or in an error naming the format, never in a crash or a
// read out of bounds. (Whole, multi-member and cut-short streams of our own
// writer are read back in tests/python/test_files.py.)
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/byte_reader.hpp"
#include "input/decompress/compression.hpp"

namespace {

using brelt::Compression;
using Bytes = std::vector<std::uint8_t>;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "decompress_fuzz: %s\n", what);
        std::abort();
    }
}

constexpr Compression kFormats[] = {Compression::Gzip, Compression::Zstd, Compression::Bzip2,
                                    Compression::Xz};
constexpr std::string_view kMagic[] = {
    "\x1F\x8B\x08", "\x28\xB5\x2F\xFD", "BZh91AY&SY", {"\xFD\x37\x7A\x58\x5A\x00", 6}};

// The content of a file holding `bytes` (its first MiB or so: a small stream
// may stand for a great deal), or the error.
brelt::Result<std::string> read_file(std::span<const std::uint8_t> bytes) {
    const int fd = memfd_create("decompress_fuzz", 0);
    check(fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()), "memfd");
    auto reader = brelt::open_byte_reader("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);  // the reader opened the file again
    if (!reader.ok()) return std::move(reader).error();
    std::string content;
    std::uint8_t piece[4096];
    while (content.size() <= (1 << 20)) {
        auto got = (*reader)->read(piece);
        if (!got.ok()) return std::move(got).error();
        if (*got == 0) break;
        content.append(reinterpret_cast<const char*>(piece), *got);
    }
    return content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Compression format = kFormats[data[0] % 4];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    Bytes stream(kMagic[data[0] % 4].begin(), kMagic[data[0] % 4].end());
    stream.insert(stream.end(), rest.begin(), rest.end());
    const auto read = read_file(stream);
    const std::string name = std::string(brelt::compression_name(format)) + " data";
    check(read.ok() || read.error().message.find(name) != std::string::npos, "unnamed format");
    return 0;
}
