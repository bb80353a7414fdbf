#include "input/decompress/compression.hpp"

#include <algorithm>
#include <initializer_list>

namespace brelt {

namespace {

bool starts_with(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic,
                 std::size_t at = 0) {
    return bytes.size() >= at + magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

bool ends_with_ignoring_case(std::string_view text, std::string_view lower_suffix) {
    if (text.size() < lower_suffix.size()) return false;
    const std::string_view end = text.substr(text.size() - lower_suffix.size());
    return std::equal(end.begin(), end.end(), lower_suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
    });
}

}  // namespace

Compression detect_compression(std::span<const std::uint8_t> start) {
    if (starts_with(start, {0x1F, 0x8B, 0x08})) return Compression::Gzip;
    if (starts_with(start, {0x28, 0xB5, 0x2F, 0xFD})) return Compression::Zstd;
    if (start.size() >= 4 && (start[0] & 0xF0) == 0x50 &&
        starts_with(start, {0x2A, 0x4D, 0x18}, 1)) {
        return Compression::Zstd;
    }
    if (starts_with(start, {'B', 'Z', 'h'}) && start.size() >= 4 && start[3] >= '1' &&
        start[3] <= '9' &&
        (starts_with(start, {0x31, 0x41, 0x59, 0x26, 0x53, 0x59}, 4) ||
         starts_with(start, {0x17, 0x72, 0x45, 0x38, 0x50, 0x90}, 4))) {
        return Compression::Bzip2;
    }
    if (starts_with(start, {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00})) return Compression::Xz;
    return Compression::None;
}

std::string_view compression_name(Compression compression) {
    switch (compression) {
        case Compression::Gzip:
            return "gzip";
        case Compression::Zstd:
            return "zstd";
        case Compression::Bzip2:
            return "bzip2";
        case Compression::Xz:
            return "xz";
        case Compression::None:
            break;
    }
    return "none";
}

Compression compression_for_name(std::string_view path) {
    if (ends_with_ignoring_case(path, ".gz")) return Compression::Gzip;
    if (ends_with_ignoring_case(path, ".zst")) return Compression::Zstd;
    if (ends_with_ignoring_case(path, ".bz2")) return Compression::Bzip2;
    if (ends_with_ignoring_case(path, ".xz")) return Compression::Xz;
    return Compression::None;
}

}  // namespace brelt
