// bzip2 through libbz2.
#include <bzlib.h>

#include "output/compress/compressors.hpp"

namespace brelt::compress_detail {

namespace {

constexpr int kBlockSize = 9;  // x 100 KB
constexpr std::size_t kOutputStep = 64 * 1024;

class Bzip2Compressor final : public Compressor {
  public:
    ~Bzip2Compressor() override {
        if (started_) BZ2_bzCompressEnd(&stream_);
    }

    Result<bool> start() {
        const int status = BZ2_bzCompressInit(&stream_, kBlockSize, 0, 0);
        if (status == BZ_MEM_ERROR) return Error(ErrorKind::Memory, "bzip2: out of memory");
        if (status != BZ_OK) return Error(ErrorKind::Internal, "bzip2: cannot start");
        started_ = true;
        return true;
    }

    Result<bool> compress(std::span<const std::uint8_t> input, bool finish,
                          std::vector<std::uint8_t>& out) override {
        std::size_t used = out.size();
        stream_.next_in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(input.data()));
        stream_.avail_in = static_cast<unsigned>(input.size());  // the output buffer's at most
        for (;;) {
            stream_.next_out = reinterpret_cast<char*>(make_room(out, used, kOutputStep));
            stream_.avail_out = static_cast<unsigned>(kOutputStep);
            const int status = BZ2_bzCompress(&stream_, finish ? BZ_FINISH : BZ_RUN);
            used += kOutputStep - stream_.avail_out;
            if (status < 0) return Error(ErrorKind::Internal, "bzip2: compression failed");
            const bool done = finish ? status == BZ_STREAM_END : stream_.avail_in == 0;
            if (done) break;
        }
        out.resize(used);
        return true;
    }

  private:
    bz_stream stream_{};
    bool started_ = false;
};

}  // namespace

Result<std::unique_ptr<Compressor>> make_bzip2_compressor() {
    auto compressor = std::make_unique<Bzip2Compressor>();
    if (auto started = compressor->start(); !started.ok()) return std::move(started).error();
    return std::unique_ptr<Compressor>(std::move(compressor));
}

}  // namespace brelt::compress_detail
