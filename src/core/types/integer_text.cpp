#include <cstdint>

#include "types/cell_text.hpp"

namespace brelt {

bool parse_integer_text(std::string_view text, std::int64_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return false;
    // Leading zeros aside, more than 19 characters are either not all digits or
    // at least 10^19, beyond the range; 19 digits or fewer fit the unsigned
    // magnitude, so the loop needs no overflow check. Gathering the magnitude
    // unsigned also lets -2^63 through without a special case.
    while (i < text.size() && text[i] == '0')
        ++i;
    if (text.size() - i > 19) return false;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        if (digit > 9) return false;
        magnitude = magnitude * 10 + digit;
    }
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    if (magnitude > limit) return false;
    value =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

}  // namespace brelt
