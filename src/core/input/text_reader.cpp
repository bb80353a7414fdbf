#include "input/text_reader.hpp"

#include <algorithm>
#include <cstring>

#include "input/encoding/generated/single_byte_indexes.hpp"
#include "input/utf8_validate.hpp"

namespace brelt {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool in_range(std::uint8_t byte, std::uint8_t low, std::uint8_t high) {
    return byte >= low && byte <= high;
}

std::size_t after_last_line_feed(std::span<const std::uint8_t> bytes) {
    for (std::size_t i = bytes.size(); i > 0; --i) {
        if (bytes[i - 1] == '\n') return i;
    }
    return 0;
}

// After a line feed unit: 00 0A big-endian, 0A 00 little-endian.
std::size_t after_last_utf16_line_feed(std::span<const std::uint8_t> bytes, bool big_endian) {
    for (std::size_t i = bytes.size() & ~std::size_t{1}; i >= 2; i -= 2) {
        const std::uint8_t high = bytes[i - (big_endian ? 2 : 1)];
        const std::uint8_t low = bytes[i - (big_endian ? 1 : 2)];
        if (high == 0 && low == '\n') return i;
    }
    return 0;
}

// ISO-2022-JP keeps its mode across line feeds: a rest point is a line feed
// read in ASCII mode. The walk follows the decoder's own steps (see
// iso_2022_jp_decoder.cpp): an escape is judged on its three bytes wherever
// it starts, JIS X 0208 mode takes bytes in pairs (a pair swallows a line
// feed in its second byte), and it stops at an escape or a pair the bytes
// cut short.
std::size_t after_last_iso_2022_jp_ascii_line_feed(std::span<const std::uint8_t> bytes) {
    enum class Mode { Ascii, Roman, Katakana, Jis0208 } mode = Mode::Ascii;
    constexpr std::uint8_t kEscape = 0x1B;
    std::size_t rest = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t byte = bytes[i];
        if (byte == kEscape) {
            if (bytes.size() - i < 3) break;
            const std::uint8_t intermediate = bytes[i + 1];
            const std::uint8_t final_byte = bytes[i + 2];
            bool known = true;
            if (intermediate == 0x28 && final_byte == 0x42) {
                mode = Mode::Ascii;
            } else if (intermediate == 0x28 && final_byte == 0x4A) {
                mode = Mode::Roman;
            } else if (intermediate == 0x28 && final_byte == 0x49) {
                mode = Mode::Katakana;
            } else if (intermediate == 0x24 && (final_byte == 0x40 || final_byte == 0x42)) {
                mode = Mode::Jis0208;
            } else {
                known = false;
            }
            i += known ? 3 : 1;
            continue;
        }
        if (mode == Mode::Jis0208 && in_range(byte, 0x21, 0x7E)) {
            if (bytes.size() - i < 2) break;
            i += bytes[i + 1] == kEscape ? 1 : 2;
            continue;
        }
        ++i;
        if (byte == '\n' && mode == Mode::Ascii) rest = i;
    }
    return rest;
}

}  // namespace

std::size_t decoder_rest_point(std::span<const std::uint8_t> bytes, Encoding encoding) {
    using encoding_detail::kFirstSingleByte;
    using encoding_detail::kLastSingleByte;
    if ((encoding >= kFirstSingleByte && encoding <= kLastSingleByte) ||
        encoding == Encoding::XUserDefined || encoding == Encoding::Replacement) {
        return bytes.size();
    }
    switch (encoding) {
        case Encoding::Utf16LE:
            return after_last_utf16_line_feed(bytes, false);
        case Encoding::Utf16BE:
            return after_last_utf16_line_feed(bytes, true);
        case Encoding::Iso2022Jp:
            return after_last_iso_2022_jp_ascii_line_feed(bytes);
        default:
            // UTF-8 and the other multi-byte encodings read an ASCII byte as
            // itself wherever it comes, and start afresh after it.
            return after_last_line_feed(bytes);
    }
}

TextReader::TextReader(std::unique_ptr<ByteReader> bytes, std::span<const std::uint8_t> start,
                       const TextEncoding& encoding, bool confirm_utf8, std::size_t piece_bytes)
    : bytes_(std::move(bytes)),
      encoding_(encoding),
      confirm_utf8_(confirm_utf8),
      piece_bytes_(std::max<std::size_t>(piece_bytes, 1)),
      raw_(start.begin(), start.end()),
      kept_(start.size()),
      mark_left_(encoding.mark_size) {}

Result<bool> TextReader::read(std::string& out) {
    if (finished_) return false;
    if (raw_.size() < kept_ + piece_bytes_) raw_.resize(kept_ + piece_bytes_);
    auto got = bytes_->read({raw_.data() + kept_, piece_bytes_});
    if (!got.ok()) return std::move(got).error();
    std::size_t size = kept_ + *got;
    // Only an empty read is the end: a short one may come before a failure.
    finished_ = *got == 0;
    const std::size_t mark = std::min(mark_left_, size);
    mark_left_ -= mark;
    const std::span<const std::uint8_t> text(raw_.data() + mark, size - mark);
    const std::size_t rest = finished_ ? text.size() : decoder_rest_point(text, encoding_.encoding);
    if (auto decoded = decode(text.first(rest), out); !decoded.ok()) {
        return std::move(decoded).error();
    }
    kept_ = text.size() - rest;
    std::memmove(raw_.data(), text.data() + rest, kept_);
    return true;
}

Result<bool> TextReader::decode(std::span<const std::uint8_t> bytes, std::string& out) {
    if (encoding_.encoding == Encoding::Replacement) {
        // The whole of any non-empty input is one error.
        if (!replaced_ && !bytes.empty()) out.append(kReplacementCharacter);
        replaced_ = replaced_ || !bytes.empty();
        return true;
    }
    if (encoding_.encoding == Encoding::Utf8 && !encoding_.strict) {
        if (is_valid_utf8(bytes.data(), bytes.size())) {
            out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            return true;
        }
        if (confirm_utf8_) {
            not_utf8_ = true;
            return Error(ErrorKind::Value, std::string(kNotUtf8Message));
        }
        TextEncoding replacing = encoding_;
        replacing.in_place = false;
        return decode_text(bytes, replacing, out);
    }
    return decode_text(bytes, encoding_, out);
}

}  // namespace brelt
