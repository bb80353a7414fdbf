// The dialect engine's paths agree (dialect_paths.hpp): random dialects over
// inputs dense in the characters that matter, short and long enough for the
// wide vector loops, cut at random; plus the field limit, which the Python
// suite's comparison with the csv module leaves at its default.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dialect_paths.hpp"
#include "scaled_rounds.hpp"

namespace brelt {
namespace {

using dialect::DialectChar;
using dialect::DialectOptions;

std::string random_text(std::mt19937_64& rng, std::size_t parts) {
    static const std::string pieces[] = {",", ";", "\"", "\"", "'", "\\", "\r", "\n", "\r\n",
                                         " ", "a", "bc", "é",  "è", "€",  "\t", "|",  {"\0", 1}};
    std::string text;
    for (std::size_t i = 0; i < parts; ++i) {
        const std::uint64_t pick = rng() % 24;
        if (pick < std::size(pieces)) {
            text += pieces[pick];
        } else if (pick < 22) {
            text.append(rng() % 100, 'x');
        } else {
            text.append("\"").append(rng() % 120, 'y').append("\"");
        }
    }
    return text;
}

TEST(DialectParser, EveryPathAgreesOnRandomDialectsAndInputs) {
    std::mt19937_64 rng(20261207);
    for (int round = 0; round < testing::scaled_rounds(6000); ++round) {
        std::string text = random_text(rng, round % 500 == 0 ? 3000 : rng() % 40);
        if (round % 1500 == 0) text += std::string(70000, 'z') + ",tail\n";
        // Mostly a comma, a double quote and no escape, the common case.
        const std::uint8_t bytes[] = {static_cast<std::uint8_t>(rng() % 2 ? 0 : rng()),
                                      static_cast<std::uint8_t>(rng() % 2 ? 4 : rng()),
                                      static_cast<std::uint8_t>(rng() % 2 ? 15 : rng()),
                                      static_cast<std::uint8_t>(rng()),
                                      static_cast<std::uint8_t>(rng())};
        const DialectOptions options = testing::dialect_from_bytes(bytes);
        ASSERT_EQ(testing::dialect_paths_disagree(text, testing::random_cuts(text, rng, 40),
                                                  testing::random_cuts(text, rng, 40), options),
                  "")
            << "round " << round << " text " << ::testing::PrintToString(text);
    }
}

// A field holds up to the limit in characters (a multi-byte one counts once);
// one more fails the record; a negative limit allows none.
TEST(DialectParser, FieldLimitCountsCharacters) {
    using enum dialect::RecordStatus;
    const struct {
        std::int64_t limit;
        const char* text;
        std::vector<dialect::RecordStatus> statuses;
    } cases[] = {{3,
                  "abc,é€d\nab,\"a\"\"b\"\nabcd\n\"éé\"\"é\"\n",
                  {Row, Row, FieldTooLarge, FieldTooLarge}},
                 {0, ",\"\"\na\n", {Row, FieldTooLarge}},
                 {-1, "a\n", {FieldTooLarge}}};
    for (const auto& c : cases) {
        DialectOptions options;
        options.delimiter = DialectChar::of(",");
        options.quote = DialectChar::of("\"");
        options.field_limit = c.limit;
        std::vector<dialect::RecordStatus> statuses;
        for (const std::string& entry : testing::parse_in_pieces({c.text}, false, options))
            statuses.push_back(static_cast<dialect::RecordStatus>(std::stoi(entry)));
        EXPECT_EQ(statuses, c.statuses) << c.text;
    }
}

}  // namespace
}  // namespace brelt
