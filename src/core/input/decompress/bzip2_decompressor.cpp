// bzip2 through libbz2; a file of several streams (as parallel compressors
// write) is read on with a fresh decoder for each.
#include <bzlib.h>

#include <algorithm>
#include <climits>

#include "input/decompress/decompressors.hpp"

namespace brelt::decompress_detail {

namespace {

class Bzip2Decompressor final : public Decompressor {
  public:
    ~Bzip2Decompressor() override { end(); }

    Result<bool> start() {
        stream_ = bz_stream{};
        const int status = BZ2_bzDecompressInit(&stream_, 0, 0);
        if (status == BZ_MEM_ERROR) return Error(ErrorKind::Memory, "bzip2: out of memory");
        if (status != BZ_OK) return Error(ErrorKind::Internal, "bzip2: cannot start the decoder");
        started_ = true;
        return true;
    }

    Result<Step> step(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                      bool) override {
        stream_.next_in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(input.data()));
        stream_.avail_in = static_cast<unsigned>(std::min<std::size_t>(input.size(), UINT_MAX));
        stream_.next_out = reinterpret_cast<char*>(output.data());
        stream_.avail_out = static_cast<unsigned>(std::min<std::size_t>(output.size(), UINT_MAX));
        const int status = BZ2_bzDecompress(&stream_);
        Step result;
        result.consumed = static_cast<std::size_t>(
            reinterpret_cast<const std::uint8_t*>(stream_.next_in) - input.data());
        result.produced = static_cast<std::size_t>(
            reinterpret_cast<std::uint8_t*>(stream_.next_out) - output.data());
        switch (status) {
            case BZ_OK:
                break;
            case BZ_STREAM_END:
                result.member_end = true;
                break;
            case BZ_MEM_ERROR:
                return Error(ErrorKind::Memory, "bzip2: out of memory");
            case BZ_DATA_ERROR_MAGIC:
                result.corrupt = "not a bzip2 stream";
                break;
            default:
                result.corrupt = "data integrity error";
                break;
        }
        return result;
    }

    Result<bool> restart() override {
        end();
        return start();
    }

  private:
    void end() {
        if (started_) BZ2_bzDecompressEnd(&stream_);
        started_ = false;
    }

    bz_stream stream_{};
    bool started_ = false;
};

}  // namespace

Result<std::unique_ptr<Decompressor>> make_bzip2_decompressor() {
    auto decompressor = std::make_unique<Bzip2Decompressor>();
    if (auto started = decompressor->start(); !started.ok()) return std::move(started).error();
    return std::unique_ptr<Decompressor>(std::move(decompressor));
}

}  // namespace brelt::decompress_detail
