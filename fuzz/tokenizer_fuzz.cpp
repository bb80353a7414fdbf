// parse_table over arbitrary bytes with a random delimiter, strictness,
// header choice, column selection, window size and piece size: every path
// must store the same table, and the reference reader's records under the
// options (tests/support/table_paths.hpp).
//
// Input layout: byte 0 picks the delimiter and flags, byte 1 the window size,
// byte 2 the piece size and selection; the rest is the CSV text.
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
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);
    brelt::TableOptions options;
    options.delimiter = static_cast<std::uint8_t>(delimiters[data[0] & 7]);
    options.strict = data[0] & 8;
    options.has_header = data[0] & 16;
    // Names a short header may hold, some twice, and one it cannot.
    if (data[0] & 32) options.columns = std::vector<std::string>{"b", "a", "", "b", "\n"};
    const std::string failure = brelt::testing::table_paths_disagree(
        text, options, {}, chunk_sizes[data[1] % std::size(chunk_sizes)], 1 + data[2] % 5);
    if (!failure.empty()) std::abort();
    return 0;
}
