// The decompressors on arbitrary bytes, through the reader every read uses
// (a file, opened by its path). The first byte picks a format and a way:
//  - the rest, behind that format's magic bytes, as a (mostly corrupt)
//    stream: reading it ends in its content or in an error naming the format,
//    never in a crash or a read out of bounds;
//  - the rest compressed by our own writer, in one or two members, read back:
//    it is the rest again, and cut short anywhere but at a member's end it is
//    an error naming the format.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "input/byte_reader.hpp"
#include "input/decompress/compression.hpp"
#include "output/compress/compressor.hpp"

namespace {

using brelt::Compression;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "decompress_fuzz: %s\n", what);
        std::abort();
    }
}

constexpr std::size_t kEnough = 1 << 20;

constexpr Compression kFormats[] = {Compression::Gzip, Compression::Zstd, Compression::Bzip2,
                                    Compression::Xz};

std::vector<std::uint8_t> magic(Compression format) {
    switch (format) {
        case Compression::Gzip:
            return {0x1F, 0x8B, 0x08};
        case Compression::Zstd:
            return {0x28, 0xB5, 0x2F, 0xFD};
        case Compression::Bzip2:
            return {'B', 'Z', 'h', '9', 0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
        default:
            return {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00};
    }
}

// The content of a file holding `bytes`, or the error's message.
struct Read {
    bool ok = false;
    std::string content;
    std::string error;
};

Read read_file(std::span<const std::uint8_t> bytes) {
    const int fd = memfd_create("decompress_fuzz", 0);
    check(fd >= 0, "memfd_create");
    check(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()), "write");
    Read read;
    auto reader = brelt::open_byte_reader("/proc/self/fd/" + std::to_string(fd));
    if (!reader.ok()) {
        read.error = reader.error().message;
    } else {
        std::uint8_t piece[4096];
        for (;;) {
            auto got = (*reader)->read(piece);
            if (!got.ok()) {
                read.error = got.error().message;
                break;
            }
            // A small stream may stand for a great deal: enough is enough.
            if (*got == 0 || read.content.size() > kEnough) {
                read.ok = true;
                break;
            }
            read.content.append(reinterpret_cast<const char*>(piece), *got);
        }
    }
    ::close(fd);
    return read;
}

std::vector<std::uint8_t> compress(Compression format, std::span<const std::uint8_t> bytes) {
    auto compressor = brelt::Compressor::create(format);
    check(compressor.ok(), "compressor");
    std::vector<std::uint8_t> out;
    check((*compressor)->compress(bytes, true, out).ok(), "compress");
    return out;
}

bool names_format(const std::string& error, Compression format) {
    return error.find(std::string(brelt::compression_name(format)) + " data") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Compression format = kFormats[data[0] % 4];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if ((data[0] & 4) == 0) {
        std::vector<std::uint8_t> stream = magic(format);
        stream.insert(stream.end(), rest.begin(), rest.end());
        const Read read = read_file(stream);
        check(read.ok || names_format(read.error, format), "an error that does not name it");
        return 0;
    }
    const std::size_t half = rest.size() / 2;
    std::vector<std::uint8_t> stream = compress(format, rest.first(half));
    const std::size_t member_end = stream.size();
    const std::vector<std::uint8_t> second = compress(format, rest.subspan(half));
    stream.insert(stream.end(), second.begin(), second.end());
    const Read whole = read_file(stream);
    check(whole.ok && whole.content == std::string(rest.begin(), rest.end()), "round trip");
    const std::size_t cut = (data[0] >> 3) * stream.size() / 32;
    if (cut != 0 && cut != member_end && cut < stream.size()) {
        const Read cut_short = read_file(std::span(stream).first(cut));
        check(!cut_short.ok && names_format(cut_short.error, format), "cut short yet read");
    }
    return 0;
}
