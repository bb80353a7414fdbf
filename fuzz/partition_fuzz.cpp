// Any bytes cut where the quote-parity pass puts record starts: the pieces,
// parsed on their own (the first as the file's start, the others mid-file
// with the first piece's names and field count), hold exactly the records of
// the whole parse, and fail exactly when it does.
//
// Input layout: byte 0 picks the delimiter and flags, byte 1 the cut targets
// and the counting chunk size; the rest is the CSV text.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "partition/quote_parity.hpp"
#include "table/parse_table.hpp"
#include "table_paths.hpp"

namespace {

// The rows of a parse, or none when it fails.
std::optional<brelt::testing::TableRows> parse(std::span<const std::uint8_t> text,
                                               const brelt::TableOptions& options) {
    auto result = brelt::parse_table(text, options);
    if (!result) return std::nullopt;
    return brelt::testing::table_rows(*result->table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const char delimiters[] = {',', ';', '"', '\t'};
    const std::uint8_t flags = data[0];
    brelt::TableOptions options;
    options.delimiter = static_cast<std::uint8_t>(delimiters[flags & 3]);
    options.strict = flags & 4;
    options.has_header = flags & 8;
    options.skip_rows = (flags >> 4) & 3;
    if ((flags & 64) && options.has_header)
        options.columns = std::vector<std::string>{"a", "b", "a"};
    const std::span<const std::uint8_t> text(data + 2, size - 2);
    const auto whole = parse(text, options);

    // What the first records fix: names, selection, the first record's
    // field count, and where the data begins.
    auto first = brelt::TableStream::open(text, options);
    if (!first) {
        if (whole) std::abort();
        return 0;
    }
    auto first_rows = (*first)->next(1);
    brelt::TableOptions unskipped;
    unskipped.delimiter = options.delimiter;
    unskipped.has_header = options.has_header;
    auto skipping = brelt::TableStream::open(text, unskipped);
    if (!skipping || !(*skipping)->next(options.skip_rows)) std::abort();
    const std::uint64_t data_start = (*skipping)->byte_position();

    const brelt::QuoteParity parity(text, options.delimiter != '"', brelt::active_isa(),
                                    1 + data[1] % 13);
    std::vector<std::uint64_t> starts{0};
    const std::uint64_t step = 1 + (data[1] >> 4);
    for (std::uint64_t target = step; target < text.size(); target += step) {
        const std::uint64_t cut =
            parity.record_start_at_or_after(std::max<std::uint64_t>(target, data_start));
        if (cut > starts.back() && cut < text.size()) starts.push_back(cut);
    }

    brelt::testing::TableRows pieces;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::uint64_t end = k + 1 < starts.size() ? starts[k + 1] : text.size();
        brelt::TableOptions piece = options;
        if (k > 0) {
            // Names do not change the rows; a failed first piece has none.
            std::vector<std::string> names;
            if (first_rows) names = first_rows->table->column_names();
            piece.mid_file = brelt::TableOptions::MidFileColumns{
                {(*first)->first_record_fields(), starts[k]}, names, (*first)->selection()};
        }
        const auto part = parse(text.subspan(starts[k], end - starts[k]), piece);
        if (!part) {
            if (whole) std::abort();
            return 0;
        }
        pieces.insert(pieces.end(), part->begin(), part->end());
    }
    if (!whole || pieces != *whole) std::abort();
    return 0;
}
