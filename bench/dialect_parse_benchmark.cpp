// The csv module's dialect parser (what brelt.reader parses with), per scan
// path, on the same three shapes of input as parse_table, fed as the reader
// feeds it: blocks of 128 KiB, the unfinished record carried to the next.
#include <benchmark/benchmark.h>

#include <string>

#include "csv_samples.hpp"
#include "dialect/record_parser.hpp"

namespace {

constexpr std::size_t kSize = 64 << 20;
constexpr std::size_t kBlock = 128 << 10;

const std::string& sample(int shape) {
    if (shape == 0) {
        static const std::string mixed = brelt::bench::mixed_unquoted_csv(kSize);
        return mixed;
    }
    if (shape == 1) {
        static const std::string quoted = brelt::bench::quoted_text_csv(kSize);
        return quoted;
    }
    static const std::string wide = brelt::bench::wide_rows_csv(kSize);
    return wide;
}

const char* shape_name(int shape) {
    return shape == 0 ? "mixed" : shape == 1 ? "quoted20" : "wide";
}

void BM_DialectParse(benchmark::State& state, brelt::Isa isa, int shape) {
    if (!brelt::isa_supported(isa)) {
        state.SkipWithError("instruction set not supported here");
        return;
    }
    const std::string& input = sample(shape);
    brelt::dialect::DialectOptions options;
    options.delimiter = brelt::dialect::DialectChar::of(",");
    options.quote = brelt::dialect::DialectChar::of("\"");
    options.isa = isa;
    brelt::dialect::ParsedRecords out;
    std::size_t records = 0;
    for (auto _ : state) {
        records = 0;
        for (std::size_t at = 0; at < input.size();) {
            const std::size_t size = std::min(kBlock, input.size() - at);
            brelt::dialect::ParseInput block;
            block.data = reinterpret_cast<const std::uint8_t*>(input.data()) + at;
            block.size = size;
            block.final = at + size == input.size();
            out.clear();
            const auto progress = brelt::dialect::parse_records(block, options, out);
            records += out.records.size();
            // A record longer than a block would need a larger one; these are short.
            at += progress.consumed != 0 ? progress.consumed : size;
        }
        benchmark::DoNotOptimize(records);
    }
    state.counters["records"] = static_cast<double>(records);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void register_all() {
    for (const brelt::Isa isa :
         {brelt::Isa::Scalar, brelt::Isa::Sse2, brelt::Isa::Avx2, brelt::Isa::Neon}) {
        if (!brelt::isa_supported(isa)) continue;
        for (int shape = 0; shape < 3; ++shape) {
            const std::string name = "DialectParse/" + std::string(shape_name(shape)) + "/" +
                                     std::string(brelt::isa_name(isa));
            benchmark::RegisterBenchmark(name.c_str(), BM_DialectParse, isa, shape)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

const int registered = (register_all(), 0);

}  // namespace
