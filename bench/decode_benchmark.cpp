// decode_to_utf8 on the inputs a CSV reader meets: valid UTF-8 (validate and
// copy), windows-1252 (the fallback for text that is not UTF-8), UTF-16LE
// (ASCII only, and with some accented letters), text with hardly any ASCII in
// windows-1251 and UTF-16LE, and Shift_JIS and gb18030 text under a label.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "input/decode.hpp"
#include "input/encoding/encoding.hpp"

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
        for (char c : row)
            bytes.push_back(static_cast<std::uint8_t>(c));
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

// UTF-16LE with a byte-order mark, from csv_bytes text (ASCII and two-byte
// characters only).
std::vector<std::uint8_t> utf16le_of(const std::vector<std::uint8_t>& utf8) {
    std::vector<std::uint8_t> utf16 = {0xFF, 0xFE};
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        std::uint32_t unit = utf8[i];
        if (unit >= 0x80) unit = ((unit & 0x1F) << 6) | (utf8[++i] & 0x3F);
        utf16.push_back(static_cast<std::uint8_t>(unit));
        utf16.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return utf16;
}

void BM_DecodeUtf16LE(benchmark::State& state) {
    static const auto input = utf16le_of(csv_bytes(0, false));
    run(state, input, std::nullopt);
}
BENCHMARK(BM_DecodeUtf16LE)->Unit(benchmark::kMillisecond);

void BM_DecodeUtf16LEAccented(benchmark::State& state) {
    static const auto input = utf16le_of(csv_bytes(5, false));
    run(state, input, std::nullopt);
}
BENCHMARK(BM_DecodeUtf16LEAccented)->Unit(benchmark::kMillisecond);

// Text with hardly any ASCII: words of 3..8 characters from [low, high]
// between commas and line breaks, as single bytes or as UTF-16LE with a
// byte-order mark.
std::vector<std::uint8_t> dense_text(bool utf16, std::uint32_t low, std::uint32_t high) {
    std::mt19937 random(9);
    std::vector<std::uint8_t> bytes;
    if (utf16) bytes = {0xFF, 0xFE};
    auto put = [&](std::uint32_t c) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        if (utf16) bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    };
    while (bytes.size() < kSize) {
        for (unsigned k = 3 + random() % 6; k > 0; --k)
            put(low + random() % (high - low + 1));
        put(random() % 8 == 0 ? '\n' : ',');
    }
    return bytes;
}

void BM_DecodeWindows1251Text(benchmark::State& state) {
    // Cyrillic letters.
    static const auto input = dense_text(false, 0xC0, 0xFF);
    run(state, input, "windows-1251");
}
BENCHMARK(BM_DecodeWindows1251Text)->Unit(benchmark::kMillisecond);

void BM_DecodeUtf16LECjkText(benchmark::State& state) {
    // CJK unified ideographs.
    static const auto input = dense_text(true, 0x4E00, 0x9FFF);
    run(state, input, std::nullopt);
}
BENCHMARK(BM_DecodeUtf16LECjkText)->Unit(benchmark::kMillisecond);

// Two-byte characters of a legacy encoding: every lead/trail pair in the
// given ranges that decodes without error (mostly ideographs).
std::vector<std::string> two_byte_characters(brelt::Encoding encoding, int lead_low, int lead_high,
                                             int trail_low, int trail_high) {
    std::vector<std::string> characters;
    for (int lead = lead_low; lead <= lead_high; ++lead) {
        for (int trail = trail_low; trail <= trail_high; ++trail) {
            const std::uint8_t pair[2] = {static_cast<std::uint8_t>(lead),
                                          static_cast<std::uint8_t>(trail)};
            std::string text;
            auto errors = brelt::decode_with(encoding, pair, text);
            if (errors.ok() && *errors == 0 && text.size() == 3) {
                characters.push_back(std::string(reinterpret_cast<const char*>(pair), 2));
            }
        }
    }
    return characters;
}

// CSV rows of an id, two fields of 2..9 ideographs and a number: about half
// the bytes belong to two-byte characters. With `text_only`, just ideographs.
std::vector<std::uint8_t> legacy_csv_bytes(const std::vector<std::string>& characters,
                                           bool text_only) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kSize + 64);
    auto add = [&bytes](const std::string& s) { bytes.insert(bytes.end(), s.begin(), s.end()); };
    while (bytes.size() < kSize) {
        if (!text_only) add(std::to_string(random() % 100000) + ",");
        for (int field = 0; field < 2; ++field) {
            for (unsigned k = 2 + random() % 8; k > 0; --k)
                add(characters[random() % characters.size()]);
            if (!text_only) add(",");
        }
        if (!text_only) add(std::to_string(random() % 1000) + ".25\n");
    }
    return bytes;
}

const std::vector<std::string>& shift_jis_characters() {
    // JIS X 0208 level 1 kanji.
    static const auto characters =
        two_byte_characters(brelt::Encoding::ShiftJis, 0x88, 0x98, 0x40, 0xFC);
    return characters;
}

const std::vector<std::string>& gb18030_characters() {
    // GB2312 hanzi.
    static const auto characters =
        two_byte_characters(brelt::Encoding::Gb18030, 0xB0, 0xF7, 0xA1, 0xFE);
    return characters;
}

void BM_DecodeShiftJisCsv(benchmark::State& state) {
    static const auto input = legacy_csv_bytes(shift_jis_characters(), false);
    run(state, input, "shift_jis");
}
BENCHMARK(BM_DecodeShiftJisCsv)->Unit(benchmark::kMillisecond);

void BM_DecodeShiftJisText(benchmark::State& state) {
    static const auto input = legacy_csv_bytes(shift_jis_characters(), true);
    run(state, input, "shift_jis");
}
BENCHMARK(BM_DecodeShiftJisText)->Unit(benchmark::kMillisecond);

void BM_DecodeGb18030Csv(benchmark::State& state) {
    static const auto input = legacy_csv_bytes(gb18030_characters(), false);
    run(state, input, "gb18030");
}
BENCHMARK(BM_DecodeGb18030Csv)->Unit(benchmark::kMillisecond);

void BM_DecodeGb18030Text(benchmark::State& state) {
    static const auto input = legacy_csv_bytes(gb18030_characters(), true);
    run(state, input, "gb18030");
}
BENCHMARK(BM_DecodeGb18030Text)->Unit(benchmark::kMillisecond);

}  // namespace
