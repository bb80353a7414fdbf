// Every decoder against digests of an independent implementation's outputs
// (text-encoding 0.7.0 with the corrections listed in tests/oracle/): every
// byte, every pair, every gb18030 four-byte sequence, EUC-JP's 0x8F triples,
// ISO-2022-JP's escapes before every pair, and random strings rich in lead,
// trail and escape bytes. tests/oracle/decode_oracle.js compares the outputs
// one by one where node is available and writes these digests.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "decode_input_sets.hpp"
#include "input/encoding/encoding.hpp"
#include "scaled_rounds.hpp"

namespace brelt {
namespace {

struct GoldenDigest {
    std::string encoding;
    std::string set;
    std::size_t inputs = 0;
    std::uint64_t digest = 0;
};

std::vector<GoldenDigest> read_goldens() {
    std::ifstream file(std::string(BRELT_SOURCE_DIR) + "/tests/data/decode_oracle_digests.txt");
    std::vector<GoldenDigest> goldens;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        GoldenDigest golden;
        std::string digest;
        std::getline(fields, golden.encoding, '\t');
        std::getline(fields, golden.set, '\t');
        fields >> golden.inputs >> digest;
        golden.digest = std::stoull(digest, nullptr, 16);
        goldens.push_back(golden);
    }
    return goldens;
}

TEST(EncodingOracle, EveryInputSetMatchesTheOracleDigest) {
    const std::vector<GoldenDigest> goldens = read_goldens();
    // Every encoding but replacement (which the oracle will not construct),
    // with at least its bytes, pairs and random sets.
    ASSERT_GE(goldens.size(), (kEncodingCount - 1) * 3);

    std::string out;
    for (const GoldenDigest& golden : goldens) {
        // The sanitized run looks for memory errors: the bytes and random
        // sets reach every decoder's paths, the exhaustive sets only repeat them.
        if (testing::kSanitized && golden.set != "bytes" && golden.set != "random") continue;
        const auto encoding = encoding_for_label(golden.encoding);
        ASSERT_TRUE(encoding) << golden.encoding;
        ASSERT_EQ(encoding_name(*encoding), golden.encoding);

        testing::OutputDigest digest;
        std::size_t inputs = 0;
        const bool known =
            testing::visit_input_set(golden.encoding, golden.set, [&](std::string_view input) {
                out.clear();
                auto result = decode_with(
                    *encoding, {reinterpret_cast<const std::uint8_t*>(input.data()), input.size()},
                    out);
                ASSERT_TRUE(result.ok());
                digest.add(out);
                ++inputs;
            });
        ASSERT_TRUE(known) << golden.encoding << " " << golden.set;
        EXPECT_EQ(inputs, golden.inputs) << golden.encoding << " " << golden.set;
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest.value()));
        char want[17];
        std::snprintf(want, sizeof want, "%016llx", static_cast<unsigned long long>(golden.digest));
        EXPECT_STREQ(hex, want) << golden.encoding << " " << golden.set;
    }
}

}  // namespace
}  // namespace brelt
