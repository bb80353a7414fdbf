#include "input/byte_reader.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "input/decompress/decompressor.hpp"
#include "input/input_file.hpp"

namespace brelt {

namespace {

// What is read before the format is judged; the reader hands it out first.
constexpr std::size_t kHeadBytes = 64 * 1024;
// Compressed input is read this much at a time.
constexpr std::size_t kCompressedChunk = 256 * 1024;

class PlainReader final : public ByteReader {
  public:
    PlainReader(InputFile file, std::vector<std::uint8_t> head)
        : file_(std::move(file)), head_(std::move(head)) {}

    std::optional<Error> fill(std::span<std::uint8_t> out, std::size_t& filled) override {
        const std::size_t from_head = std::min(out.size(), head_.size() - head_used_);
        std::copy_n(head_.data() + head_used_, from_head, out.data());
        head_used_ += from_head;
        filled = from_head;
        if (from_head == out.size()) return std::nullopt;
        auto got = file_.read(out.subspan(from_head));
        if (!got.ok()) return std::move(got).error();
        filled += *got;
        return std::nullopt;
    }

    Compression compression() const override { return Compression::None; }
    std::uint64_t file_position() const override {
        return file_.position() - (head_.size() - head_used_);
    }
    std::uint64_t file_size() const override { return file_.size(); }

  private:
    InputFile file_;
    std::vector<std::uint8_t> head_;
    std::size_t head_used_ = 0;
};

class DecompressedReader final : public ByteReader {
  public:
    DecompressedReader(InputFile file, Compression format,
                       std::unique_ptr<Decompressor> decompressor, std::vector<std::uint8_t> head)
        : file_(std::move(file)),
          format_(format),
          decompressor_(std::move(decompressor)),
          input_(std::move(head)),
          end_(input_.size()),
          at_file_end_(input_.size() < kHeadBytes) {}

    std::optional<Error> fill(std::span<std::uint8_t> out, std::size_t& filled) override {
        while (filled < out.size()) {
            if (begin_ == end_ && !at_file_end_) {
                if (auto more = read_more(); !more.ok()) return std::move(more).error();
            }
            if (between_members_) {
                if (format_ == Compression::Gzip) skip_zero_padding();
                if (begin_ == end_) {
                    if (at_file_end_) break;
                    continue;
                }
                if (auto restarted = decompressor_->restart(); !restarted.ok()) {
                    return std::move(restarted).error();
                }
                between_members_ = false;
            }
            auto step = decompressor_->step({input_.data() + begin_, end_ - begin_},
                                            out.subspan(filled), at_file_end_);
            if (!step.ok()) return std::move(step).error();
            begin_ += step->consumed;
            filled += step->produced;
            if (step->corrupt != nullptr) return corrupt(step->corrupt);
            if (step->member_end) {
                between_members_ = true;
            } else if (step->consumed == 0 && step->produced == 0) {
                // The library needs more input than is here.
                if (at_file_end_) return truncated();
                if (auto more = read_more(); !more.ok()) return std::move(more).error();
            }
        }
        return std::nullopt;
    }

    Compression compression() const override { return format_; }
    std::uint64_t file_position() const override { return input_offset_ + begin_; }
    std::uint64_t file_size() const override { return file_.size(); }

  private:
    // Keeps what is left of the input and appends the next chunk of the file.
    Result<bool> read_more() {
        std::memmove(input_.data(), input_.data() + begin_, end_ - begin_);
        input_offset_ += begin_;
        end_ -= begin_;
        begin_ = 0;
        input_.resize(std::max(input_.size(), end_ + kCompressedChunk));
        auto got = file_.read({input_.data() + end_, input_.size() - end_});
        if (!got.ok()) return std::move(got).error();
        end_ += *got;
        if (end_ < input_.size()) {
            // Short: the end of the file, or a failure the next read reports.
            std::uint8_t probe;
            auto again = file_.read({&probe, 1});
            if (!again.ok()) return std::move(again).error();
            at_file_end_ = true;
        }
        return true;
    }

    // Zero bytes after a gzip member are padding, as gzip itself allows.
    void skip_zero_padding() {
        while (begin_ != end_ && input_[begin_] == 0)
            ++begin_;
    }

    Error corrupt(const char* what) const {
        return Error(ErrorKind::Value, "corrupt " + std::string(compression_name(format_)) +
                                           " data at byte " + std::to_string(file_position()) +
                                           " of the file: " + what);
    }
    Error truncated() const {
        return Error(ErrorKind::Value, "truncated " + std::string(compression_name(format_)) +
                                           " data: the file ends at byte " +
                                           std::to_string(input_offset_ + end_) +
                                           ", inside a compressed stream");
    }

    InputFile file_;
    Compression format_;
    std::unique_ptr<Decompressor> decompressor_;
    std::vector<std::uint8_t> input_;  // compressed bytes; [begin_, end_) not yet decoded
    std::size_t begin_ = 0;
    std::size_t end_;
    std::uint64_t input_offset_ = 0;  // the file offset of input_[0]
    bool at_file_end_;
    bool between_members_ = false;
};

}  // namespace

Result<std::unique_ptr<ByteReader>> open_byte_reader(const std::string& path) {
    auto file = InputFile::open(path);
    if (!file.ok()) return std::move(file).error();
    std::vector<std::uint8_t> head(kHeadBytes);
    auto got = file->read(head);
    if (!got.ok()) return std::move(got).error();
    head.resize(*got);
    const Compression format = detect_compression(head);
    if (format == Compression::None) {
        return std::unique_ptr<ByteReader>(
            std::make_unique<PlainReader>(std::move(*file), std::move(head)));
    }
    auto decompressor = Decompressor::create(format);
    if (!decompressor.ok()) return std::move(decompressor).error();
    return std::unique_ptr<ByteReader>(std::make_unique<DecompressedReader>(
        std::move(*file), format, std::move(*decompressor), std::move(head)));
}

}  // namespace brelt
