// A table stream's pieces, put together, are what one parse of the whole
// input gives: the same rows, names and errors, for every piece size.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "table/parse_table.hpp"
#include "table_rows.hpp"

namespace brelt {
namespace {

using Rows = testing::TableRows;

struct Outcome {
    Rows rows;
    std::vector<std::string> names;
    std::string error;  // empty on success

    bool operator==(const Outcome&) const = default;
};

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Outcome whole(std::string_view input, const TableOptions& options) {
    Outcome outcome;
    auto parsed = parse_table(bytes_of(input), options);
    if (!parsed) return {{}, {}, parsed.error().message};
    testing::append_table_rows(*parsed->table, outcome.rows);
    outcome.names = parsed->table->column_names();
    return outcome;
}

Outcome in_pieces(std::string_view input, const TableOptions& options, std::uint64_t piece) {
    Outcome outcome;
    auto stream = TableStream::open(bytes_of(input), options);
    if (!stream) return {{}, {}, stream.error().message};
    std::uint64_t stored = 0;
    do {
        auto parsed = (*stream)->next(piece);
        if (!parsed) return {{}, {}, parsed.error().message};
        EXPECT_LE(parsed->rows, piece);
        EXPECT_EQ(parsed->rows, parsed->table->row_count());
        stored += parsed->rows;
        testing::append_table_rows(*parsed->table, outcome.rows);
        outcome.names = parsed->table->column_names();
    } while (!(*stream)->finished());
    EXPECT_EQ(stored, outcome.rows.size());
    return outcome;
}

// Short records of a few letters, quotes, CR LF, blank lines and the odd
// ragged record, so strictness and quoting meet piece edges.
std::string random_csv(std::mt19937& rng) {
    static const char* const fields[] = {"a", "bc", "\"q,\"\"x\"\"\"", "\"l\nf\"", "", "7"};
    std::string out;
    const int records = static_cast<int>(rng() % 40);
    const int width = 1 + static_cast<int>(rng() % 4);
    for (int r = 0; r < records; ++r) {
        const int count = rng() % 15 == 0 ? 1 + static_cast<int>(rng() % 5) : width;
        for (int c = 0; c < count; ++c) {
            if (c != 0) out += ',';
            out += fields[rng() % 6];
        }
        out += rng() % 8 == 0 ? "\r\n" : rng() % 10 == 0 ? "\n\n" : "\n";
    }
    return out;
}

TEST(TableStream, PiecesMatchTheWholeParse) {
    std::mt19937 rng(29);
    for (int i = 0; i < 3000; ++i) {
        const std::string input = random_csv(rng);
        TableOptions options;
        options.has_header = rng() % 3 != 0;
        options.strict = rng() % 2 == 0;
        options.skip_rows = rng() % 4 == 0 ? rng() % 5 : 0;
        if (rng() % 4 == 0) options.max_rows = rng() % 10;
        if (options.has_header && rng() % 4 == 0) {
            options.columns = std::vector<std::string>{"a", "zz", "7", "a"};
        }
        const Outcome expected = whole(input, options);
        for (const std::uint64_t piece : {1, 2, 3, 7, 1000}) {
            ASSERT_EQ(in_pieces(input, options, piece), expected) << "input:\n"
                                                                  << input << "\npiece " << piece;
        }
    }
}

TEST(TableStream, AnErrorComesFromThePieceThatReachesIt) {
    TableOptions options;
    options.strict = true;
    const std::string input = "a,b\n1,2\n3,4\n5\n";
    auto stream = TableStream::open(bytes_of(input), options);
    ASSERT_TRUE(stream.ok());
    auto first = (*stream)->next(2);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first->rows, 2u);
    auto second = (*stream)->next(2);
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().message, whole(input, options).error);
}

}  // namespace
}  // namespace brelt
