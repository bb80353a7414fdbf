// Test-only: what tests/oracle/decode_oracle.js needs from the C++ side, so
// that the inputs and digests it compares exist in one place
// (tests/support/decode_input_sets.hpp). Built with the tests, never installed.
//
//   brelt_decode_tool LABEL < inputs > outputs   decodes each input on its own
//   brelt_decode_tool --sets                     each "encoding<TAB>set" to compare
//   brelt_decode_tool --inputs ENCODING SET      writes the inputs of a set
//   brelt_decode_tool --digest < outputs         the digest of a set's outputs
//
// Inputs and outputs are records of a 4-byte little-endian length and that
// many bytes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "../support/decode_input_sets.hpp"
#include "input/encoding/encoding.hpp"

namespace {

bool read_exact(void* buffer, std::size_t size) {
    return std::fread(buffer, 1, size, stdin) == size;
}

// The next record of stdin into `record`; false at the end.
bool read_record(std::string& record) {
    unsigned char length[4];
    if (!read_exact(length, 4)) return false;
    record.resize(length[0] | (length[1] << 8) | (length[2] << 16) |
                  (static_cast<std::uint32_t>(length[3]) << 24));
    return record.empty() || read_exact(record.data(), record.size());
}

void write_record(std::string_view text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    const unsigned char length[4] = {
        static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
        static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
    std::fwrite(length, 1, 4, stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int decode_records(const char* label) {
    const auto encoding = brelt::encoding_for_label(label);
    if (!encoding) {
        std::fprintf(stderr, "unknown encoding label: %s\n", label);
        return 2;
    }
    std::string input, output;
    while (read_record(input)) {
        output.clear();
        auto decoded = brelt::decode_with(
            *encoding, {reinterpret_cast<const std::uint8_t*>(input.data()), input.size()}, output);
        if (!decoded.ok()) {
            std::fprintf(stderr, "%s\n", decoded.error().message.c_str());
            return 1;
        }
        write_record(output);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace brelt::testing;
    const auto ignore = [](std::string_view) {};
    if (argc == 2 && std::strcmp(argv[1], "--sets") == 0) {
        for (std::size_t i = 0; i < brelt::kEncodingCount; ++i) {
            const std::string_view name = brelt::encoding_name(static_cast<brelt::Encoding>(i));
            for (const char* set : {"bytes", "pairs", "four", "jis0212", "escapes", "random"}) {
                if (visit_input_set(name, set, ignore)) {
                    std::printf("%.*s\t%s\n", static_cast<int>(name.size()), name.data(), set);
                }
            }
        }
    } else if (argc == 4 && std::strcmp(argv[1], "--inputs") == 0) {
        if (!visit_input_set(argv[2], argv[3], write_record)) return 2;
    } else if (argc == 2 && std::strcmp(argv[1], "--digest") == 0) {
        OutputDigest digest;
        for (std::string output; read_record(output);)
            digest.add(output);
        std::printf("%016llx\n", static_cast<unsigned long long>(digest.value()));
    } else if (argc == 2 && argv[1][0] != '-') {
        return decode_records(argv[1]);
    } else {
        std::fprintf(stderr,
                     "usage: %s LABEL | --sets | --inputs ENCODING SET | --digest (records on "
                     "stdin and stdout)\n",
                     argv[0]);
        return 2;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
