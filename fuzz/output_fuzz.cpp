// PyWriter's rows and write_csv's fields against the plain serializer of
// row_reference.hpp, byte for byte.
//
// Input: four setting bytes (delimiter, quote character, mode, safe), then
// the fields, separated by 0xFF bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "row_reference.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = rest.find('\xFF', start);
        fields.push_back(rest.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    const auto quoting = static_cast<brelt::QuotingMode>(data[2] % 6);
    if (!brelt::testing::row_disagrees(fields, static_cast<char>(data[0]),
                                       static_cast<char>(data[1]), quoting, (data[3] & 1) != 0)
             .empty()) {
        std::abort();
    }
    return 0;
}
