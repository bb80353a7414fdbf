// One parse on every path against the plainest, for the table tests and the
// tokenizer fuzz target: every instruction set, record path (batch, simple,
// general) and window size must store what the scalar record-at-a-time path
// stores (rows, names, or the same error), and so must a table stream's pieces
// put together (within the default limits, which hold per piece); and a plain
// parse (no header, selection, skipping or lowered limits) must hold exactly
// the reference reader's records.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv_reference.hpp"
#include "table/parse_table.hpp"
#include "table_rows.hpp"

namespace brelt::testing {

struct TableSnapshot {
    std::optional<std::string> error;
    TableRows rows;
    std::vector<std::string> names;
    bool operator==(const TableSnapshot&) const = default;
};

inline std::span<const std::uint8_t> input_bytes(std::string_view input) {
    return {reinterpret_cast<const std::uint8_t*>(input.data()), input.size()};
}

inline TableSnapshot table_snapshot(std::string_view input, const TableOptions& options,
                                    const TableLimits& limits) {
    TableSnapshot out;
    Result<ParseResult> result = parse_table(input_bytes(input), options, limits);
    if (!result) {
        out.error = result.error().message;
        return out;
    }
    if (result->rows != result->table->row_count()) out.error = "row count differs";
    out.rows = table_rows(*result->table);
    out.names = result->table->column_names();
    return out;
}

// The same parse a piece of at most `piece` records at a time, put together.
inline TableSnapshot pieces_snapshot(std::string_view input, const TableOptions& options,
                                     const TableLimits& limits, std::uint64_t piece) {
    TableSnapshot out;
    auto stream = TableStream::open(input_bytes(input), options, limits);
    if (!stream) return {stream.error().message, {}, {}};
    do {
        auto result = (*stream)->next(piece);
        if (!result) return {result.error().message, {}, {}};
        if (result->rows != result->table->row_count() || result->rows > piece) {
            return {"piece size differs", {}, {}};
        }
        append_table_rows(*result->table, out.rows);
        out.names = result->table->column_names();
    } while (!(*stream)->finished());
    return out;
}

// Empty when every path agrees, else the first path that does not.
inline std::string table_paths_disagree(std::string_view input, TableOptions options,
                                        const TableLimits& limits, std::size_t chunk_size,
                                        std::uint64_t piece) {
    options.tuning = {Isa::Scalar, chunk_size, false, false};
    const TableSnapshot expected = table_snapshot(input, options, limits);
    for (const Isa isa : supported_isas()) {
        for (const bool simple : {false, true}) {
            for (const bool batch : {false, true}) {
                options.tuning = {isa, chunk_size, simple, batch};
                if (table_snapshot(input, options, limits) != expected) {
                    return std::string(isa_name(isa)) + (simple ? ", simple" : "") +
                           (batch ? ", batch" : "") + " differs";
                }
            }
        }
    }
    const TableLimits defaults;
    const bool default_limits = limits.max_text_bytes == defaults.max_text_bytes &&
                                limits.max_fields == defaults.max_fields &&
                                limits.max_row_fields == defaults.max_row_fields &&
                                limits.max_table_rows == defaults.max_table_rows;
    // The limits hold per piece, so only a parse within the defaults has the
    // same result in pieces.
    options.tuning = {};
    if (default_limits && pieces_snapshot(input, options, limits, piece) != expected) {
        return "pieces differ";
    }
    const bool plain = default_limits && !options.has_header && !options.columns &&
                       options.skip_rows == 0 && !options.max_rows;
    if (plain) {
        const ReferenceParse reference =
            reference_parse(input, static_cast<char>(options.delimiter), options.strict, false);
        if (reference.error ? expected.error != "CSV parse error: " + *reference.error
                            : expected.error || expected.rows != reference.records) {
            return "the reference reader differs";
        }
    }
    return {};
}

}  // namespace brelt::testing
