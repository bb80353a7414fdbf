// Peak memory of one parse_table call on a 100 MB file loaded the way the
// readers load it (mapped): the table should cost about the input size plus
// 4 bytes per field and 8 per row, with nothing transient on top.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "csv_samples.hpp"
#include "input/load.hpp"
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
    const std::string path = "/tmp/brelt-table-memory-" + std::to_string(::getpid()) + ".csv";
    {
        const std::string text = brelt::bench::mixed_unquoted_csv(100'000'000);
        std::ofstream(path, std::ios::binary) << text;
    }
    auto input = brelt::load_input_file(path);
    ::unlink(path.c_str());
    if (!input) {
        std::fprintf(stderr, "%s\n", input.error().message.c_str());
        return 1;
    }
    const std::span<const std::uint8_t> bytes = input->bytes();
    // Count the mapped input as resident before the parse, as a second read would.
    volatile std::uint8_t sink = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4096)
        sink = sink + bytes[i];
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
