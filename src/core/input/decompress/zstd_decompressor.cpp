// zstd through libzstd's streaming decoder, which goes on from one frame to
// the next (skippable frames included) by itself.
#include <zstd.h>
#include <zstd_errors.h>

#include "input/decompress/decompressors.hpp"

namespace brelt::decompress_detail {

namespace {

class ZstdDecompressor final : public Decompressor {
  public:
    explicit ZstdDecompressor(ZSTD_DCtx* context) : context_(context) {}
    ~ZstdDecompressor() override { ZSTD_freeDCtx(context_); }

    Result<Step> step(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                      bool) override {
        ZSTD_inBuffer in{input.data(), input.size(), 0};
        ZSTD_outBuffer out{output.data(), output.size(), 0};
        const std::size_t status = ZSTD_decompressStream(context_, &out, &in);
        Step result;
        result.consumed = in.pos;
        result.produced = out.pos;
        if (ZSTD_isError(status)) {
            if (ZSTD_getErrorCode(status) == ZSTD_error_memory_allocation) {
                return Error(ErrorKind::Memory, "zstd: out of memory");
            }
            result.corrupt = ZSTD_getErrorName(status);
        } else {
            // 0: the frame is decoded and all of it handed out.
            result.member_end = status == 0;
        }
        return result;
    }

    Result<bool> restart() override { return true; }

  private:
    ZSTD_DCtx* context_;
};

}  // namespace

Result<std::unique_ptr<Decompressor>> make_zstd_decompressor() {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    if (context == nullptr) return Error(ErrorKind::Memory, "zstd: out of memory");
    return std::unique_ptr<Decompressor>(std::make_unique<ZstdDecompressor>(context));
}

}  // namespace brelt::decompress_detail
