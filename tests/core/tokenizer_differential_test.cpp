// Every scan path, at many window sizes, against the byte-at-a-time reference
// reader, over random inputs dense in delimiters, quotes, CR and LF.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "csv_reference.hpp"
#include "read_all_records.hpp"
#include "tokenizer/csv_tokenizer.hpp"

namespace brelt {
namespace {

testing::ReferenceParse tokenize_all(const std::string& input, char delimiter, bool strict, Isa isa,
                                     std::size_t chunk_size, bool simple_records = true) {
    TokenizerOptions options;
    options.tuning.simple_records = simple_records;
    options.delimiter = static_cast<std::uint8_t>(delimiter);
    options.flexible = !strict;
    options.tuning.isa = isa;
    options.tuning.chunk_size = chunk_size;
    return testing::read_all_records(input, options);
}

// Short runs of the bytes that matter, plus long plain and quoted runs that
// reach the wide vector loops.
std::string random_input(std::mt19937_64& rng, char delimiter) {
    static const std::string pieces[] = {",",       ",", "\"", "\"", "\"\"", "\r", "\n",
                                         "\r\n",    "a", "bc", " ",  ";",    "\t", "\xEF\xBB\xBF",
                                         "\xC3\xA9"};
    std::string input;
    if (rng() % 16 == 0) input = "\xEF\xBB\xBF";
    const std::size_t parts = rng() % 64;
    for (std::size_t i = 0; i < parts; ++i) {
        const std::uint64_t pick = rng() % 24;
        if (pick < 15) {
            input += pieces[pick];
        } else if (pick < 18) {
            input.push_back(delimiter);
        } else if (pick < 21) {
            input.append(rng() % 200, 'x');
        } else {
            input += '"' + std::string(rng() % 300, 'y') + (rng() % 2 ? "," : "\n") + '"';
        }
    }
    return input;
}

TEST(TokenizerDifferential, EveryPathAndWindowSizeMatchesTheReference) {
    std::mt19937_64 rng(20261206);
    const char delimiters[] = {',', ',', ',', ';', '\t', '"', '\n', '\r', 'x'};
    const std::size_t chunk_sizes[] = {1, 3, 16, 17, 64, 100, 8192};
    const std::vector<Isa> isas = supported_isas();
    for (int round = 0; round < 20000; ++round) {
        const char delimiter = delimiters[rng() % std::size(delimiters)];
        const bool strict = rng() % 4 == 0;
        const std::string input = random_input(rng, delimiter);
        const testing::ReferenceParse expected = testing::reference_parse(input, delimiter, strict);
        const std::size_t chunk_size = chunk_sizes[rng() % std::size(chunk_sizes)];
        const bool simple_records = rng() % 2 == 0;
        for (const Isa isa : isas) {
            const testing::ReferenceParse got =
                tokenize_all(input, delimiter, strict, isa, chunk_size, simple_records);
            ASSERT_EQ(got.records, expected.records)
                << "round " << round << " isa " << isa_name(isa) << " chunk " << chunk_size
                << " simple " << simple_records;
            ASSERT_EQ(got.error, expected.error) << "round " << round;
        }
    }
}

TEST(TokenizerDifferential, LongInputsAcrossManyWindows) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 40; ++round) {
        std::string input;
        while (input.size() < 40000)
            input += random_input(rng, ',');
        const testing::ReferenceParse expected = testing::reference_parse(input, ',', false);
        for (const Isa isa : supported_isas()) {
            for (const bool simple_records : {false, true}) {
                ASSERT_EQ(tokenize_all(input, ',', false, isa, 8192, simple_records).records,
                          expected.records)
                    << "round " << round << " isa " << isa_name(isa);
            }
        }
    }
}

}  // namespace
}  // namespace brelt
