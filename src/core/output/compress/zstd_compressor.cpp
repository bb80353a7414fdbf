// zstd through libzstd's streaming compressor.
#include <zstd.h>

#include "output/compress/compressors.hpp"

namespace brelt::compress_detail {

namespace {

constexpr int kLevel = 3;

class ZstdCompressor final : public Compressor {
  public:
    explicit ZstdCompressor(ZSTD_CCtx* context) : context_(context) {}
    ~ZstdCompressor() override { ZSTD_freeCCtx(context_); }

    Result<bool> compress(std::span<const std::uint8_t> input, bool finish,
                          std::vector<std::uint8_t>& out) override {
        const std::size_t step = ZSTD_CStreamOutSize();
        std::size_t used = out.size();
        ZSTD_inBuffer in{input.data(), input.size(), 0};
        for (;;) {
            ZSTD_outBuffer buffer{make_room(out, used, step), step, 0};
            const std::size_t left =
                ZSTD_compressStream2(context_, &buffer, &in, finish ? ZSTD_e_end : ZSTD_e_continue);
            used += buffer.pos;
            if (ZSTD_isError(left)) {
                return Error(ErrorKind::Internal, std::string("zstd: ") + ZSTD_getErrorName(left));
            }
            const bool done = finish ? left == 0 : in.pos == in.size;
            if (done) break;
        }
        out.resize(used);
        return true;
    }

  private:
    ZSTD_CCtx* context_;
};

}  // namespace

Result<std::unique_ptr<Compressor>> make_zstd_compressor() {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    if (context == nullptr) return Error(ErrorKind::Memory, "zstd: out of memory");
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, kLevel);
    // The frame records a checksum of its content, as the zstd tool's does.
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    return std::unique_ptr<Compressor>(std::make_unique<ZstdCompressor>(context));
}

}  // namespace brelt::compress_detail
