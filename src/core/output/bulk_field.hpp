// The bytes write_csv writes for one field. Fields are written as they stand
// except that a text holding the delimiter, a quote, CR or LF is quoted
// minimally (enclosed in '"', inner '"' doubled); unquoted, such a text would
// split its field or its record, and the file would not read back.
#pragma once

#include <string>
#include <string_view>

#include "output/row.hpp"

namespace brelt {

class BulkFieldEncoder {
  public:
    explicit BulkFieldEncoder(char delimiter);

    // `text` with the formula guard applied when `guard` is set, then quoted
    // when needed. The result is `text` itself or lives in this encoder until
    // the next call; the buffers are reused, so steady output allocates
    // nothing.
    std::string_view encode(std::string_view text, bool guard);
    // The same for the only field of a line: an empty one is written as ""
    // so the line is not blank (readers skip blank lines).
    std::string_view encode_sole(std::string_view text, bool guard) {
        const std::string_view encoded = encode(text, guard);
        return encoded.empty() ? std::string_view("\"\"") : encoded;
    }

  private:
    RowEncoder plain_;    // the minimal quoting of the text as it is
    RowEncoder guarded_;  // the same after the formula guard
    std::string encoded_;
};

}  // namespace brelt
