// Test-only: decodes many separate inputs with one encoding, for the oracle
// comparison in tests/oracle/. Built with the tests, never installed.
//
//   brelt_decode_tool LABEL < inputs > outputs
//
// Both streams are records of a 4-byte little-endian length and that many
// bytes; output record k is the UTF-8 decoding of input record k, each input
// decoded as a complete stream of its own.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input/encoding/encoding.hpp"

namespace {

bool read_exact(void* buffer, std::size_t size) {
    return std::fread(buffer, 1, size, stdin) == size;
}

void write_record(const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    const unsigned char length[4] = {
        static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
        static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
    std::fwrite(length, 1, 4, stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LABEL < records > records\n", argv[0]);
        return 2;
    }
    const auto encoding = brelt::encoding_for_label(argv[1]);
    if (!encoding) {
        std::fprintf(stderr, "unknown encoding label: %s\n", argv[1]);
        return 2;
    }
    std::vector<std::uint8_t> input;
    std::string output;
    unsigned char length[4];
    while (read_exact(length, 4)) {
        const std::uint32_t size = length[0] | (length[1] << 8) | (length[2] << 16) |
                                   (static_cast<std::uint32_t>(length[3]) << 24);
        input.resize(size);
        if (size != 0 && !read_exact(input.data(), size)) {
            std::fprintf(stderr, "truncated record\n");
            return 2;
        }
        output.clear();
        auto decoded = brelt::decode_with(*encoding, input, output);
        if (!decoded.ok()) {
            std::fprintf(stderr, "%s\n", decoded.error().message.c_str());
            return 1;
        }
        write_record(output);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
