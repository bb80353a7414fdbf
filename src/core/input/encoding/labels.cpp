// Label lookup and encoding names, over the generated tables.
#include <algorithm>
#include <iterator>

#include "input/encoding/encoding.hpp"
#include "input/encoding/generated/label_table.hpp"

namespace brelt {
namespace {

using encoding_detail::kLabels;
using encoding_detail::kLongestLabel;
using encoding_detail::LabelEntry;

static_assert(std::is_sorted(std::begin(kLabels), std::end(kLabels),
                             [](const LabelEntry& a, const LabelEntry& b) {
                                 return a.label < b.label;
                             }),
              "binary search needs the label table sorted");

constexpr bool is_ascii_whitespace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

}  // namespace

std::optional<Encoding> encoding_for_label(std::string_view label) {
    while (!label.empty() && is_ascii_whitespace(label.front()))
        label.remove_prefix(1);
    while (!label.empty() && is_ascii_whitespace(label.back()))
        label.remove_suffix(1);
    if (label.empty() || label.size() > kLongestLabel) return std::nullopt;

    // Table labels are lower-case ASCII, so lowering only A-Z is the whole
    // case-insensitive match; any other byte must match as it is.
    char lowered[kLongestLabel];
    for (std::size_t i = 0; i < label.size(); ++i) {
        const char c = label[i];
        lowered[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view key(lowered, label.size());
    const auto it = std::lower_bound(
        std::begin(kLabels), std::end(kLabels), key,
        [](const LabelEntry& entry, std::string_view k) { return entry.label < k; });
    if (it == std::end(kLabels) || it->label != key) return std::nullopt;
    return it->encoding;
}

std::string_view encoding_name(Encoding encoding) {
    const auto i = static_cast<std::size_t>(encoding);
    return i < kEncodingCount ? encoding_detail::kEncodingNames[i] : std::string_view{};
}

}  // namespace brelt
