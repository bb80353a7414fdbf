// A table stream's pieces, put together, are what one parse of the whole
// input gives: the same rows, names and errors, for every piece size, and
// for a text that arrives in runs of any size.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "input/byte_reader.hpp"
#include "input/text_reader.hpp"
#include "table/parse_table.hpp"
#include "table/text_runs.hpp"
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

void PrintTo(const Outcome& outcome, std::ostream* out) {
    if (!outcome.error.empty()) *out << "error: " << outcome.error;
    for (const auto& row : outcome.rows) {
        *out << "\n";
        for (const auto& field : row)
            *out << "[" << field << "]";
    }
}

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

// A file's content from memory.
class MemoryBytes final : public ByteReader {
  public:
    explicit MemoryBytes(std::string_view content) : content_(content) {}
    std::optional<Error> fill(std::span<std::uint8_t> out, std::size_t& filled) override {
        filled = std::min(out.size(), content_.size() - position_);
        std::copy_n(content_.data() + position_, filled, out.data());
        position_ += filled;
        return std::nullopt;
    }
    Compression compression() const override { return Compression::None; }
    std::uint64_t file_position() const override { return position_; }
    std::uint64_t file_size() const override { return content_.size(); }

  private:
    std::string_view content_;
    std::size_t position_ = 0;
};

// Read by pieces of `piece` records, from runs of about `run_bytes` made of
// text read `text_piece` bytes at a time; a whole input when run_bytes is 0.
Outcome in_pieces(std::string_view input, const TableOptions& options, std::uint64_t piece,
                  std::size_t run_bytes = 0, std::size_t text_piece = 1) {
    Outcome outcome;
    std::unique_ptr<TextRuns> runs;
    Result<std::unique_ptr<TableStream>> stream = Error();
    if (run_bytes == 0) {
        stream = TableStream::open(bytes_of(input), options);
    } else {
        TextEncoding utf8;
        runs = std::make_unique<TextRuns>(
            std::make_unique<TextReader>(std::make_unique<MemoryBytes>(input),
                                         std::span<const std::uint8_t>(), utf8, false, text_piece),
            run_bytes);
        stream = TableStream::open(*runs, options);
    }
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

// Short records of a few letters, quotes (stray ones too), CR LF, blank lines
// and the odd ragged record, so strictness and quoting meet piece edges.
std::string random_csv(std::mt19937& rng, char delimiter = ',') {
    static const char* const fields[] = {"a", "bc",   "\"q,\"\"x\"\"\"", "\"l\nf\"", "",
                                         "7", "x\"y", "\"a\"b"};
    std::string out;
    const int records = static_cast<int>(rng() % 40);
    const int width = 1 + static_cast<int>(rng() % 4);
    for (int r = 0; r < records; ++r) {
        const int count = rng() % 15 == 0 ? 1 + static_cast<int>(rng() % 5) : width;
        for (int c = 0; c < count; ++c) {
            if (c != 0) out += delimiter;
            out += fields[rng() % (rng() % 5 == 0 ? 8 : 6)];
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

TEST(TableStream, TextInRunsMatchesTheWholeParse) {
    std::mt19937 rng(31);
    static const char delimiters[] = {',', ';', '\t', '"', '\n', '\r'};
    for (int i = 0; i < 3000; ++i) {
        TableOptions options;
        options.delimiter = static_cast<std::uint8_t>(delimiters[rng() % 6]);
        const std::string input = random_csv(rng, static_cast<char>(options.delimiter));
        options.has_header = rng() % 3 != 0;
        options.strict = rng() % 2 == 0;
        options.skip_rows = rng() % 4 == 0 ? rng() % 5 : 0;
        const Outcome expected = whole(input, options);
        const std::size_t run_bytes = 1 + rng() % 40;
        const std::size_t text_piece = 1 + rng() % 16;
        const std::uint64_t piece = 1 + rng() % 8;
        ASSERT_EQ(in_pieces(input, options, piece, run_bytes, text_piece), expected)
            << "input:\n"
            << input << "\nrun " << run_bytes << " text piece " << text_piece << " piece " << piece
            << " delimiter " << int(options.delimiter) << " header " << options.has_header
            << " strict " << options.strict << " skip " << options.skip_rows;
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
