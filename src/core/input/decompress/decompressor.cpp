#include "input/decompress/decompressor.hpp"

#include "input/decompress/decompressors.hpp"

namespace brelt {

Result<std::unique_ptr<Decompressor>> Decompressor::create(Compression format) {
    using namespace decompress_detail;
    switch (format) {
        case Compression::Gzip:
            return make_gzip_decompressor();
        case Compression::Zstd:
            return make_zstd_decompressor();
        case Compression::Bzip2:
            return make_bzip2_decompressor();
        case Compression::Xz:
            return make_xz_decompressor();
        case Compression::None:
            break;
    }
    return Error(ErrorKind::Internal, "no decompressor for uncompressed input");
}

}  // namespace brelt
