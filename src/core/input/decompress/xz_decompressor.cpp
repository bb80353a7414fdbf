// xz through liblzma, which reads concatenated streams and the padding
// between them itself; it only needs to be told where the input ends.
#include <lzma.h>

#include <cstdint>

#include "input/decompress/decompressors.hpp"

namespace brelt::decompress_detail {

namespace {

const char* describe(lzma_ret status) {
    switch (status) {
        case LZMA_FORMAT_ERROR:
            return "not an xz stream";
        case LZMA_OPTIONS_ERROR:
            return "unsupported options";
        case LZMA_BUF_ERROR:
            return "the data ends too soon";
        case LZMA_MEMLIMIT_ERROR:
            return "more memory needed than allowed";
        default:
            return "data integrity error";
    }
}

class XzDecompressor final : public Decompressor {
  public:
    ~XzDecompressor() override { lzma_end(&stream_); }

    Result<bool> start() {
        // No memory limit of its own: the allocation fails instead.
        const lzma_ret status = lzma_stream_decoder(&stream_, UINT64_MAX, LZMA_CONCATENATED);
        if (status == LZMA_MEM_ERROR) return Error(ErrorKind::Memory, "xz: out of memory");
        if (status != LZMA_OK) return Error(ErrorKind::Internal, "xz: cannot start the decoder");
        return true;
    }

    Result<Step> step(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                      bool input_ends) override {
        stream_.next_in = input.data();
        stream_.avail_in = input.size();
        stream_.next_out = output.data();
        stream_.avail_out = output.size();
        const lzma_ret status = lzma_code(&stream_, input_ends ? LZMA_FINISH : LZMA_RUN);
        Step result;
        result.consumed = static_cast<std::size_t>(stream_.next_in - input.data());
        result.produced = static_cast<std::size_t>(stream_.next_out - output.data());
        switch (status) {
            case LZMA_OK:
                break;
            case LZMA_STREAM_END:
                result.member_end = true;
                break;
            case LZMA_MEM_ERROR:
                return Error(ErrorKind::Memory, "xz: out of memory");
            case LZMA_BUF_ERROR:
                // No progress: the caller sees it, and knows whether input remains.
                break;
            default:
                result.corrupt = describe(status);
                break;
        }
        return result;
    }

    // Never called: the one member ends with the input.
    Result<bool> restart() override { return true; }

  private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
};

}  // namespace

Result<std::unique_ptr<Decompressor>> make_xz_decompressor() {
    auto decompressor = std::make_unique<XzDecompressor>();
    if (auto started = decompressor->start(); !started.ok()) return std::move(started).error();
    return std::unique_ptr<Decompressor>(std::move(decompressor));
}

}  // namespace brelt::decompress_detail
