// The texts that stand for a missing value, matched exactly (after trimming).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brelt {

class NullValues {
  public:
    // "", "NA", "null", "None".
    static NullValues defaults();
    explicit NullValues(std::vector<std::string> values);

    bool matches(std::string_view trimmed) const;

  private:
    std::vector<std::string> values_;
    // Bit n set when some value is n bytes long (bit 63: 63 or more), so most
    // texts are turned away by their length alone.
    std::uint64_t length_mask_ = 0;
};

}  // namespace brelt
