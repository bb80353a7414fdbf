// A text read in pieces is the text of decoding it whole, in every encoding:
// each piece stops where the decoder is back in its starting state. A byte
// order mark is skipped, and a guess of UTF-8 is confirmed or refused.
#include "input/text_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "input/encoding/encoding.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

class MemoryBytes final : public ByteReader {
  public:
    explicit MemoryBytes(std::string content) : content_(std::move(content)) {}
    std::optional<Error> fill(std::span<std::uint8_t> out, std::size_t& filled) override {
        filled = std::min(out.size(), content_.size() - position_);
        std::copy_n(content_.data() + position_, filled, out.data());
        position_ += filled;
        return std::nullopt;
    }
    Compression compression() const override { return Compression::None; }
    std::uint64_t file_position() const override { return position_; }
    std::uint64_t file_size() const override { return content_.size(); }

  private:
    std::string content_;
    std::size_t position_ = 0;
};

// The text, or "error: <message>".
std::string outcome(const Result<bool>& status, const std::string& text) {
    return status.ok() ? text : "error: " + status.error().message;
}

std::string in_pieces(const std::string& bytes, const TextEncoding& encoding, std::size_t piece,
                      std::size_t start, bool confirm_utf8 = false) {
    start = std::min(start, bytes.size());
    TextReader reader(std::make_unique<MemoryBytes>(bytes.substr(start)),
                      {reinterpret_cast<const std::uint8_t*>(bytes.data()), start}, encoding,
                      confirm_utf8, piece);
    std::string text;
    for (;;) {
        auto more = reader.read(text);
        if (!more.ok() || !*more)
            return outcome(more, text) + (reader.not_utf8() ? " (not UTF-8)" : "");
    }
}

// Bytes that matter to some decoder: line feeds, escapes and mode switches of
// ISO-2022-JP, lead and trail bytes, surrogates of UTF-16.
std::string random_bytes(std::mt19937& rng) {
    static const std::string special =
        "\n\n\n\x1B$(@BIJ\x0E\x0F\\~!\x80\x81\x8E\x8F\xA0\xA1"
        "\xDF\xE0\xFC\xFE\xFF\x9F\xD8\xDC\x00\xC3\xE2\xF0"s;
    std::string bytes(rng() % 64, '\0');
    for (char& byte : bytes) {
        byte = rng() % 3 == 0 ? static_cast<char>(rng() % 256) : special[rng() % special.size()];
    }
    return bytes;
}

// Every encoding, strict UTF-16 too, with pieces of 1 to 9 bytes after a
// start of 0 to 3 bytes already read.
TEST(TextReader, PiecesDecodeAsTheWhole) {
    std::mt19937 rng(17);
    for (std::size_t e = 0; e < kEncodingCount; ++e) {
        TextEncoding encoding;
        encoding.encoding = static_cast<Encoding>(e);
        for (int i = 0; i < 1500; ++i) {
            const std::string bytes = random_bytes(rng);
            encoding.strict = encoding.encoding == Encoding::Utf16LE && rng() % 2 == 0;
            std::string whole;
            const auto status =
                decode_text({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                            encoding, whole);
            const std::size_t piece = 1 + rng() % 9;
            ASSERT_EQ(in_pieces(bytes, encoding, piece, rng() % 4), outcome(status, whole))
                << encoding_name(encoding.encoding) << " piece " << piece;
        }
    }
}

TEST(TextReader, AByteOrderMarkIsSkippedWhereverThePiecesFall) {
    TextEncoding encoding;
    encoding.mark_size = 3;
    for (std::size_t piece : {1, 2, 5}) {
        for (std::size_t start : {0, 1, 3, 4})
            EXPECT_EQ(in_pieces("\xEF\xBB\xBF"
                                "a,b\n1,2\n",
                                encoding, piece, start),
                      "a,b\n1,2\n");
    }
}

TEST(TextReader, AGuessOfUtf8IsConfirmedOrFails) {
    EXPECT_EQ(in_pieces("a\n\xC3\xA9\n", {}, 2, 0, true), "a\n\xC3\xA9\n");
    EXPECT_EQ(in_pieces("a\n\xE9\n", {}, 2, 0, true),
              "error: " + std::string(kNotUtf8Message) + " (not UTF-8)");
}

}  // namespace
}  // namespace brelt
