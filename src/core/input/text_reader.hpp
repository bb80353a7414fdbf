// A file's text, a piece at a time: the content of a ByteReader decoded under
// a TextEncoding decided beforehand. Each piece is decoded only up to a point
// where the decoder is back in its starting state, and the bytes after it wait
// for the next piece, so the pieces together are exactly the text of decoding
// the whole content at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"
#include "input/byte_reader.hpp"
#include "input/text_encoding.hpp"

namespace brelt {

// Where a text that was guessed to be UTF-8 turned out not to be.
inline constexpr std::string_view kNotUtf8Message = "the text is not valid UTF-8";

inline constexpr std::size_t kTextPieceBytes = 1 << 20;

class TextReader {
  public:
    // `start`: content already read from `bytes` (its byte-order mark is
    // skipped here). With `confirm_utf8`, UTF-8 is a guess to be confirmed:
    // content that is not valid UTF-8 fails with kNotUtf8Message and
    // not_utf8() says so, rather than being decoded with U+FFFD.
    // Content is read `piece_bytes` at a time (tests make it small).
    TextReader(std::unique_ptr<ByteReader> bytes, std::span<const std::uint8_t> start,
               const TextEncoding& encoding, bool confirm_utf8,
               std::size_t piece_bytes = kTextPieceBytes);

    // Appends the next piece of text (possibly empty) to `out`; false once
    // all of it has been appended.
    Result<bool> read(std::string& out);

    bool not_utf8() const { return not_utf8_; }
    const ByteReader& bytes() const { return *bytes_; }

  private:
    Result<bool> decode(std::span<const std::uint8_t> bytes, std::string& out);

    std::unique_ptr<ByteReader> bytes_;
    TextEncoding encoding_;
    bool confirm_utf8_;
    std::size_t piece_bytes_;
    std::vector<std::uint8_t> raw_;  // content read but not yet decoded, at the front
    std::size_t kept_ = 0;           // bytes of raw_ in use
    std::size_t mark_left_;          // mark bytes still to skip
    bool finished_ = false;
    bool replaced_ = false;  // the replacement encoding's one U+FFFD is out
    bool not_utf8_ = false;
};

// The end of the longest prefix of `bytes` after which the decoder of
// `encoding` is back in its starting state, `bytes` beginning in that state
// (for UTF-16, at an even offset of the text): the prefix then decodes alone
// to what it decodes to within the whole. After a line feed for most
// encodings; 0 when no such point is found.
std::size_t decoder_rest_point(std::span<const std::uint8_t> bytes, Encoding encoding);

}  // namespace brelt
