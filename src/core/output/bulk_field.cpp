#include "output/bulk_field.hpp"

#include "output/field.hpp"

namespace brelt {

namespace {

RowFormat bulk_format(char delimiter, bool safe) {
    RowFormat format;
    format.delimiter.assign(1, delimiter);
    format.safe = safe;
    return format;
}

}  // namespace

BulkFieldEncoder::BulkFieldEncoder(char delimiter)
    : plain_(bulk_format(delimiter, false)), guarded_(bulk_format(delimiter, true)) {}

std::string_view BulkFieldEncoder::encode(std::string_view text, bool guard) {
    // Most fields need neither the guard nor quotes, and go out as they are.
    const bool guarded =
        guard && !text.empty() && is_formula_leading_byte(static_cast<unsigned char>(text[0]));
    if (!guarded && !plain_.may_need_protection(text)) return text;
    encoded_.clear();
    (void)(guarded ? guarded_ : plain_).append_field(encoded_, 0, text, false);
    return encoded_;
}

}  // namespace brelt
