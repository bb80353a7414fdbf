// Peak memory of one parse_table call on a 100 MB text in memory: the table
// should cost about the input size plus 4 bytes per field and 8 per row, with
// nothing transient on top.
#include <cstdio>
#include <fstream>
#include <string>

#include "csv_samples.hpp"
#include "table/parse_table.hpp"

namespace {

// A field of /proc/self/status, in KiB.
long status_kib(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(line.find(':') + 1));
    }
    return -1;
}

}  // namespace

int main() {
    const std::string text = brelt::bench::mixed_unquoted_csv(100'000'000);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    std::ofstream("/proc/self/clear_refs") << "5";  // restart the high-water mark
    const long before = status_kib("VmRSS:");

    auto result = brelt::parse_table(bytes, {});
    if (!result) {
        std::fprintf(stderr, "%s\n", result.error().message.c_str());
        return 1;
    }
    const brelt::ParsedTable& table = *result->table;
    const double mb = 1e6;
    const double expected =
        static_cast<double>(table.text_size() + 4 * table.total_fields() + 8 * table.row_count());
    std::printf("input %.1f MB, %zu rows, %zu fields\n", static_cast<double>(bytes.size()) / mb,
                table.row_count(), table.total_fields());
    std::printf("table: text %.1f MB + field bounds %.1f MB + rows %.1f MB = %.1f MB\n",
                static_cast<double>(table.text_size()) / mb,
                static_cast<double>(4 * table.total_fields()) / mb,
                static_cast<double>(8 * table.row_count()) / mb, expected / mb);
    std::printf("resident before %.1f MB, peak during parse %.1f MB, growth %.1f MB\n",
                static_cast<double>(before) * 1024 / mb,
                static_cast<double>(status_kib("VmHWM:")) * 1024 / mb,
                static_cast<double>(status_kib("VmHWM:") - before) * 1024 / mb);
    return 0;
}
