// One parse on every path against the plainest, for the table tests and the
// tokenizer fuzz target: every instruction set, record path (batch, simple,
// general) and window size must store what the scalar record-at-a-time path
// stores (rows, names, or the same error), and so must a table stream's pieces
// put together, over the input whole and over text that arrives in runs
// (within the default limits, which hold per piece); and every parse within
// the default limits must hold what the reference reader's records make of
// the options.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "csv_reference.hpp"
#include "input/byte_reader.hpp"
#include "input/text_reader.hpp"
#include "input/utf8_validate.hpp"
#include "table/parse_table.hpp"
#include "table/text_runs.hpp"

namespace brelt::testing {

using TableRows = std::vector<std::vector<std::string>>;

inline TableRows table_rows(const ParsedTable& table) {
    TableRows rows(table.row_count());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < table.field_count(r); ++c)
            rows[r].emplace_back(table.field(r, c));
    }
    return rows;
}

struct TableSnapshot {
    std::optional<std::string> error;
    TableRows rows;
    std::vector<std::string> names;
    bool operator==(const TableSnapshot&) const = default;
};

inline std::span<const std::uint8_t> input_bytes(std::string_view input) {
    return {reinterpret_cast<const std::uint8_t*>(input.data()), input.size()};
}

// Appends a parse's rows to `out`, with its names; the table must hold
// `result.rows` rows, at most `most`, and its text the fields back to back.
inline void add_table(TableSnapshot& out, const ParseResult& result, std::uint64_t most) {
    const TableRows rows = table_rows(*result.table);
    std::size_t text = 0, fields = 0;
    for (const auto& row : rows) {
        for (const auto& field : row)
            text += field.size();
        fields += row.size();
    }
    if (result.rows != rows.size() || rows.size() > most || result.table->text_size() != text ||
        result.table->total_fields() != fields) {
        out.error = "the table's sizes differ";
    }
    out.rows.insert(out.rows.end(), rows.begin(), rows.end());
    out.names = result.table->column_names();
}

inline TableSnapshot table_snapshot(std::string_view input, const TableOptions& options,
                                    const TableLimits& limits) {
    Result<ParseResult> result = parse_table(input_bytes(input), options, limits);
    if (!result) return {result.error().message, {}, {}};
    TableSnapshot out;
    add_table(out, *result, result->rows);
    return out;
}

// The reference reader's records under the options: the header's names, the
// rows after skip_rows up to max_rows, and the selected columns.
inline TableSnapshot reference_table(std::string_view input, const TableOptions& options) {
    ReferenceParse parse = reference_parse(input, static_cast<char>(options.delimiter),
                                           options.strict, options.has_header);
    std::vector<Record>& records = parse.records;
    // A parse reads one record past max_rows, the last whose field count it
    // checks; the records before a failure beyond it are all it needs.
    const std::size_t failed_record = records.size() + (options.has_header ? 0 : 1);
    if (parse.error &&
        (!options.max_rows || failed_record <= options.skip_rows + *options.max_rows + 1)) {
        return {"CSV parse error: " + *parse.error, {}, {}};
    }
    TableSnapshot out;
    if (options.has_header && !records.empty()) {
        out.names = records.front();
        records.erase(records.begin());
    }
    std::vector<std::size_t> selection;
    if (options.columns) {
        const std::vector<std::string> header = std::exchange(out.names, {});
        for (const std::string& name : *options.columns) {
            const auto found = std::find(header.begin(), header.end(), name);
            if (found == header.end()) continue;
            selection.push_back(static_cast<std::size_t>(found - header.begin()));
            out.names.push_back(name);
        }
    }
    const std::size_t begin = std::min<std::size_t>(options.skip_rows, records.size());
    const std::size_t end =
        std::min<std::size_t>(records.size(), begin + options.max_rows.value_or(records.size()));
    for (std::size_t r = begin; r < end; ++r) {
        Record& row = out.rows.emplace_back(options.columns ? Record() : records[r]);
        for (const std::size_t i : selection)
            row.push_back(i < records[r].size() ? records[r][i] : "");
    }
    return out;
}

// A file's content from memory.
struct MemoryBytes final : ByteReader {
    std::string_view content_;
    std::size_t position_ = 0;
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
};

// The same parse a piece of at most `piece` records at a time, put together;
// when `run_bytes` is not 0, from runs of about that many bytes of text read
// a few bytes at a time.
inline TableSnapshot pieces_snapshot(std::string_view input, const TableOptions& options,
                                     std::uint64_t piece, std::size_t run_bytes = 0) {
    std::unique_ptr<TextRuns> runs;
    Result<std::unique_ptr<TableStream>> stream = Error();
    if (run_bytes == 0) {
        stream = TableStream::open(input_bytes(input), options);
    } else {
        runs = std::make_unique<TextRuns>(
            std::make_unique<TextReader>(std::make_unique<MemoryBytes>(input),
                                         std::span<const std::uint8_t>(), TextEncoding(), false,
                                         1 + run_bytes % 16),
            run_bytes);
        stream = TableStream::open(*runs, options);
    }
    if (!stream) return {stream.error().message, {}, {}};
    TableSnapshot out;
    do {
        auto result = (*stream)->next(piece);
        if (!result) return {result.error().message, {}, {}};
        add_table(out, *result, piece);
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
    const TableLimits defaults;  // four counts, no padding
    const bool default_limits = std::memcmp(&limits, &defaults, sizeof limits) == 0;
    // The limits hold per piece, so only a parse within the defaults has the
    // same result in pieces; text is decoded, so only UTF-8 reads the same,
    // and a read skips a byte-order mark, so that offsets start after it.
    options.tuning = {};
    if (default_limits && pieces_snapshot(input, options, piece) != expected) {
        return "pieces differ";
    }
    const bool valid_utf8 = is_valid_utf8(input_bytes(input).data(), input.size());
    if (default_limits && valid_utf8 && !input.starts_with("\xEF\xBB\xBF") &&
        pieces_snapshot(input, options, piece, 1 + chunk_size % 50) != expected) {
        return "pieces of text runs differ";
    }
    // Names that are not UTF-8 are stored with U+FFFD, which the reference
    // leaves alone.
    if (default_limits && (!options.has_header || valid_utf8) &&
        reference_table(input, options) != expected) {
        return "the reference reader differs";
    }
    return {};
}

}  // namespace brelt::testing
