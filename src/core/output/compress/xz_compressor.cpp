// xz through liblzma's easy encoder, with a CRC64 check as the xz tool writes.
#include <lzma.h>

#include "output/compress/compressors.hpp"

namespace brelt::compress_detail {

namespace {

constexpr std::uint32_t kPreset = 6;
constexpr std::size_t kOutputStep = 64 * 1024;

class XzCompressor final : public Compressor {
  public:
    ~XzCompressor() override { lzma_end(&stream_); }

    Result<bool> start() {
        const lzma_ret status = lzma_easy_encoder(&stream_, kPreset, LZMA_CHECK_CRC64);
        if (status == LZMA_MEM_ERROR) return Error(ErrorKind::Memory, "xz: out of memory");
        if (status != LZMA_OK) return Error(ErrorKind::Internal, "xz: cannot start");
        return true;
    }

    Result<bool> compress(std::span<const std::uint8_t> input, bool finish,
                          std::vector<std::uint8_t>& out) override {
        std::size_t used = out.size();
        stream_.next_in = input.data();
        stream_.avail_in = input.size();
        for (;;) {
            stream_.next_out = make_room(out, used, kOutputStep);
            stream_.avail_out = kOutputStep;
            const lzma_ret status = lzma_code(&stream_, finish ? LZMA_FINISH : LZMA_RUN);
            used += kOutputStep - stream_.avail_out;
            if (status == LZMA_MEM_ERROR) return Error(ErrorKind::Memory, "xz: out of memory");
            if (status != LZMA_OK && status != LZMA_STREAM_END) {
                return Error(ErrorKind::Internal, "xz: compression failed");
            }
            const bool done = finish ? status == LZMA_STREAM_END : stream_.avail_in == 0;
            if (done) break;
        }
        out.resize(used);
        return true;
    }

  private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
};

}  // namespace

Result<std::unique_ptr<Compressor>> make_xz_compressor() {
    auto compressor = std::make_unique<XzCompressor>();
    if (auto started = compressor->start(); !started.ok()) return std::move(started).error();
    return std::unique_ptr<Compressor>(std::move(compressor));
}

}  // namespace brelt::compress_detail
