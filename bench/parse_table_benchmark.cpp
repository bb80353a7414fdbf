// parse_table (batch path, and record at a time) and the tokenizer alone, per
// scan path, on three shapes of input.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <span>
#include <string>

#include "csv_samples.hpp"
#include "table/parse_table.hpp"
#include "tokenizer/csv_tokenizer.hpp"
#include "tokenizer/scan.hpp"

namespace {

constexpr std::size_t kSize = 64 << 20;

std::span<const std::uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

const std::string& sample(int shape) {
    // Generated on first use, so a filtered run builds only what it needs.
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

// `batch`: runs of records straight into the table, or every record
// through a RawRecord (the path the batch hands rare records to).
void BM_ParseTable(benchmark::State& state, brelt::Isa isa, int shape, bool batch) {
    if (!brelt::isa_supported(isa)) {
        state.SkipWithError("instruction set not supported here");
        return;
    }
    const std::string& input = sample(shape);
    brelt::TableOptions options;
    options.tuning.isa = isa;
    options.tuning.batch_records = batch;
    double table_bytes = 0;
    for (auto _ : state) {
        auto result = brelt::parse_table(bytes_of(input), options);
        if (!result) {
            state.SkipWithError(result.error().message.c_str());
            break;
        }
        const brelt::ParsedTable& table = *result->table;
        table_bytes = static_cast<double>(table.text_size() + 4 * table.total_fields() +
                                          8 * table.row_count());
        benchmark::DoNotOptimize(result);
    }
    // What the table holds (text, 4 bytes a field, 8 a row) per input byte.
    state.counters["table/input"] = table_bytes / static_cast<double>(input.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// Records only, no table: the scanner's own speed.
void BM_Tokenize(benchmark::State& state, brelt::Isa isa, int shape) {
    if (!brelt::isa_supported(isa)) {
        state.SkipWithError("instruction set not supported here");
        return;
    }
    const std::string& input = sample(shape);
    brelt::TokenizerOptions options;
    options.tuning.isa = isa;
    for (auto _ : state) {
        brelt::CsvTokenizer tokenizer(bytes_of(input), options);
        (void)tokenizer.ensure_headers();
        brelt::RawRecord record;
        std::size_t fields = 0;
        while (*tokenizer.read_record(record) == brelt::ReadOutcome::Record) {
            fields += record.field_count();
        }
        benchmark::DoNotOptimize(fields);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// The unquoted-state scan on its own over unquoted text: the vector search
// for delimiters, line feeds and quotes, with a span per field, restarting
// after each line feed as the tokenizer does for each record.
void BM_ScanUnquoted(benchmark::State& state, brelt::Isa isa, int shape) {
    const std::string& input = sample(shape);
    const brelt::ScanKernels& kernels = brelt::scan_kernels_for(isa);
    const auto* data = reinterpret_cast<const std::uint8_t*>(input.data());
    brelt::GrowableArray<brelt::RecordSpan> spans;
    spans.reserve(8192);
    for (auto _ : state) {
        std::size_t at = 0;
        std::size_t fields = 0;
        while (at < input.size()) {
            const std::size_t slice = std::min<std::size_t>(input.size() - at, 4096);
            std::uint64_t field_start = 0;
            spans.clear();
            const brelt::UnquotedScan scan{data + at, slice, ',', '"', 0};
            const std::size_t stop = kernels.scan_unquoted(scan, field_start, spans);
            fields += spans.size() + 1;
            at += stop + (stop < slice ? 1 : 0);
        }
        benchmark::DoNotOptimize(fields);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void register_all() {
    for (const brelt::Isa isa :
         {brelt::Isa::Scalar, brelt::Isa::Sse2, brelt::Isa::Avx2, brelt::Isa::Neon}) {
        if (!brelt::isa_supported(isa)) continue;
        for (int shape = 0; shape < 3; ++shape) {
            const std::string suffix =
                std::string(shape_name(shape)) + "/" + std::string(brelt::isa_name(isa));
            benchmark::RegisterBenchmark(("ParseTable/" + suffix).c_str(), BM_ParseTable, isa,
                                         shape, true)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("ParseTableByRecord/" + suffix).c_str(), BM_ParseTable,
                                         isa, shape, false)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("Tokenize/" + suffix).c_str(), BM_Tokenize, isa, shape)
                ->Unit(benchmark::kMillisecond);
            if (shape != 1) {
                benchmark::RegisterBenchmark(("ScanUnquoted/" + suffix).c_str(), BM_ScanUnquoted,
                                             isa, shape)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
}

const int registered = (register_all(), 0);

}  // namespace
