// Every decoder against an independent implementation. The oracle
// (text-encoding 0.7.0 with the corrections in tests/oracle/) decoded the
// input sets of decode_input_sets.hpp, and its digests in tests/data are
// checked here without it: every byte, every pair for the decoders that keep
// state, gb18030's four-byte sequences, EUC-JP's 0x8F triples, ISO-2022-JP's
// escapes before every pair, and random strings. On those inputs each error
// is one U+FFFD and no malformed bytes swallow the ASCII after them; and long
// inputs decode whole across the decoders' chunk edges.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>

#include "decode_input_sets.hpp"
#include "input/encoding/encoding.hpp"
#include "scaled_rounds.hpp"

namespace brelt {
namespace {

using namespace std::string_view_literals;

using Decoded = std::pair<std::string, std::size_t>;  // the text and the error count

Decoded decoded(Encoding encoding, std::string_view bytes) {
    std::string text;
    auto errors = decode_with(
        encoding, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, text);
    EXPECT_TRUE(errors.ok());
    return {text, errors.ok() ? *errors : 0};
}

std::size_t occurrences(std::string_view text, std::string_view what, std::size_t step = 1) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != text.npos; at = text.find(what, at + 1))
        count += at % step == 0;
    return count;
}

// Each error is one U+FFFD; UTF-8, UTF-16 and gb18030 input may also spell
// U+FFFD out (in UTF-8 no malformed sequence can take its bytes, in UTF-16 it
// is a unit, and the gb18030 sets hold it alone).
std::size_t spelled_replacements(Encoding e, std::string_view input) {
    return e == Encoding::Utf8                            ? occurrences(input, "\xEF\xBF\xBD")
           : e == Encoding::Utf16LE                       ? occurrences(input, "\xFD\xFF", 2)
           : e == Encoding::Utf16BE                       ? occurrences(input, "\xFF\xFD", 2)
           : e == Encoding::Gb18030 || e == Encoding::Gbk ? occurrences(input, "\x84\x31\xA4\x37")
                                                          : 0;
}

TEST(EncodingDecode, EveryInputSetMatchesTheOracleDigest) {
    std::ifstream file(std::string(BRELT_SOURCE_DIR) + "/tests/data/decode_oracle_digests.txt");
    std::size_t sets = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, set, digest;
        std::size_t inputs = 0;
        fields >> name >> set >> inputs >> digest;
        ++sets;
        // Sanitized, the bytes and random sets reach every decoder's paths;
        // the exhaustive sets only repeat them.
        if (testing::kSanitized && set != "bytes" && set != "random") continue;
        const auto encoding = encoding_for_label(name);
        ASSERT_TRUE(encoding && encoding_name(*encoding) == name) << name;
        const bool keeps_ascii = *encoding != Encoding::Iso2022Jp &&
                                 *encoding != Encoding::Utf16BE && *encoding != Encoding::Utf16LE;
        testing::OutputDigest outputs;
        std::size_t visited = 0;
        const bool known = testing::visit_input_set(name, set, [&](std::string_view input) {
            const auto [text, errors] = decoded(*encoding, input);
            outputs.add(text);
            ++visited;
            ASSERT_EQ(errors + spelled_replacements(*encoding, input), occurrences(text, "\uFFFD"))
                << name << " " << ::testing::PrintToString(input);
            // What guards a CSV's structure: whatever bad bytes come before
            // it, a delimiter, quote or line break decodes as itself.
            const std::string tail = std::string(1, ",\"\n"[visited % 3]) + "x";
            if (keeps_ascii && !decoded(*encoding, std::string(input) + tail).first.ends_with(tail))
                FAIL() << name << " lost the " << tail[0] << " after "
                       << ::testing::PrintToString(input);
        });
        ASSERT_TRUE(known) << name << " " << set;
        EXPECT_EQ(visited, inputs) << name << " " << set;
        EXPECT_EQ(outputs.value(), std::stoull(digest, nullptr, 16)) << name << " " << set;
    }
    // Every encoding but replacement (which the oracle will not construct)
    // with at least its bytes and random sets.
    EXPECT_GE(sets, (kEncodingCount - 1) * 2);
    EXPECT_EQ(decoded(Encoding::Replacement, "a\xFF,"), Decoded("\uFFFD", 1));
    EXPECT_EQ(decoded(Encoding::Replacement, ""), Decoded("", 0));
}

// The decoders size their output a chunk of input at a time; sequences that
// straddle chunk edges must come out whole, however the text is aligned.
TEST(EncodingDecode, LongInputsAcrossChunkEdges) {
    const std::tuple<Encoding, std::string_view, std::string_view> samples[] = {
        {Encoding::ShiftJis, "1,\x93\xFA\x96\x7B\xB1\n", "1,日本ｱ\n"},
        {Encoding::Gb18030, "1,\xD6\xD0\x90\x30\x81\x30\n", "1,中\U00010000\n"},
        {Encoding::Big5, "1,\xA4\xA4\x87\x45\n", "1,中\U00027267\n"},
        {Encoding::EucJp, "1,\xC6\xFC\x8F\xA2\xAF\x8E\xB1\n", "1,日\u02D8ｱ\n"},
        {Encoding::Iso2022Jp, "1,\x1B$BF|\x1B(B\n", "1,日\n"},
        {Encoding::Utf8, "1,\xC3\xA9\xF0\x9F\x98\x80\n", "1,é😀\n"},
        {Encoding::Windows1251, "1,\xC0\xFF\n", "1,Ая\n"},
        {Encoding::Utf16LE, "1\0,\0\x3D\xD8\x00\xDE\n\0"sv, "1,😀\n"},
    };
    for (const auto& [encoding, bytes, text] : samples) {
        for (std::size_t shift = 0; shift < 9; ++shift) {
            std::string input, expected(shift, 'x');
            for (std::size_t k = 0; k < shift; ++k)
                input += encoding == Encoding::Utf16LE ? "x\0"sv : "x"sv;
            while (input.size() < 70000) {
                input += bytes;
                expected += text;
            }
            EXPECT_EQ(decoded(encoding, input), Decoded(expected, 0)) << encoding_name(encoding);
        }
    }
}

}  // namespace
}  // namespace brelt
