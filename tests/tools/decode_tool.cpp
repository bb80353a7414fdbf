// Test-only: what tests/oracle/decode_oracle.js needs from the C++ side, so
// that the input sets and digests it shares with the C++ tests exist once
// (tests/support/decode_input_sets.hpp). Records are a 4-byte little-endian
// length and that many bytes.
//   brelt_decode_tool --sets                  each "encoding<TAB>set" to compare
//   brelt_decode_tool --inputs ENCODING SET   writes the inputs of a set
//   brelt_decode_tool --digest < outputs      the digest of a set's outputs
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "../support/decode_input_sets.hpp"

namespace {

// The next record of stdin into `record`; false at the end.
bool read_record(std::string& record) {
    unsigned char length[4];
    if (std::fread(length, 1, 4, stdin) != 4) return false;
    record.resize(length[0] | (length[1] << 8) | (length[2] << 16) |
                  (static_cast<std::uint32_t>(length[3]) << 24));
    return std::fread(record.data(), 1, record.size(), stdin) == record.size();
}

void write_record(std::string_view text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    const unsigned char length[4] = {
        static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
        static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
    std::fwrite(length, 1, 4, stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
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
        std::uint64_t digest = kDigestStart;
        for (std::string output; read_record(output);)
            add_to_digest(digest, output);
        std::printf("%016llx\n", static_cast<unsigned long long>(digest));
    } else {
        std::fprintf(stderr, "usage: %s --sets | --inputs ENCODING SET | --digest\n", argv[0]);
        return 2;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
