// parse_table on every path (instruction set, batch, simple and general
// record paths, window sizes, table stream pieces) against the scalar
// record-at-a-time path and the reference reader (table_paths.hpp): random
// tables under random options and limits, each awkward piece at every offset
// from a 64-byte block edge, and random bytes dense in delimiters, quotes, CR
// and LF, short and across many windows.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "scaled_rounds.hpp"
#include "table_paths.hpp"

namespace brelt {
namespace {

using testing::scaled_rounds;
using testing::table_paths_disagree;

// Mostly well-formed fields, so that long runs go through the batch path,
// with a sprinkling of everything that must leave it.
std::string random_field(std::mt19937_64& rng, char delimiter) {
    std::string field;
    switch (rng() % 16) {
        case 0:
            field.append("\"").append(rng() % 4, 'q').append("\"\"");
            field.append(1, delimiter).append("x\"");
            return field;
        case 1:
            return field.append("\"two\nlines").append(1, delimiter).append("\"");
        case 2:  // may cross blocks
            return field.append("\"").append(rng() % 90, 'L').append("\"");
        case 3:
            return field.append(rng() % 80, 'p');
        case 4:
            return "\"\"";
        case 5:
            return "\"a\"\"\"";  // a doubled quote right before the closing one
        case 7:                  // a doubled quote in a field longer than a block
            return field.append("\"").append(30 + rng() % 60, 'D').append("\"\"e\"");
        case 6: {
            static const char* const rare[] = {"ab\"cd",  "\"ab\"cd", "\"open",       "x\ry",
                                               "\"q\"\r", "\"\"\"",   "\xEF\xBB\xBF", "\"a\r\""};
            return rare[rng() % std::size(rare)];
        }
        default:
            return std::to_string(rng() % 100000);
    }
}

std::string random_table(std::mt19937_64& rng, char delimiter) {
    std::string input;
    if (rng() % 8 == 0) input = "\xEF\xBB\xBF";
    const std::size_t records = rng() % 40;
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
    const char delimiters[] = {',', ',', ',', ';', '\t', '\0', '"', '\n', '\r'};
    for (int round = 0; round < scaled_rounds(4000); ++round) {
        const char delimiter = delimiters[rng() % std::size(delimiters)];
        const std::string input = random_table(rng, delimiter);
        TableOptions options;
        options.delimiter = static_cast<std::uint8_t>(delimiter);
        options.has_header = rng() % 2 == 0;
        options.strict = rng() % 3 == 0;
        if (rng() % 4 == 0) options.skip_rows = rng() % 5;
        if (rng() % 4 == 0) options.max_rows = rng() % 30;
        if (rng() % 6 == 0) options.columns = {{"1", "\"\"", "no such name"}};
        TableLimits limits;
        if (rng() % 8 == 0) limits.max_row_fields = 1 + rng() % 6;
        if (rng() % 8 == 0) limits.max_fields = rng() % 100;
        if (rng() % 8 == 0) limits.max_text_bytes = rng() % 400;
        if (rng() % 8 == 0) limits.max_table_rows = rng() % 20;
        ASSERT_EQ(table_paths_disagree(input, options, limits, 1 + rng() % 100, 1 + rng() % 7), "")
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

// Short runs of the bytes that matter, plus long plain and quoted runs that
// reach the wide vector loops.
std::string random_bytes(std::mt19937_64& rng, char delimiter) {
    static const std::string pieces[] = {",",       ",", "\"", "\"", "\"\"", "\r", "\n",
                                         "\r\n",    "a", "bc", " ",  ";",    "\t", "\xEF\xBB\xBF",
                                         "\xC3\xA9"};
    std::string input;
    if (rng() % 16 == 0) input = "\xEF\xBB\xBF";
    const std::size_t parts = rng() % 64;
    for (std::size_t i = 0; i < parts; ++i) {
        const std::uint64_t pick = rng() % 24;
        if (pick < 15) {
            input += pieces[pick];
        } else if (pick < 18) {
            input.push_back(delimiter);
        } else if (pick < 21) {
            input.append(rng() % 200, 'x');
        } else {
            input += '"' + std::string(rng() % 300, 'y') + (rng() % 2 ? "," : "\n") + '"';
        }
    }
    return input;
}

TEST(ParseTableDifferential, RandomBytesMatchTheReference) {
    std::mt19937_64 rng(7);
    const char delimiters[] = {',', ',', ',', ';', '\t', '"', '\n', '\r', 'x'};
    const std::size_t chunk_sizes[] = {1, 3, 16, 17, 64, 100, 8192};
    for (int round = 0; round < scaled_rounds(4000); ++round) {
        const char delimiter = delimiters[rng() % std::size(delimiters)];
        TableOptions options;
        options.delimiter = static_cast<std::uint8_t>(delimiter);
        options.has_header = false;
        options.strict = rng() % 4 == 0;
        const std::size_t chunk_size = chunk_sizes[rng() % std::size(chunk_sizes)];
        ASSERT_EQ(table_paths_disagree(random_bytes(rng, delimiter), options, {}, chunk_size, 3),
                  "")
            << "round " << round;
    }
    for (int round = 0; round < scaled_rounds(16); ++round) {
        std::string input;
        while (input.size() < 40000)
            input += random_bytes(rng, ',');
        TableOptions options;
        options.has_header = false;
        ASSERT_EQ(table_paths_disagree(input, options, {}, 8192, 1000), "") << "long " << round;
    }
}

}  // namespace
}  // namespace brelt
