#include "types/infer.hpp"

#include <cstdint>

#include "types/cell_text.hpp"

namespace brelt {

namespace {

struct SampleCounts {
    std::uint64_t considered = 0;
    std::uint64_t nulls = 0;
    std::uint64_t integers = 0;
    std::uint64_t floats = 0;    // float texts that are not integer texts
    std::uint64_t booleans = 0;  // boolean words that are neither
};

// Each text counts once, for the first test it passes in this order: "1" and
// "0" are integers here even though they are boolean words too.
void count_text(std::string_view text, const NullValues& nulls, SampleCounts& counts) {
    ++counts.considered;
    std::int64_t integer;
    double real;
    if (nulls.matches(text)) {
        ++counts.nulls;
    } else if (parse_integer_text(text, integer)) {
        ++counts.integers;
    } else if (parse_float_text(text, real)) {
        ++counts.floats;
    } else if (parse_boolean_word(text)) {
        ++counts.booleans;
    }
}

}  // namespace

ColumnType infer_column_type(std::span<const std::string_view> sample, const NullValues& nulls) {
    SampleCounts counts;
    for (const std::string_view text : sample)
        count_text(trim_text(text), nulls, counts);
    const std::uint64_t non_null = counts.considered - counts.nulls;
    if (non_null == 0) return ColumnType::Str;
    // 95% of the non-null texts, truncated. With a single non-null text the bar
    // is zero, so that column is Int whatever the text says.
    const auto threshold = static_cast<std::uint64_t>(static_cast<double>(non_null) * 0.95);
    if (counts.integers >= threshold && counts.floats == 0) return ColumnType::Int;
    if (counts.integers + counts.floats >= threshold) return ColumnType::Float;
    if (counts.booleans >= threshold) return ColumnType::Bool;
    return ColumnType::Str;
}

}  // namespace brelt
