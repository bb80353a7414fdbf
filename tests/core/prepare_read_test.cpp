// What read_csv decides before converting a cell, where the Python suite
// (tests/python/test_read_csv.py: keys, types, selection, failures) cannot
// look: the sample the delimiter is guessed from, cut at a character, or the
// whole decoded text; and a given plan taken as it is, with the rest of a
// headerless read left to later pieces.
#include "table/prepare_read.hpp"

#include <gtest/gtest.h>

#include <string>

#include "temp_file.hpp"
#include "types/infer.hpp"

namespace brelt {
namespace {

Result<PreparedRead> prepare(std::string_view contents, ReadRequest request = {}) {
    testing::TempFile file(contents);
    request.path = file.path();
    return prepare_read(request);
}

TEST(DelimiterSample, CutsBackToACharacterBoundary) {
    EXPECT_EQ(delimiter_sample(std::string(5000, 'a')).size(), 4096u);
    EXPECT_EQ(delimiter_sample("short;text").size(), 10u);
    // A two-byte character at 4095..4096, a four-byte one at 4094..4097, and
    // a two-byte one that ends the sample.
    EXPECT_EQ(delimiter_sample(std::string(4095, 'a') + "\xC3\xA9tail").size(), 4095u);
    EXPECT_EQ(delimiter_sample(std::string(4094, 'a') + "\xF0\x9F\x8E\x89tail").size(), 4094u);
    EXPECT_EQ(delimiter_sample(std::string(4094, 'a') + "\xC3\xA9tail").size(), 4096u);
}

// Decoded text is guessed from as a whole: here the delimiter only shows
// after the first 4,096 bytes of a long header.
TEST(PrepareRead, ADecodedTextIsGuessedFromAsAWhole) {
    const std::string text = std::string(5000, 'h') + ";x\n1;2\n3;4\n";
    EXPECT_EQ(prepare(text)->plan.keys.size(), 1u);
    ReadRequest request;
    request.encoding = "utf-8";
    auto decoded = prepare(text, request);
    EXPECT_EQ(decoded->plan.delimiter, ';');
    EXPECT_EQ(decoded->plan.keys.size(), 2u);
}

TEST(PrepareRead, AGivenPlanIsTakenAsItIsAndAHeaderlessReadGoesInPieces) {
    ReadPlan plan;
    plan.delimiter = ';';
    plan.keys = {"n"};
    plan.columns = {{1, ColumnType::Str}};  // inference would say Int
    ReadRequest request;
    request.has_header = false;
    request.plan = plan;
    request.piece_cells = 1;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "x,y;" + std::to_string(i) + "\n";
    auto read = prepare(text, request);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->plan.keys, plan.keys);
    EXPECT_EQ(read->plan.columns[0].type, ColumnType::Str);
    EXPECT_EQ(read->table->field(0, 0), "x,y");
    EXPECT_EQ(read->table->row_count(), kInferenceSampleRows);
    EXPECT_NE(read->rest, nullptr);
}

}  // namespace
}  // namespace brelt
