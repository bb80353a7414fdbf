// Turning a file's bytes into text. decode_to_utf8: valid UTF-8 as it is,
// anything else without a label as windows-1252 throughout (judged over the
// whole of a long input), marks before labels, malformed UTF-16 after a mark
// refused; the label lookup folds only ASCII case and whitespace. TextReader:
// text read in pieces is the text decoded whole, in every encoding, and a
// mark is skipped wherever the pieces fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>

#include "input/decode.hpp"
#include "input/encoding/encoding.hpp"
#include "input/encoding/generated/label_table.hpp"
#include "input/text_reader.hpp"
#include "utf8_reference.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

std::span<const std::uint8_t> as_bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The text, or "error: <message>".
template <class T>
std::string outcome(const Result<T>& status, const std::string& text) {
    return status.ok() ? text : "error: " + status.error().message;
}

std::string decoded(std::string_view input, std::optional<std::string_view> label = {}) {
    auto text = decode_to_utf8(as_bytes(input), label);
    return outcome(text, text.ok() ? *text : "");
}

TEST(DecodeToUtf8, Cases) {
    const std::tuple<std::string, std::optional<std::string_view>, std::string> cases[] = {
        {"a,b\nä,漢\n", {}, "a,b\nä,漢\n"},
        // One bad byte turns the whole input to windows-1252, valid sequences too.
        {"\xC3\xA4,\xE9", {}, "Ã¤,é"},
        {"\x81\x8D\x8F\x90\x9D", {}, "\u0081\u008D\u008F\u0090\u009D"},
        // The UTF-8 mark goes and wins over a label; so do UTF-16 marks.
        {"\xEF\xBB\xBF", {}, ""},
        {"\xEF\xBB\xBFx\xE9", "windows-1252", "x\uFFFD"},
        {"\xEF\xBB\xBF\xC3\xA9", "shift_jis", "é"},
        {"\xFF\xFE", {}, ""},
        {"\xFF\xFE\x61\0,\0\xE9\0"s, {}, "a,é"},
        {"\xFF\xFEx\0"s, "latin1", "x"},
        // After a UTF-16 mark, malformed input is an error.
        {"\xFF\xFEx", {}, "error: Failed to decode UTF-16LE"},
        {"\xFF\xFE\x3D\xD8"s, {}, "error: Failed to decode UTF-16LE"},
        {"\xFF\xFE\x00\xDEx\0"s, {}, "error: Failed to decode UTF-16LE"},
        {"\xFE\xFF\0a\0"s, {}, "error: Failed to decode UTF-16BE"},
        // Too short for a mark.
        {"\xFF", {}, "ÿ"},
        {"\xEF\xBB", {}, "ï»"},
        // Under a label malformed input is replaced, never an error.
        {"a\xE9z", "utf8", "a\uFFFDz"},
        {"a", " Latin-9x ", "error: Unknown encoding:  Latin-9x "},
        {"a", "", "error: Unknown encoding: "},
    };
    for (const auto& [input, label, expected] : cases)
        EXPECT_EQ(decoded(input, label), expected) << input;
}

// Long inputs are validated in pieces of 64 KiB; a character or a bad
// sequence near a piece's edge must count the same as anywhere else.
TEST(DecodeToUtf8, ValidityIsJudgedOverTheWholeOfALongInput) {
    constexpr std::size_t kPiece = 64 * 1024;
    // Valid characters, then a truncated sequence, a lone lead byte and a
    // fourth continuation byte in a row; all from 0xA0 up, where
    // windows-1252 is Latin-1.
    for (std::string_view inserted :
         {"\xC3\xA9", "\xE6\xBC\xA2", "\xF0\x9F\x98\x80", "\xE6\xBC", "\xF0", "\xA9\xA9\xA9\xA9"}) {
        const bool valid =
            testing::reference_valid_utf8(as_bytes(inserted).data(), inserted.size());
        for (std::size_t at = kPiece - 6; at <= kPiece + 2; ++at) {
            std::string text(3 * kPiece, 'a');
            text.replace(at, inserted.size(), inserted);
            std::string expected = text;
            if (!valid) {
                text.replace(10, 2, "\xC3\xA9");  // valid text earlier changes nothing
                expected.clear();
                for (unsigned char c : text)
                    testing::append_utf8(expected, c);
            }
            EXPECT_EQ(decoded(text), expected) << at;
        }
    }
}

// Every label of the table reaches its decoder, in any case and padding.
TEST(EncodingLabels, EveryLabelOfTheTableDecodes) {
    for (const auto& entry : encoding_detail::kLabels) {
        std::string input = "id,x\n", want = input;
        if (entry.encoding == Encoding::Utf16LE) input = "i\0d\0"s, want = "id";
        if (entry.encoding == Encoding::Utf16BE) input = "\0i\0d"s, want = "id";
        if (entry.encoding == Encoding::Replacement) want = "\uFFFD";
        std::string upper(entry.label);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(decoded(input, entry.label), want) << entry.label;
        EXPECT_EQ(decoded(input, " " + upper + "\t"), want) << upper;
    }
}

// Labels match in any ASCII case with ASCII whitespace around them; nothing
// else is folded or trimmed (KELVIN SIGN lower-cases to 'k', U+0130 to 'i').
TEST(EncodingLabels, OnlyAsciiCaseAndWhitespaceAreIgnored) {
    EXPECT_EQ(encoding_for_label("\f\rLaTiN1 \n"), Encoding::Windows1252);
    for (std::string label :
         {"latin 1"s, " \t\n"s, "\vutf-8"s, "\xC2\xA0utf-8"s, "utf-"s, "utf-8\0"s,
          "a-label-far-longer-than-any-in-the-table"s, "\xE2\x84\xAAoi8-r"s, "\xC4\xB0so-8859-2"s})
        EXPECT_EQ(encoding_for_label(label), std::nullopt) << label;
}

// Bytes from memory, as a file gives them.
struct MemoryBytes final : ByteReader {
    explicit MemoryBytes(std::string bytes) : content(std::move(bytes)) {}
    std::optional<Error> fill(std::span<std::uint8_t> out, std::size_t& filled) override {
        filled = content.copy(reinterpret_cast<char*>(out.data()), out.size(), position);
        position += filled;
        return std::nullopt;
    }
    Compression compression() const override { return Compression::None; }
    std::uint64_t file_position() const override { return position; }
    std::uint64_t file_size() const override { return content.size(); }
    std::string content;
    std::size_t position = 0;
};

std::string in_pieces(const std::string& bytes, const TextEncoding& encoding, std::size_t piece,
                      std::size_t start) {
    start = std::min(start, bytes.size());
    TextReader reader(std::make_unique<MemoryBytes>(bytes.substr(start)),
                      as_bytes(bytes).first(start), encoding, false, piece);
    std::string text;
    for (;;) {
        auto more = reader.read(text);
        if (!more.ok() || !*more) return outcome(more, text);
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
            const auto status = decode_text(as_bytes(bytes), encoding, whole);
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

}  // namespace
}  // namespace brelt
