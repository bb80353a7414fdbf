#include "table/prepare_read.hpp"

#include <gtest/gtest.h>

#include <string>

#include "temp_file.hpp"
#include "types/infer.hpp"

namespace brelt {
namespace {

using testing::TempFile;

Result<PreparedRead> prepare(std::string_view contents, ReadRequest request = {}) {
    TempFile file(contents);
    request.path = file.path();
    return prepare_read(request);
}

std::vector<std::size_t> sources(const PreparedRead& read) {
    std::vector<std::size_t> out;
    for (const auto& column : read.plan.columns)
        out.push_back(column.source);
    return out;
}

TEST(DelimiterSample, CutsBackToACharacterBoundary) {
    const std::string ascii(5000, 'a');
    EXPECT_EQ(delimiter_sample(ascii).size(), 4096u);
    EXPECT_EQ(delimiter_sample("short;text").size(), 10u);
    // A two-byte character at 4095..4096 and a four-byte one at 4094..4097.
    std::string two = std::string(4095, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(delimiter_sample(two).size(), 4095u);
    std::string four = std::string(4094, 'a') + "\xF0\x9F\x8E\x89" + "tail";
    EXPECT_EQ(delimiter_sample(four).size(), 4094u);
    std::string whole = std::string(4094, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(delimiter_sample(whole).size(), 4096u);
}

TEST(PrepareRead, DuplicateNamesReadTheLastColumnInTheFirstPosition) {
    auto read = prepare("a,b,a,c,b\n1,x,2.5,y,z\n3,q,4.5,p,w\n");
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->plan.keys, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(sources(*read), (std::vector<std::size_t>{2, 4, 3}));
    EXPECT_EQ(read->plan.columns[0].type, ColumnType::Float);
    EXPECT_EQ(read->plan.columns[1].type, ColumnType::Str);
}

TEST(PrepareRead, HeaderlessNamesCoverTheWidestRecord) {
    ReadRequest request;
    request.has_header = false;
    auto read = prepare("1\n2,x,3\n\n4,y\n", request);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->plan.keys, (std::vector<std::string>{"column_1", "column_2", "column_3"}));
    EXPECT_EQ(read->plan.columns[0].type, ColumnType::Int);
    EXPECT_EQ(read->table->row_count(), 3u);
}

TEST(PrepareRead, HeaderlessSelectionTakesOnlyWellFormedPositions) {
    ReadRequest request;
    request.has_header = false;
    request.columns = std::vector<std::string>{"column_2",  "column_0", "column_3", "column_02",
                                               "column_+1", "column_1", "column_2"};
    auto read = prepare("1,x\n2,y\n", request);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->plan.keys, (std::vector<std::string>{"column_2", "column_1"}));
    EXPECT_EQ(sources(*read), (std::vector<std::size_t>{1, 0}));
}

TEST(PrepareRead, SchemaDecidesAndNamesItLacksAreText) {
    ReadRequest request;
    request.schema.emplace();
    (*request.schema)["b"] = ColumnType::Float;
    auto read = prepare("a,b\n1,2\n", request);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->plan.columns[0].type, ColumnType::Str);
    EXPECT_EQ(read->plan.columns[1].type, ColumnType::Float);
}

TEST(PrepareRead, DelimiterIsDetectedOnlyWhenNotGiven) {
    auto detected = prepare("a;b\n1;2\n");
    ASSERT_TRUE(detected.ok());
    EXPECT_EQ(detected->plan.delimiter, ';');
    ReadRequest request;
    request.delimiter = ',';
    auto given = prepare("a;b\n1;2\n", request);
    ASSERT_TRUE(given.ok());
    EXPECT_EQ(given->plan.keys, (std::vector<std::string>{"a;b"}));
}

TEST(PrepareRead, DecodedPathDetectsOverTheWholeText) {
    // The delimiter only shows after the first 4,096 bytes of a long header.
    const std::string text = std::string(5000, 'h') + ";x\n1;2\n3;4\n";
    auto direct = prepare(text);
    ReadRequest request;
    request.encoding = "utf-8";
    auto decoded = prepare(text, request);
    ASSERT_TRUE(direct.ok() && decoded.ok());
    EXPECT_EQ(direct->plan.keys.size(), 1u);
    EXPECT_EQ(decoded->plan.delimiter, ';');
    EXPECT_EQ(decoded->plan.keys.size(), 2u);
}

TEST(PrepareRead, AGivenPlanIsTakenAsItIsAndAHeaderlessReadGoesInPieces) {
    ReadPlan plan;
    plan.delimiter = ';';
    plan.keys = {"n"};
    plan.columns = {{1, ColumnType::Str}};  // inference would say Int
    ReadRequest request;
    request.plan = plan;
    request.has_header = false;
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

TEST(PrepareRead, FailuresKeepTheirMessages) {
    ReadRequest request;
    request.path = "/nonexistent/brelt/file.csv";
    auto missing = prepare_read(request);
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().message.ends_with("(os error 2)"));

    ReadRequest labelled;
    labelled.encoding = "klingon";
    auto unknown = prepare("a\n1\n", labelled);
    ASSERT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error().message, "Unknown encoding: klingon");

    ReadRequest strict;
    strict.strict = true;
    auto ragged = prepare("a,b,c\n1,2\n", strict);
    ASSERT_FALSE(ragged.ok());
    EXPECT_TRUE(ragged.error().message.starts_with("CSV parse error: "));
}

}  // namespace
}  // namespace brelt
