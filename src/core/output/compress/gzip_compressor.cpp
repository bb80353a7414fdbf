// gzip through zlib's deflate with a gzip wrapper.
#include <zlib.h>

#include <algorithm>
#include <climits>

#include "output/compress/compressors.hpp"

namespace brelt::compress_detail {

namespace {

constexpr int kLevel = 6;
constexpr std::size_t kOutputStep = 64 * 1024;

class GzipCompressor final : public Compressor {
  public:
    ~GzipCompressor() override {
        if (started_) deflateEnd(&stream_);
    }

    Result<bool> start() {
        // 16 + 15: a gzip wrapper around a 32 KiB window; memory level 8 is
        // zlib's default.
        const int status =
            deflateInit2(&stream_, kLevel, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (status == Z_MEM_ERROR) return Error(ErrorKind::Memory, "zlib: out of memory");
        if (status != Z_OK) return Error(ErrorKind::Internal, "zlib: cannot start deflate");
        started_ = true;
        return true;
    }

    Result<bool> compress(std::span<const std::uint8_t> input, bool finish,
                          std::vector<std::uint8_t>& out) override {
        std::size_t used = out.size();
        stream_.next_in = const_cast<Bytef*>(input.data());
        stream_.avail_in = static_cast<uInt>(input.size());  // the output buffer's size at most
        for (;;) {
            stream_.next_out = make_room(out, used, kOutputStep);
            stream_.avail_out = static_cast<uInt>(kOutputStep);
            const int status = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
            used += kOutputStep - stream_.avail_out;
            if (status == Z_STREAM_ERROR) return Error(ErrorKind::Internal, "zlib: deflate failed");
            const bool done =
                finish ? status == Z_STREAM_END : stream_.avail_in == 0 && stream_.avail_out != 0;
            if (done) break;
        }
        out.resize(used);
        return true;
    }

  private:
    z_stream stream_{};
    bool started_ = false;
};

}  // namespace

Result<std::unique_ptr<Compressor>> make_gzip_compressor() {
    auto compressor = std::make_unique<GzipCompressor>();
    if (auto started = compressor->start(); !started.ok()) return std::move(started).error();
    return std::unique_ptr<Compressor>(std::move(compressor));
}

}  // namespace brelt::compress_detail
