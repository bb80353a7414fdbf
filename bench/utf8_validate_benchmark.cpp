// Throughput of each UTF-8 validation kernel on 64 MB inputs shaped like the
// files it sees: plain ASCII CSV, CSV with some accented Latin, and CJK text.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/isa.hpp"
#include "input/utf8_validate.hpp"

namespace brelt {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kSize = 64u << 20;

enum class Dataset { Ascii, Latin, Cjk };

const char* dataset_name(Dataset d) {
    switch (d) {
        case Dataset::Ascii:
            return "ascii_csv";
        case Dataset::Latin:
            return "latin_csv";
        case Dataset::Cjk:
            return "cjk_text";
    }
    return "?";
}

void append(Bytes& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
}

// Rows of id, name, city, date, amount. With `accents`, some names and cities
// carry accented Latin letters (2 bytes each), about 5% of all bytes.
Bytes make_csv(bool accents) {
    static const std::vector<std::string> plain = {"Smith",  "Jones",  "Miller", "Garcia", "Taylor",
                                                   "London", "Boston", "Denver", "Oslo"};
    static const std::vector<std::string> accented = {"Müller", "García", "Ångström", "Gödel",
                                                      "Zürich", "Málaga", "Besançon", "Kraków"};
    std::mt19937 rng(42);
    Bytes out;
    out.reserve(kSize + 256);
    while (out.size() < kSize) {
        append(out, std::to_string(rng() % 1000000) + ",");
        for (int field = 0; field < 2; ++field) {
            const bool accent = accents && rng() % 2 == 0;
            const auto& words = accent ? accented : plain;
            append(out, words[rng() % words.size()]);
            out.push_back(',');
        }
        append(out, "2024-0" + std::to_string(1 + rng() % 9) + "-1" + std::to_string(rng() % 10) +
                        "," + std::to_string(rng() % 100000) + "." +
                        std::to_string(10 + rng() % 90) + "\n");
    }
    out.resize(kSize);
    // Drop a sequence the resize may have cut: its 10xxxxxx bytes and 11xxxxxx lead.
    while (out.back() >= 0x80)
        out.pop_back();
    return out;
}

// CJK Unified Ideographs (3 bytes each) with a comma or newline now and then.
Bytes make_cjk() {
    std::mt19937 rng(43);
    Bytes out;
    out.reserve(kSize + 4);
    while (out.size() < kSize) {
        const std::uint32_t cp = 0x4E00 + rng() % 0x5000;
        // 1110xxxx 10xxxxxx 10xxxxxx carries the code point's 4 + 6 + 6 bits.
        out.push_back(static_cast<std::uint8_t>(0xE0 | cp >> 12));
        out.push_back(static_cast<std::uint8_t>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
        if (rng() % 16 == 0) out.push_back(rng() % 4 == 0 ? '\n' : ',');
    }
    return out;
}

const Bytes& dataset(Dataset d) {
    static std::array<Bytes, 3> cache;
    Bytes& data = cache[static_cast<int>(d)];
    if (data.empty()) {
        data = d == Dataset::Ascii   ? make_csv(false)
               : d == Dataset::Latin ? make_csv(true)
                                     : make_cjk();
    }
    return data;
}

void validate(benchmark::State& state, Isa isa, Dataset d) {
    const Bytes& data = dataset(d);
    if (!is_valid_utf8_with(Isa::Scalar, data.data(), data.size())) {
        state.SkipWithError("generated data is not valid UTF-8");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(is_valid_utf8_with(isa, data.data(), data.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    std::size_t non_ascii = 0;
    // The top bit marks the non-ASCII bytes.
    for (std::uint8_t b : data)
        non_ascii += b >> 7;
    state.counters["non_ascii_pct"] = 100.0 * static_cast<double>(non_ascii) / data.size();
}

const bool registered = [] {
    for (Dataset d : {Dataset::Ascii, Dataset::Latin, Dataset::Cjk}) {
        for (Isa isa : supported_isas()) {
            const std::string name =
                std::string("utf8_validate/") + dataset_name(d) + "/" + std::string(isa_name(isa));
            benchmark::RegisterBenchmark(name.c_str(), validate, isa, d)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace brelt
