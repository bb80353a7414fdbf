// decode_to_utf8 on the inputs a CSV reader meets: valid UTF-8 (validate and
// copy), windows-1252 (the fallback for text that is not UTF-8) and UTF-16LE.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "input/decode.hpp"

namespace {

constexpr std::size_t kSize = 32 << 20;

// CSV-like text: mostly ASCII, `accent_percent` of the rows holding one
// two-byte character (or its windows-1252 byte).
std::vector<std::uint8_t> csv_bytes(int accent_percent, bool windows_1252) {
    std::mt19937 random(42);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kSize + 64);
    while (bytes.size() < kSize) {
        std::string row = std::to_string(random() % 100000) + ",name " +
                          std::to_string(random() % 1000) + ",3.25,true";
        for (char c : row) bytes.push_back(static_cast<std::uint8_t>(c));
        if (static_cast<int>(random() % 100) < accent_percent) {
            if (windows_1252) {
                bytes.push_back(0xE9);
            } else {
                bytes.push_back(0xC3);
                bytes.push_back(0xA9);
            }
        }
        bytes.push_back('\n');
    }
    return bytes;
}

void run(benchmark::State& state, const std::vector<std::uint8_t>& input,
         std::optional<std::string_view> label) {
    for (auto _ : state) {
        auto text = brelt::decode_to_utf8(input, label);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void BM_DecodeValidUtf8(benchmark::State& state) {
    static const auto input = csv_bytes(5, false);
    run(state, input, std::nullopt);
}
BENCHMARK(BM_DecodeValidUtf8)->Unit(benchmark::kMillisecond);

void BM_DecodeWindows1252Fallback(benchmark::State& state) {
    static const auto input = csv_bytes(5, true);
    run(state, input, std::nullopt);
}
BENCHMARK(BM_DecodeWindows1252Fallback)->Unit(benchmark::kMillisecond);

void BM_DecodeUtf16LE(benchmark::State& state) {
    static const auto input = [] {
        auto ascii = csv_bytes(0, false);
        std::vector<std::uint8_t> utf16 = {0xFF, 0xFE};
        for (std::uint8_t byte : ascii) {
            utf16.push_back(byte);
            utf16.push_back(0);
        }
        return utf16;
    }();
    run(state, input, std::nullopt);
}
BENCHMARK(BM_DecodeUtf16LE)->Unit(benchmark::kMillisecond);

}  // namespace
