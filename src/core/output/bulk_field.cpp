#include "output/bulk_field.hpp"

#include "output/field.hpp"

namespace brelt {

std::string_view BulkFieldEncoder::encode(std::string_view text, bool guard) {
    // Guard first, as in the writer object: the apostrophe joins the text
    // that is judged and quoted.
    const std::string_view guarded = guard_formula(text, guard, guarded_);
    if (!needs_minimal_quoting(guarded, delimiter_, '"')) return guarded;
    quoted_.clear();
    write_quoted(quoted_, guarded, '"');
    return quoted_;
}

}  // namespace brelt
