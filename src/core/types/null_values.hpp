// The texts that stand for a missing value, matched exactly (after trimming).
#pragma once

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
};

}  // namespace brelt
