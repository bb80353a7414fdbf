// Typing cost per cell: convert_cell over each column of a mixed CSV under the
// type inference picks for it, inference itself, and the float parser alone on
// full-precision texts.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "csv_samples.hpp"
#include "table/column_sample.hpp"
#include "table/parse_table.hpp"
#include "types/cell_text.hpp"
#include "types/convert.hpp"
#include "types/infer.hpp"

namespace {

using namespace brelt;

const ParsedTable& mixed_table() {
    static const TableRef table = [] {
        const std::string csv = bench::mixed_unquoted_csv(8 << 20);
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(csv.data()),
                                                  csv.size());
        return std::move(parse_table(bytes, TableOptions{}).value().table);
    }();
    return *table;
}

// Time per cell as a counter, shown in seconds with an SI prefix.
void report_per_cell(benchmark::State& state, std::size_t cells) {
    state.counters["per_cell"] = benchmark::Counter(
        static_cast<double>(cells),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ConvertColumn(benchmark::State& state) {
    const ParsedTable& table = mixed_table();
    const auto column = static_cast<std::size_t>(state.range(0));
    const NullValues nulls = NullValues::defaults();
    const ColumnType type =
        infer_column_type(column_sample(table, column, kInferenceSampleRows), nulls);
    static const char* const kTypeNames[] = {"int", "float", "bool", "str"};
    state.SetLabel(table.column_names()[column] + ":" + kTypeNames[static_cast<int>(type)]);
    for (auto _ : state) {
        for (std::size_t row = 0; row < table.row_count(); ++row) {
            const CellValue cell = convert_cell(table.field(row, column), type, nulls);
            benchmark::DoNotOptimize(cell);
        }
    }
    report_per_cell(state, table.row_count());
}
BENCHMARK(BM_ConvertColumn)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

void BM_InferColumnType(benchmark::State& state) {
    const ParsedTable& table = mixed_table();
    const NullValues nulls = NullValues::defaults();
    const std::size_t columns = table.column_names().size();
    for (auto _ : state) {
        for (std::size_t column = 0; column < columns; ++column)
            benchmark::DoNotOptimize(
                infer_column_type(column_sample(table, column, kInferenceSampleRows), nulls));
    }
    report_per_cell(state, columns * kInferenceSampleRows);
}
BENCHMARK(BM_InferColumnType)->Unit(benchmark::kMicrosecond);

// Random doubles written with 17 significant digits: the longest texts that
// still round-trip, and the slowest for the parser's exact path.
void BM_ParseFloatText(benchmark::State& state) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> magnitude(-300, 300);
    std::vector<std::string> texts;
    for (int i = 0; i < 1 << 16; ++i) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", std::pow(10.0, magnitude(rng)));
        texts.emplace_back(text);
    }
    for (auto _ : state) {
        for (const std::string& text : texts) {
            double value;
            benchmark::DoNotOptimize(parse_float_text(text, value));
            benchmark::DoNotOptimize(value);
        }
    }
    report_per_cell(state, texts.size());
}
BENCHMARK(BM_ParseFloatText)->Unit(benchmark::kMillisecond);

}  // namespace
