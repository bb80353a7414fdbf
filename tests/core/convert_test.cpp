// Typing texts against the plain references of cell_text_reference.hpp: null
// texts, convert_cell under each column type, and column type inference on
// generated columns whose mixes sit near the 95% bar; and which rows a
// table's sample takes.
#include "types/convert.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cell_text_reference.hpp"
#include "scaled_rounds.hpp"
#include "table/column_sample.hpp"
#include "table/parse_table.hpp"
#include "types/infer.hpp"

namespace brelt {
namespace {

using namespace std::string_literals;

TEST(NullValues, ACallersListMatchesExactlyAndWinsOverTheType) {
    const std::string long63(63, 'x'), long70(70, 'y');
    const NullValues nulls({"-", "missing", long63, long70, "0", std::string(1, '\0')});
    for (const std::string& text : {"-"s, "missing"s, long63, long70, "0"s, "\0"s})
        EXPECT_TRUE(nulls.matches(text)) << text;
    for (const std::string& text : {""s, "NA"s, "Missing"s, std::string(63, 'y'),
                                    std::string(64, 'x'), std::string(70, 'x'), long70 + 'y'})
        EXPECT_FALSE(nulls.matches(text)) << text;
    EXPECT_FALSE(NullValues({}).matches(""));
    // A caller's null texts win over a value of the type.
    EXPECT_EQ(convert_cell(" 0\t", ColumnType::Int, nulls).kind, CellValue::Kind::None);
    EXPECT_EQ(convert_cell("", ColumnType::Int, nulls).kind, CellValue::Kind::Str);
}

TEST(ConvertCell, EveryTypeMatchesTheReferences) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < testing::scaled_rounds(50000); ++i) {
        const std::string field = testing::text_soup(rng);
        for (ColumnType type :
             {ColumnType::Int, ColumnType::Float, ColumnType::Bool, ColumnType::Str})
            ASSERT_TRUE(testing::cell_matches_reference(field, type)) << field;
    }
}

TEST(InferColumnType, GeneratedColumnsFollowTheCountingRule) {
    static const std::string kTexts[] = {
        "1",     "-7", " 2\u00A0", "0", "1.5",  "1e3", "nan",  "yes",
        "FALSE", "no", "NA",       "",  "None", "abc", "\t3 ", "12345678901234567890"};
    std::mt19937_64 rng(5);
    for (int i = 0; i < testing::scaled_rounds(20000); ++i) {
        // Mostly one text, a few others: mixes on either side of the bar.
        std::vector<std::string> column(1 + rng() % 120, kTexts[rng() % std::size(kTexts)]);
        for (std::size_t others = rng() % 10; others > 0; --others)
            column.push_back(rng() % 4 ? kTexts[rng() % std::size(kTexts)]
                                       : testing::text_soup(rng, 3));
        const std::vector<std::string_view> sample(column.begin(), column.end());
        ASSERT_EQ(infer_column_type(sample, NullValues::defaults()),
                  testing::reference_inference(sample))
            << column.front() << " x" << column.size();
    }
}

TEST(ColumnSample, TakesTheFirstRowsAndLeavesOutThoseTooShort) {
    const std::string csv = "a,b\n1,2\n3\n4,5\n6,7\n";
    auto parsed = parse_table({reinterpret_cast<const std::uint8_t*>(csv.data()), csv.size()}, {});
    ASSERT_TRUE(parsed.ok());
    using Sample = std::vector<std::string_view>;
    EXPECT_EQ(column_sample(*parsed->table, 1, 3), (Sample{"2", "5"}));
    EXPECT_EQ(column_sample(*parsed->table, 0, kInferenceSampleRows), (Sample{"1", "3", "4", "6"}));
    EXPECT_EQ(column_sample(*parsed->table, 2, kInferenceSampleRows), Sample{});
}

}  // namespace
}  // namespace brelt
