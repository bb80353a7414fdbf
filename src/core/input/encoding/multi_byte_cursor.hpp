// The frame shared by the legacy multi-byte decoders (gb18030, Big5, EUC-JP,
// ISO-2022-JP, Shift_JIS, EUC-KR).
//
// The input is a whole stream in memory, so a decoder looks ahead instead of
// keeping state between bytes. Where the standard's algorithm "restores"
// bytes to the stream, the decoder consumes fewer bytes than it looked at and
// the restored ones are read again: an ASCII byte after a bad lead is decoded
// as itself, never swallowed (a lost delimiter or quote would change the CSV).
//
// No input byte yields more than 3 bytes of UTF-8 (an error or a half-width
// katakana from one byte; two-byte sequences yield at most 4), so the output is
// sized for that worst case one chunk of input at a time (chunked_output.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "input/encoding/chunked_output.hpp"
#include "input/encoding/utf8_output.hpp"

namespace brelt::encoding_detail {

class MultiByteCursor {
  public:
    explicit MultiByteCursor(std::span<const std::uint8_t> bytes)
        : input_(bytes.data()), size_(bytes.size()) {}

    // The byte `offset` places after the current one; only valid when has(offset).
    std::uint8_t byte(std::size_t offset) const { return input_[position_ + offset]; }
    bool has(std::size_t offset) const { return size_ - position_ > offset; }
    std::size_t remaining() const { return size_ - position_; }

    // Each step consumes at least one byte and writes at most 3 bytes per byte consumed.
    void emit(std::uint32_t code_point, std::size_t consumed) {
        out_ = put_utf8(out_, code_point);
        position_ += consumed;
    }
    void emit_pair(std::uint32_t first, std::uint32_t second, std::size_t consumed) {
        out_ = put_utf8(put_utf8(out_, first), second);
        position_ += consumed;
    }
    void error(std::size_t consumed) {
        out_ = put_replacement(out_);
        ++errors_;
        position_ += consumed;
    }
    void skip(std::size_t consumed) { position_ += consumed; }

    // The current byte is ASCII and decodes as itself; so do the whole 8-byte
    // words of ASCII after it, up to the end of the chunk.
    void copy_ascii_run() {
        *out_++ = static_cast<char>(input_[position_++]);
        while (position_ < chunk_end_ && size_ - position_ >= 8 && all_ascii8(input_ + position_)) {
            std::memcpy(out_, input_ + position_, 8);
            out_ += 8;
            position_ += 8;
        }
    }

    // Runs `step` until the input is consumed; returns the number of errors.
    template <class Step>
    std::size_t decode_into(std::string& out, Step step) {
        // A step that starts inside a chunk may read on past its end: 7 bytes
        // of an ASCII word, or 3 bytes of a gb18030 sequence.
        constexpr std::size_t kChunk = 16 * 1024;
        constexpr std::size_t kOverrun = 8;
        constexpr std::size_t kMaxUtf8PerByte = 3;

        // Most text needs at most 1.5 bytes per byte (two-byte sequences becoming
        // three), plus room for the first chunk's worst case; only pages
        // actually written are touched.
        const std::size_t first_chunk = size_ < kChunk ? size_ : kChunk;
        ChunkedOutput output(out, size_ + size_ / 2 + kMaxUtf8PerByte * (first_chunk + kOverrun));
        while (position_ < size_) {
            const std::size_t chunk = remaining() < kChunk ? remaining() : kChunk;
            out_ = output.room(kMaxUtf8PerByte * (chunk + kOverrun));
            chunk_end_ = position_ + chunk;
            while (position_ < chunk_end_)
                step(*this);
            output.commit(out_);
        }
        output.finish();
        return errors_;
    }

  private:
    const std::uint8_t* input_;
    std::size_t size_;
    std::size_t position_ = 0;
    std::size_t chunk_end_ = 0;
    char* out_ = nullptr;
    std::size_t errors_ = 0;
};

inline bool in_range(std::uint8_t byte, std::uint8_t low, std::uint8_t high) {
    return byte >= low && byte <= high;
}

// The standard's "ASCII byte".
inline bool is_ascii(std::uint8_t byte) {
    return byte < 0x80;
}

// After a lead byte whose pair maps to nothing: the pair is one error, and the
// trail byte is read again when it is ASCII.
inline void reject_pair(MultiByteCursor& c, std::uint8_t trail) {
    c.error(is_ascii(trail) ? 1 : 2);
}

}  // namespace brelt::encoding_detail
