// gzip through zlib's inflate, gzip wrapper only.
#include <zlib.h>

#include <algorithm>
#include <climits>

#include "input/decompress/decompressors.hpp"

namespace brelt::decompress_detail {

namespace {

class GzipDecompressor final : public Decompressor {
  public:
    GzipDecompressor() = default;
    ~GzipDecompressor() override {
        if (started_) inflateEnd(&stream_);
    }

    Result<bool> start() {
        // 16 + 15: a gzip wrapper around a window of up to 32 KiB.
        if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) {
            return Error(ErrorKind::Memory, "zlib: cannot start inflate");
        }
        started_ = true;
        return true;
    }

    Result<Step> step(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                      bool) override {
        // zlib counts in 32-bit units.
        stream_.next_in = const_cast<Bytef*>(input.data());
        stream_.avail_in = static_cast<uInt>(std::min<std::size_t>(input.size(), UINT_MAX));
        stream_.next_out = output.data();
        stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(output.size(), UINT_MAX));
        const int status = inflate(&stream_, Z_NO_FLUSH);
        Step result;
        result.consumed = static_cast<std::size_t>(stream_.next_in - input.data());
        result.produced = static_cast<std::size_t>(stream_.next_out - output.data());
        switch (status) {
            case Z_OK:
            case Z_BUF_ERROR:  // no progress possible with these buffers
                break;
            case Z_STREAM_END:
                result.member_end = true;
                break;
            case Z_MEM_ERROR:
                return Error(ErrorKind::Memory, "zlib: out of memory");
            case Z_NEED_DICT:
                result.corrupt = "a preset dictionary is needed";
                break;
            default:
                result.corrupt = stream_.msg != nullptr ? stream_.msg : "invalid data";
                break;
        }
        return result;
    }

    Result<bool> restart() override {
        if (inflateReset(&stream_) != Z_OK) return Error(ErrorKind::Internal, "zlib: reset failed");
        return true;
    }

  private:
    z_stream stream_{};
    bool started_ = false;
};

}  // namespace

Result<std::unique_ptr<Decompressor>> make_gzip_decompressor() {
    auto decompressor = std::make_unique<GzipDecompressor>();
    if (auto started = decompressor->start(); !started.ok()) return std::move(started).error();
    return std::unique_ptr<Decompressor>(std::move(decompressor));
}

}  // namespace brelt::decompress_detail
