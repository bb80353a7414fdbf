#include "table/read_plan.hpp"

#include <algorithm>
#include <charconv>
#include <utility>

#include "table/column_sample.hpp"
#include "types/infer.hpp"

namespace brelt {

namespace {

std::string generated_name(std::size_t position) {
    return std::string(kGeneratedNamePrefix) + std::to_string(position + 1);
}

// The column a generated name stands for: "column_<k>" with 1 <= k <= width,
// written without a sign or leading zeros.
std::optional<std::size_t> generated_column(std::string_view name, std::size_t width) {
    if (!name.starts_with(kGeneratedNamePrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kGeneratedNamePrefix.size());
    if (digits.empty() || digits.front() == '0') return std::nullopt;
    std::size_t k = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (error != std::errc() || end != digits.data() + digits.size() || k > width) {
        return std::nullopt;
    }
    return k - 1;
}

std::size_t widest_row(const ParsedTable& table) {
    std::size_t widest = 0;
    for (std::size_t r = 0; r < table.row_count(); ++r) {
        widest = std::max(widest, table.field_count(r));
    }
    return widest;
}

// The named columns of the table as (name, source column) pairs, in order.
std::vector<std::pair<std::string, std::size_t>> named_columns(const ParsedTable& table,
                                                               const ReadRequest& request,
                                                               std::optional<std::size_t> widest) {
    std::vector<std::pair<std::string, std::size_t>> named;
    if (request.has_header) {
        const auto& names = table.column_names();
        for (std::size_t c = 0; c < names.size(); ++c)
            named.emplace_back(names[c], c);
        return named;
    }
    const std::size_t width = widest ? *widest : widest_row(table);
    if (!request.columns) {
        for (std::size_t c = 0; c < width; ++c)
            named.emplace_back(generated_name(c), c);
        return named;
    }
    for (const std::string& name : *request.columns) {
        if (const auto source = generated_column(name, width)) named.emplace_back(name, *source);
    }
    return named;
}

ColumnType column_type(const ParsedTable& table, const ReadRequest& request,
                       const std::string& name, std::size_t source) {
    if (request.schema) {
        const auto found = request.schema->find(name);
        return found == request.schema->end() ? ColumnType::Str : found->second;
    }
    return infer_column_type(column_sample(table, source, kInferenceSampleRows), request.nulls);
}

}  // namespace

// A name given twice keeps its first position and the last column's value, as
// assigning the columns to a dict in order would.
void plan_columns(const ParsedTable& first, const ReadRequest& request, ReadPlan& plan,
                  std::optional<std::size_t> widest) {
    const auto named = named_columns(first, request, widest);
    std::unordered_map<std::string_view, std::size_t> key_of_name;
    std::vector<std::size_t> sources;
    plan.keys.clear();
    plan.columns.clear();
    for (const auto& [name, source] : named) {
        const auto [slot, inserted] = key_of_name.try_emplace(name, plan.keys.size());
        if (inserted) {
            plan.keys.push_back(name);
            sources.push_back(source);
        } else {
            sources[slot->second] = source;
        }
    }
    plan.columns.reserve(plan.keys.size());
    for (std::size_t k = 0; k < plan.keys.size(); ++k) {
        plan.columns.push_back({sources[k], column_type(first, request, plan.keys[k], sources[k])});
    }
    plan.nulls = request.nulls;
}

TableOptions table_options(const ReadRequest& request, char delimiter) {
    TableOptions options;
    options.delimiter = static_cast<std::uint8_t>(delimiter);
    options.has_header = request.has_header;
    options.skip_rows = request.skip_rows;
    options.max_rows = request.max_rows;
    if (request.has_header) options.columns = request.columns;
    options.strict = request.strict;
    if (request.part && request.part->start > 0) options.mid_file = request.part->mid_file;
    return options;
}

}  // namespace brelt
