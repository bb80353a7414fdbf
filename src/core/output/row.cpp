#include "output/row.hpp"

#include "output/field.hpp"

namespace brelt {

void append_row_field(std::string& out, std::size_t index, std::string_view text,
                      const RowFormat& format, std::string& scratch) {
    if (index != 0) out.push_back(format.delimiter);
    write_field(out, guard_formula(text, format.safe, scratch), format.delimiter, format.quotechar,
                format.quoting);
}

void end_row(std::string& out, std::size_t row_start, std::size_t field_count,
             const RowFormat& format) {
    if (field_count == 1 && out.size() == row_start &&
        format.quoting != static_cast<std::uint32_t>(QuotingMode::QuoteNone)) {
        out.push_back(format.quotechar);
        out.push_back(format.quotechar);
    }
    out.append(format.lineterminator);
}

void serialize_row(std::string& out, std::span<const std::string_view> fields,
                   const RowFormat& format, std::string& scratch) {
    const std::size_t row_start = out.size();
    for (std::size_t index = 0; index < fields.size(); ++index)
        append_row_field(out, index, fields[index], format, scratch);
    end_row(out, row_start, fields.size(), format);
}

}  // namespace brelt
