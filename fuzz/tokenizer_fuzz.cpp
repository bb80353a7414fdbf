// parse_table over arbitrary bytes with a random delimiter, strictness,
// header choice, column selection, window size and piece size: every path
// must store the same table, and a plain parse the reference reader's records
// (tests/support/table_paths.hpp).
//
// Input layout: byte 0 picks the delimiter and flags, byte 1 the window size,
// byte 2 the selection and piece size; the rest is the CSV text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "table_paths.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const char delimiters[] = {',', ';', '\t', '|', '"', '\n', '\r', 'a'};
    static const std::size_t chunk_sizes[] = {1, 2, 7, 16, 33, 64, 8192};
    const std::uint8_t flags = data[0];
    const std::uint8_t selection_bits = data[2];
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    brelt::TableOptions options;
    options.delimiter = static_cast<std::uint8_t>(delimiters[flags & 7]);
    options.strict = flags & 8;
    options.has_header = flags & 16;
    if (flags & 32) {
        // Names from the header as the reference reads it, some twice, plus
        // one that matches nothing; invalid UTF-8 in names simply won't match.
        const auto header = brelt::testing::reference_parse(
            text, static_cast<char>(options.delimiter), false, options.has_header);
        std::vector<std::string> columns{"no such column"};
        if (!header.records.empty()) {
            const auto& names = header.records.front();
            for (std::size_t i = 0; i < names.size() && i < 8; ++i) {
                if (selection_bits & (1u << i)) columns.push_back(names[i]);
            }
            if (!names.empty() && (selection_bits & 1)) columns.push_back(names.back());
        }
        options.columns = columns;
    }
    const std::string failure = brelt::testing::table_paths_disagree(
        text, options, {}, chunk_sizes[data[1] % std::size(chunk_sizes)], 1 + selection_bits % 5);
    if (!failure.empty()) std::abort();
    return 0;
}
