// How fast each file's content comes out of the reader every read uses: a
// compressed file decompressed, a plain one read, a piece at a time into one
// buffer, as the text reader takes it.
//
//     brelt_decompress_speed RUNS FILE...
//
// Prints, per file: its format, its content in MB, and the median of RUNS
// passes in MB of content per second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "input/byte_reader.hpp"
#include "input/decompress/compression.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Pass {
    double seconds = 0;
    std::size_t bytes = 0;
    brelt::Compression format = brelt::Compression::None;
};

bool read_through(const char* path, std::vector<std::uint8_t>& buffer, Pass& pass) {
    const auto start = Clock::now();
    auto reader = brelt::open_byte_reader(path);
    if (!reader) {
        std::fprintf(stderr, "%s: %s\n", path, reader.error().message.c_str());
        return false;
    }
    pass.format = (*reader)->compression();
    pass.bytes = 0;
    for (;;) {
        auto got = (*reader)->read(buffer);
        if (!got) {
            std::fprintf(stderr, "%s: %s\n", path, got.error().message.c_str());
            return false;
        }
        if (*got == 0) break;
        pass.bytes += *got;
    }
    pass.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RUNS FILE...\n", argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::vector<std::uint8_t> buffer(1 << 20);
    for (int i = 2; i < argc; ++i) {
        std::vector<double> seconds;
        Pass pass;
        for (int run = 0; run < runs; ++run) {
            if (!read_through(argv[i], buffer, pass)) return 1;
            seconds.push_back(pass.seconds);
        }
        std::sort(seconds.begin(), seconds.end());
        const double median = seconds[seconds.size() / 2];
        std::printf(
            "%s %s %.1f %.1f\n", argv[i], std::string(brelt::compression_name(pass.format)).c_str(),
            static_cast<double>(pass.bytes) / 1e6, static_cast<double>(pass.bytes) / 1e6 / median);
    }
    return 0;
}
