// The compressed formats a file may be in, known by their first bytes when
// read and by the file name's extension when written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace brelt {

enum class Compression : std::uint8_t { None, Gzip, Zstd, Bzip2, Xz };

// Enough of a file's start for detect_compression to judge.
inline constexpr std::size_t kCompressionMagicBytes = 10;

// The format whose magic bytes `start` begins with, None for anything else
// (the file is text). The magic bytes are checked in full, so no plausible
// CSV text is taken for a compressed file: gzip 1F 8B 08; zstd 28 B5 2F FD or
// a skippable frame's 5x 2A 4D 18; bzip2 "BZh", a level digit and the magic
// of a block or of the end of an empty stream; xz FD 37 7A 58 5A 00.
Compression detect_compression(std::span<const std::uint8_t> start);

// "gzip", "zstd", "bzip2", "xz" ("none" for None).
std::string_view compression_name(Compression compression);

// The format a file name asks for: ".gz", ".zst", ".bz2" or ".xz" at its end
// (letters in any case), else None.
Compression compression_for_name(std::string_view path);

}  // namespace brelt
