#include "output/compress/compressor.hpp"

#include <algorithm>

#include "output/compress/compressors.hpp"

namespace brelt {

namespace compress_detail {

std::uint8_t* make_room(std::vector<std::uint8_t>& out, std::size_t used, std::size_t extra) {
    if (out.size() < used + extra) out.resize(std::max(used + extra, out.size() * 2));
    return out.data() + used;
}

}  // namespace compress_detail

Result<std::unique_ptr<Compressor>> Compressor::create(Compression format) {
    using namespace compress_detail;
    switch (format) {
        case Compression::Gzip:
            return make_gzip_compressor();
        case Compression::Zstd:
            return make_zstd_compressor();
        case Compression::Bzip2:
            return make_bzip2_compressor();
        case Compression::Xz:
            return make_xz_compressor();
        case Compression::None:
            break;
    }
    return Error(ErrorKind::Internal, "no compressor for uncompressed output");
}

}  // namespace brelt
