// parse_table's batch path against its record-at-a-time path, on every scan
// path: random tables of plain and quoted fields (doubled quotes, embedded
// delimiters and line feeds, CR LF, blank lines, malformed quoting) long
// enough to cross many 64-byte blocks, under random options and limits.
// Both must store the same rows and names or fail with the same message.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "csv_reference.hpp"
#include "table/parse_table.hpp"
#include "table_rows.hpp"

namespace brelt {
namespace {

struct Snapshot {
    std::optional<std::string> error;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> names;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const std::string& input, const TableOptions& options,
                  const TableLimits& limits) {
    Result<ParseResult> result = parse_table(
        {reinterpret_cast<const std::uint8_t*>(input.data()), input.size()}, options, limits);
    Snapshot out;
    if (!result) {
        out.error = result.error().message;
        return out;
    }
    const ParsedTable& table = *result->table;
    EXPECT_EQ(result->rows, table.row_count());
    out.rows = testing::table_rows(table);
    out.names = table.column_names();
    return out;
}

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

TEST(ParseTableDifferential, BatchAndRecordPathsStoreTheSameTable) {
    std::mt19937_64 rng(20261206);
    const char delimiters[] = {',', ',', ',', ';', '\t', '\0', '"', '\n', '\r'};
    const std::vector<Isa> isas = supported_isas();
    for (int round = 0; round < 6000; ++round) {
        const char delimiter = delimiters[rng() % std::size(delimiters)];
        const std::string input = random_table(rng, delimiter);
        TableOptions options;
        options.delimiter = static_cast<std::uint8_t>(delimiter);
        options.has_header = rng() % 2 == 0;
        options.strict = rng() % 3 == 0;
        if (rng() % 4 == 0) options.skip_rows = rng() % 5;
        if (rng() % 4 == 0) options.max_rows = rng() % 30;
        TableLimits limits;
        if (rng() % 8 == 0) limits.max_row_fields = 1 + rng() % 6;
        if (rng() % 8 == 0) limits.max_fields = rng() % 100;
        if (rng() % 8 == 0) limits.max_text_bytes = rng() % 400;
        if (rng() % 8 == 0) limits.max_table_rows = rng() % 20;

        options.tuning.isa = Isa::Scalar;
        options.tuning.batch_records = false;
        options.tuning.simple_records = false;
        const Snapshot expected = snapshot(input, options, limits);
        for (const Isa isa : isas) {
            options.tuning.isa = isa;
            options.tuning.batch_records = true;
            options.tuning.simple_records = rng() % 2 == 0;
            ASSERT_EQ(snapshot(input, options, limits), expected)
                << "round " << round << " isa " << isa_name(isa);
        }
    }
}

// Each awkward piece at every offset from a 64-byte block edge: a quoted
// field or a CR LF split by the edge must read as anywhere else.
TEST(ParseTableDifferential, EveryPieceAtEveryBlockOffset) {
    const std::string pieces[] = {"\"a,\"\"b\"\r\n",           "x\r\n",  "\"q\"\r\n", "\"\"\n",
                                  "\"two\nlines\",\"\"\"\"\n", "a\"b\n", "\"a\"b\n",  "\r\n\n"};
    for (const std::string& piece : pieces) {
        for (std::size_t pad = 0; pad < 130; ++pad) {
            const std::string input = "h,i\n" + std::string(pad, 'p') + ",1\n" + piece + "z,2\n";
            TableOptions options;
            options.tuning.batch_records = false;
            const Snapshot expected = snapshot(input, options, {});
            options.tuning.batch_records = true;
            for (const Isa isa : supported_isas()) {
                options.tuning.isa = isa;
                ASSERT_EQ(snapshot(input, options, {}), expected)
                    << "piece " << piece << " pad " << pad << " isa " << isa_name(isa);
            }
        }
    }
}

// The record-at-a-time path is itself checked against the reference reader
// elsewhere; here the batch path is, on its own, for plain tables.
TEST(ParseTableDifferential, BatchPathMatchesTheReferenceReader) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 2000; ++round) {
        const bool strict = rng() % 3 == 0;
        const std::string input = random_table(rng, ',');
        const testing::ReferenceParse reference =
            testing::reference_parse(input, ',', strict, false);
        TableOptions options;
        options.has_header = false;
        options.strict = strict;
        const Snapshot got = snapshot(input, options, {});
        if (reference.error) {
            ASSERT_EQ(got.error, "CSV parse error: " + *reference.error) << "round " << round;
        } else {
            ASSERT_EQ(got.error, std::nullopt) << "round " << round;
            ASSERT_EQ(got.rows, reference.records) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace brelt
