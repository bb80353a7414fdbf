// The lock-free phases of a typed read of one file, timed: load, parse and
// plan (everything before Python objects are made), then typing every cell
// on a pool of THREADS threads, one column per task. The rest of read_csv's
// time is building the Python objects.
//
//     brelt_read_phases THREADS FILE
//
// The pool's size is fixed for the life of a process, so each thread count is
// its own run; `make bench` runs 1 and 2.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "parallel/convert_columns.hpp"
#include "parallel/worker_pool.hpp"
#include "table/prepare_read.hpp"

namespace {

using namespace brelt;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;

template <class Work>
double median_seconds(Work&& work) {
    std::vector<double> seconds;
    for (int run = 0; run <= kRuns; ++run) {
        const auto start = Clock::now();
        work();
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        if (run > 0) seconds.push_back(elapsed.count());  // the first run warms pages and pool
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s THREADS FILE\n", argv[0]);
        return 2;
    }
    const unsigned long threads = std::strtoul(argv[1], nullptr, 10);
    request_pool_size(threads);
    ReadRequest request;
    request.path = argv[2];

    Result<PreparedRead> prepared = prepare_read(request);
    if (!prepared) {
        std::fprintf(stderr, "%s\n", prepared.error().message.c_str());
        return 1;
    }
    const double prepare = median_seconds([&] { (void)prepare_read(request); });

    const ParsedTable& table = *prepared->table;
    const std::vector<ColumnPlan>& plans = prepared->plan.columns;
    const std::size_t rows = table.row_count();
    auto cells = std::make_unique<CellValue[]>(rows * plans.size());
    const bool parallel = converts_in_parallel(rows, plans.size());
    const double convert = median_seconds(
        [&] { convert_columns(table, 0, rows, plans, request.nulls, parallel, cells.get()); });
    std::printf(
        "%s: %zu rows, %zu columns; load+parse+plan %.1f ms; "
        "typing on %zu thread(s) %.1f ms\n",
        argv[2], rows, plans.size(), prepare * 1e3, pool_size(), convert * 1e3);
    if (threads != 1) return 0;
    // Per-column cost on the calling thread: how evenly one-column tasks split.
    for (std::size_t k = 0; k < plans.size(); ++k) {
        const double column = median_seconds([&] {
            convert_columns(table, 0, rows, std::span(plans).subspan(k, 1), request.nulls, false,
                            cells.get());
        });
        std::printf("  column %zu (%s): %.1f ms\n", k, prepared->plan.keys[k].c_str(),
                    column * 1e3);
    }
    return 0;
}
