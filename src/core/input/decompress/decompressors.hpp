// The makers of each format's decompressor, behind Decompressor::create.
#pragma once

#include <memory>

#include "input/decompress/decompressor.hpp"

namespace brelt::decompress_detail {

Result<std::unique_ptr<Decompressor>> make_gzip_decompressor();
Result<std::unique_ptr<Decompressor>> make_zstd_decompressor();
Result<std::unique_ptr<Decompressor>> make_bzip2_decompressor();
Result<std::unique_ptr<Decompressor>> make_xz_decompressor();

}  // namespace brelt::decompress_detail
