// Decoder output appended to a std::string one chunk of input at a time.
//
// The decoders write through a raw pointer into room made up front, so the
// loops need no capacity check per byte; but std::string can only make room by
// zero-filling it. Asking for one chunk's worst case at a time, from where the
// last chunk's room ended, keeps that fill to about the bytes actually
// written, in cache just before they are overwritten, instead of the worst
// case of the whole input. The reservation is marked for huge pages: faulting
// in fresh memory on small pages costs more than decoding into it.
#pragma once

#include <cstddef>
#include <string>

#include "common/buffer_memory.hpp"

namespace brelt::encoding_detail {

// Reserves room for `extra` more bytes, marked for huge pages when large.
inline void reserve_output(std::string& out, std::size_t extra) {
    const std::size_t size = out.size();
    if (out.capacity() - size >= extra) return;
    out.reserve(size + extra);
    advise_huge_pages(out.data() + size, out.capacity() - size);
}

class ChunkedOutput {
  public:
    // `expected` bytes are reserved now; more if the chunks turn out to need it.
    ChunkedOutput(std::string& out, std::size_t expected) : out_(out), length_(out.size()) {
        reserve_output(out, expected);
    }

    // At least `bound` writable bytes from the end of what was committed.
    char* room(std::size_t bound) {
        const std::size_t wanted = length_ + bound;
        if (wanted > out_.size()) {
            // Doubling keeps a growing output's copies amortised O(1).
            if (wanted > out_.capacity()) {
                const std::size_t doubled = 2 * out_.capacity();
                reserve_output(out_, (wanted > doubled ? wanted : doubled) - out_.size());
            }
            out_.resize(wanted);
        }
        return out_.data() + length_;
    }

    // Reserves room for `extra` bytes after what was committed.
    void expect(std::size_t extra) {
        if (length_ + extra > out_.size()) reserve_output(out_, length_ + extra - out_.size());
    }

    // `end` is one past the last byte written into the room.
    void commit(const char* end) { length_ = static_cast<std::size_t>(end - out_.data()); }

    // Drops the room left over.
    void finish() { out_.resize(length_); }

  private:
    std::string& out_;
    std::size_t length_;
};

}  // namespace brelt::encoding_detail
