#include "types/null_values.hpp"

#include <algorithm>
#include <utility>

namespace brelt {

namespace {

std::uint64_t length_bit(std::size_t size) {
    return std::uint64_t{1} << std::min<std::size_t>(size, 63);
}

}  // namespace

NullValues NullValues::defaults() {
    return NullValues({"", "NA", "null", "None"});
}

NullValues::NullValues(std::vector<std::string> values) : values_(std::move(values)) {
    for (const std::string& value : values_)
        length_mask_ |= length_bit(value.size());
}

bool NullValues::matches(std::string_view trimmed) const {
    if ((length_mask_ & length_bit(trimmed.size())) == 0) return false;
    for (const std::string& value : values_) {
        // The first byte turns most same-length texts away without a call to memcmp.
        if (value.size() == trimmed.size() && (value.empty() || value[0] == trimmed[0]) &&
            value == trimmed)
            return true;
    }
    return false;
}

}  // namespace brelt
