// parse_table over arbitrary bytes with a random delimiter, strictness,
// header choice and column selection: every scan path, all three record
// paths (batch, simple, general) and several window sizes must build the
// same table, as must a table stream's pieces put together; and without a
// header or selection the table must hold exactly the reference reader's
// records.
//
// Input layout: byte 0 picks the delimiter and flags, byte 1 the window size,
// byte 2 the selection; the rest is the CSV text.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "csv_reference.hpp"
#include "table/parse_table.hpp"
#include "table_rows.hpp"

namespace {

struct Snapshot {
    bool ok = false;
    std::string error;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> names;
};

void append_rows(const brelt::ParsedTable& table, Snapshot& out) {
    brelt::testing::append_table_rows(table, out.rows);
    out.names = table.column_names();
}

Snapshot snapshot(std::span<const std::uint8_t> input, const brelt::TableOptions& options) {
    Snapshot out;
    auto result = brelt::parse_table(input, options);
    if (!result) {
        out.error = result.error().message;
        return out;
    }
    out.ok = true;
    if (result->rows != result->table->row_count()) std::abort();
    append_rows(*result->table, out);
    return out;
}

// The same parse a piece of `piece` records at a time, put back together.
Snapshot in_pieces(std::span<const std::uint8_t> input, const brelt::TableOptions& options,
                   std::uint64_t piece) {
    Snapshot out;
    auto stream = brelt::TableStream::open(input, options);
    if (!stream) {
        out.error = stream.error().message;
        return out;
    }
    do {
        auto result = (*stream)->next(piece);
        if (!result) {
            return Snapshot{false, result.error().message, {}, {}};
        }
        if (result->rows != result->table->row_count() || result->rows > piece) std::abort();
        append_rows(*result->table, out);
    } while (!(*stream)->finished());
    out.ok = true;
    return out;
}

bool same(const Snapshot& a, const Snapshot& b) {
    return a.ok == b.ok && a.error == b.error && a.rows == b.rows && a.names == b.names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const char delimiters[] = {',', ';', '\t', '|', '"', '\n', '\r', 'a'};
    static const std::size_t chunk_sizes[] = {1, 2, 7, 16, 33, 64, 8192};
    const std::uint8_t flags = data[0];
    const char delimiter = delimiters[flags & 7];
    const bool strict = flags & 8;
    const bool has_header = flags & 16;
    const bool select = flags & 32;
    const std::size_t chunk_size = chunk_sizes[data[1] % std::size(chunk_sizes)];
    const std::uint8_t selection_bits = data[2];
    const std::span<const std::uint8_t> input(data + 3, size - 3);
    const std::string text(reinterpret_cast<const char*>(input.data()), input.size());

    brelt::TableOptions options;
    options.delimiter = static_cast<std::uint8_t>(delimiter);
    options.strict = strict;
    options.has_header = has_header;
    const brelt::testing::ReferenceParse reference =
        brelt::testing::reference_parse(text, delimiter, strict, has_header);
    if (select) {
        // Names from the header as the reference reads it, some twice, plus
        // one that matches nothing; invalid UTF-8 in names simply won't match.
        std::vector<std::string> columns{"no such column"};
        if (!reference.records.empty()) {
            const auto& header = reference.records.front();
            for (std::size_t i = 0; i < header.size() && i < 8; ++i) {
                if (selection_bits & (1u << i)) columns.push_back(header[i]);
            }
            if (!header.empty() && (selection_bits & 1)) columns.push_back(header.back());
        }
        options.columns = columns;
    }

    options.tuning.isa = brelt::Isa::Scalar;
    options.tuning.simple_records = false;
    options.tuning.batch_records = false;
    const Snapshot baseline = snapshot(input, options);
    for (const brelt::Isa isa : brelt::supported_isas()) {
        for (const bool simple : {false, true}) {
            for (const bool batch : {false, true}) {
                options.tuning.isa = isa;
                options.tuning.simple_records = simple;
                options.tuning.batch_records = batch;
                options.tuning.chunk_size = simple ? 8192 : chunk_size;
                if (!same(snapshot(input, options), baseline)) std::abort();
            }
        }
    }

    // Pieces of a table stream hold what the whole parse holds.
    options.tuning = brelt::ScanTuning{};
    if (!same(in_pieces(input, options, 1 + selection_bits % 5), baseline)) std::abort();

    if (!select && !has_header) {
        if (reference.error.has_value() != !baseline.ok) std::abort();
        if (baseline.ok && baseline.rows != reference.records) std::abort();
        if (!baseline.ok && baseline.error != "CSV parse error: " + *reference.error) std::abort();
    }
    return 0;
}
