// The makers of each format's compressor, behind Compressor::create.
#pragma once

#include <memory>

#include "output/compress/compressor.hpp"

namespace brelt::compress_detail {

Result<std::unique_ptr<Compressor>> make_gzip_compressor();
Result<std::unique_ptr<Compressor>> make_zstd_compressor();
Result<std::unique_ptr<Compressor>> make_bzip2_compressor();
Result<std::unique_ptr<Compressor>> make_xz_compressor();

// Room for at least `extra` more bytes at the end of `out`, grown in large
// steps; returns where they begin.
std::uint8_t* make_room(std::vector<std::uint8_t>& out, std::size_t used, std::size_t extra);

}  // namespace brelt::compress_detail
