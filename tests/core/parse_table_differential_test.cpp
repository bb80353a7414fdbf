// parse_table on every path (instruction set, batch, simple and general
// record paths, window sizes, table stream pieces, text runs) against the
// scalar record-at-a-time path and the reference reader (table_paths.hpp):
// random tables under random options and limits, and each awkward piece at
// every offset from a 64-byte block edge.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "scaled_rounds.hpp"
#include "table_paths.hpp"

namespace brelt {
namespace {

using testing::table_paths_disagree;

// Mostly well-formed fields, so that long runs go through the batch path,
// with a sprinkling of everything that must leave it.
std::string random_field(std::mt19937_64& rng, char delimiter) {
    static const std::string soup[] = {",", "\"", "\"", "\"\"", "\r",           "\n",      "\r\n",
                                       "a", " ",  ";",  "\t",   "\xEF\xBB\xBF", "\xC3\xA9"};
    std::string field;
    switch (rng() % 16) {
        case 0:
            return field.append("\"").append(rng() % 4, 'q').append("\"\"") + delimiter + "x\"";
        case 1:
            return field.append("\"two\nlines").append(1, delimiter).append("\"");
        case 2:  // may cross blocks
            return field.append("\"").append(rng() % 300, 'L').append(rng() % 2 ? "," : "\n\"");
        case 3:
            return field.append(rng() % 200, 'p');
        case 4:
            return rng() % 2 ? "\"\""
                             : "\"a\"\"\"";  // a doubled quote right before the closing one
        case 5:                              // a doubled quote in a field longer than a block
            return field.append("\"").append(30 + rng() % 60, 'D').append("\"\"e\"");
        case 6: {
            static const char* const rare[] = {"ab\"cd",  "\"ab\"cd", "\"open",       "x\ry",
                                               "\"q\"\r", "\"\"\"",   "\xEF\xBB\xBF", "\"a\r\""};
            return rare[rng() % std::size(rare)];
        }
        case 7:  // bytes dense in what matters
            for (std::size_t i = rng() % 12; i > 0; --i)
                field += rng() % 4 ? soup[rng() % std::size(soup)] : std::string(1, delimiter);
            return field;
        default:  // small numbers too, so that a header names a column twice
            return std::to_string(rng() % (rng() % 4 ? 100000 : 4));
    }
}

std::string random_table(std::mt19937_64& rng, char delimiter, std::size_t records) {
    std::string input = rng() % 8 == 0 ? "\xEF\xBB\xBF" : "";
    const std::size_t width = 1 + rng() % 6;
    for (std::size_t r = 0; r < records; ++r) {
        // Now and then a record of another width.
        const std::size_t fields = rng() % 10 == 0 ? 1 + rng() % 8 : width;
        for (std::size_t f = 0; f < fields; ++f) {
            if (f != 0) input += delimiter;
            input += random_field(rng, delimiter);
        }
        static const char* const line_ends[] = {"\n", "\n", "\n", "\r\n", "\n\n", "\r\n\r\n", "\r"};
        if (r + 1 < records || rng() % 2 == 0) input += line_ends[rng() % std::size(line_ends)];
    }
    return input;
}

TEST(ParseTableDifferential, RandomTablesOptionsAndLimits) {
    std::mt19937_64 rng(20261206);
    const char delimiters[] = {',', ',', ',', ';', '\t', '\0', '"', '\n', '\r', 'x'};
    const std::size_t chunk_sizes[] = {1, 3, 16, 17, 64, 100, 8192};
    for (int round = 0; round < testing::scaled_rounds(3000); ++round) {
        const char delimiter = delimiters[rng() % std::size(delimiters)];
        const bool long_input = round % 300 == 0;
        const std::string input = random_table(rng, delimiter, long_input ? 4000 : rng() % 40);
        TableOptions options;
        options.delimiter = static_cast<std::uint8_t>(delimiter);
        options.has_header = rng() % 2 == 0;
        if (rng() % 4 == 0) options.skip_rows = rng() % 5;
        if (rng() % 4 == 0) options.max_rows = rng() % 30;
        if (rng() % 6 == 0) options.columns = {{"1", "3", "\"\"", "no such name", "1"}};
        TableLimits limits;  // lowered now and then, where the reference does not follow
        if (rng() % 8 == 0) limits.max_row_fields = 1 + rng() % 6;
        if (rng() % 8 == 0) limits.max_fields = rng() % 100;
        if (rng() % 8 == 0) limits.max_text_bytes = rng() % 400;
        if (rng() % 8 == 0) limits.max_table_rows = rng() % 20;
        options.strict = rng() % 3 == 0;
        const std::size_t chunk = long_input ? 8192 : chunk_sizes[rng() % std::size(chunk_sizes)];
        ASSERT_EQ(table_paths_disagree(input, options, limits, chunk, 1 + rng() % 7), "")
            << "round " << round;
    }
}

// A quoted field or a CR LF split by the block edge must read as anywhere else.
TEST(ParseTableDifferential, EveryPieceAtEveryBlockOffset) {
    const std::string pieces[] = {"\"a,\"\"b\"\r\n",
                                  "x\r\n",
                                  "\"q\"\r\n",
                                  "\"\"\n",
                                  "\"two\nlines\",\"\"\"\"\n",
                                  "a\"b\n",
                                  "\"a\"b\n",
                                  "\r\n\n",
                                  "\"" + std::string(70, 'D') + "\"\"e\"\n"};
    for (const std::string& piece : pieces) {
        for (std::size_t pad = 0; pad < 130; ++pad) {
            const std::string input = "h,i\n" + std::string(pad, 'p') + ",1\n" + piece + "z,2\n";
            ASSERT_EQ(table_paths_disagree(input, {}, {}, 8192, 2), "")
                << "piece " << piece << " pad " << pad;
        }
    }
}

}  // namespace
}  // namespace brelt
