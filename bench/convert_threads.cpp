// The conversion phase of a typed read on 1 or N pool threads: every column of
// a parsed mixed table typed as inference picks, one column per task.
//
//     brelt_convert_threads THREADS [MEGABYTES]
//
// The pool's size is fixed for the life of a process, so each thread count is
// its own run; `make bench` runs 1 and 2 and prints the ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "csv_samples.hpp"
#include "parallel/convert_columns.hpp"
#include "parallel/worker_pool.hpp"
#include "table/parse_table.hpp"
#include "types/convert.hpp"

namespace {

using namespace brelt;

constexpr int kRuns = 9;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s THREADS [MEGABYTES]\n", argv[0]);
        return 2;
    }
    const unsigned long threads = std::strtoul(argv[1], nullptr, 10);
    const unsigned long megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
    request_pool_size(threads);

    const std::string csv = bench::mixed_unquoted_csv(megabytes << 20);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(csv.data()),
                                              csv.size());
    auto parsed = parse_table(bytes, TableOptions{});
    if (!parsed) {
        std::fprintf(stderr, "%s\n", parsed.error().message.c_str());
        return 1;
    }
    const ParsedTable& table = *parsed->table;
    const NullValues nulls = NullValues::defaults();
    std::vector<ColumnPlan> plans;
    for (std::size_t column = 0; column < table.column_names().size(); ++column) {
        plans.push_back({column, infer_column_type(table, column, kInferenceSampleRows, nulls)});
    }
    const std::size_t rows = table.row_count();
    auto cells = std::make_unique<CellValue[]>(rows * plans.size());
    std::vector<double> seconds;
    for (int run = 0; run <= kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        convert_columns(table, 0, rows, plans, nulls, threads > 1, cells.get());
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (run > 0) seconds.push_back(elapsed.count());  // the first run warms pages and pool
    }
    const double best = median(seconds);
    std::printf("convert_columns threads=%zu rows=%zu columns=%zu: %.1f ms, %.2f GB/s of text\n",
                pool_size(), rows, plans.size(), best * 1e3,
                static_cast<double>(csv.size()) / best / 1e9);
    // Per-column cost on the calling thread: how evenly one-column tasks split.
    for (std::size_t k = 0; k < plans.size(); ++k) {
        const auto start = std::chrono::steady_clock::now();
        convert_columns(table, 0, rows, std::span(plans).subspan(k, 1), nulls, false, cells.get());
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("  column %zu (%s): %.1f ms\n", k, table.column_names()[k].c_str(),
                    elapsed.count() * 1e3);
    }
    return 0;
}
