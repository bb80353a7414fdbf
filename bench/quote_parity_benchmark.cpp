// The quote-parity pass of a partition plan: the counting kernel on one core
// per instruction set, and the whole pass (every chunk counted on the worker
// pool) on 64 MB of quoted CSV in memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <string>

#include "csv_samples.hpp"
#include "partition/quote_parity.hpp"

namespace brelt {
namespace {

const std::string& sample() {
    static const std::string text = bench::quoted_text_csv(64u << 20);
    return text;
}

std::span<const std::uint8_t> sample_bytes() {
    return {reinterpret_cast<const std::uint8_t*>(sample().data()), sample().size()};
}

void BM_CountQuotes(benchmark::State& state, Isa isa) {
    if (!isa_supported(isa)) {
        state.SkipWithError("instruction set not supported here");
        return;
    }
    const auto bytes = sample_bytes();
    const ScanKernels& kernels = scan_kernels_for(isa);
    for (auto _ : state) {
        benchmark::DoNotOptimize(kernels.count_byte(bytes.data(), bytes.size(), '"'));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_QuoteParityPass(benchmark::State& state) {
    const auto bytes = sample_bytes();
    for (auto _ : state) {
        const QuoteParity parity(bytes, true);
        benchmark::DoNotOptimize(parity.record_start_at_or_after(bytes.size() / 2));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK_CAPTURE(BM_CountQuotes, scalar, Isa::Scalar);
BENCHMARK_CAPTURE(BM_CountQuotes, sse2, Isa::Sse2);
BENCHMARK_CAPTURE(BM_CountQuotes, avx2, Isa::Avx2);
BENCHMARK_CAPTURE(BM_CountQuotes, neon, Isa::Neon);
BENCHMARK(BM_QuoteParityPass)->UseRealTime();

}  // namespace
}  // namespace brelt
