#include "output/row.hpp"

#include "output/field.hpp"

namespace brelt {

void append_row_field(std::string& out, std::size_t index, std::string_view text,
                      const RowFormat& format, std::string& scratch) {
    if (index != 0) out.push_back(format.delimiter);
    write_field(out, guard_formula(text, format.safe, scratch), format.delimiter, format.quotechar,
                format.quoting);
}

void serialize_row(std::string& out, std::span<const std::string_view> fields,
                   const RowFormat& format, std::string& scratch) {
    for (std::size_t index = 0; index < fields.size(); ++index)
        append_row_field(out, index, fields[index], format, scratch);
    out.append(format.lineterminator);
}

}  // namespace brelt
