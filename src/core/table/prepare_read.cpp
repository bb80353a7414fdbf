#include "table/prepare_read.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <span>
#include <unordered_map>

#include "input/decode.hpp"
#include "input/load.hpp"
#include "input/sniff.hpp"
#include "input/utf8_validate.hpp"
#include "table/parse_table.hpp"
#include "types/convert.hpp"

namespace brelt {

namespace {

constexpr std::size_t kDelimiterSampleBytes = 4096;

std::string_view as_text(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool starts_with(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
}

// The text to parse: the input itself when it is valid UTF-8 and no encoding
// was named (a leading byte-order mark dropped), otherwise a decoded copy.
struct ChosenText {
    std::string decoded;
    std::string_view in_place_text;
    bool in_place = false;

    std::string_view text() const { return in_place ? in_place_text : decoded; }
};

Result<ChosenText> choose_text(const InputBytes& input,
                               const std::optional<std::string>& encoding) {
    const std::span<const std::uint8_t> bytes = input.bytes();
    ChosenText chosen;
    const bool utf16_mark = starts_with(bytes, {0xFF, 0xFE}) || starts_with(bytes, {0xFE, 0xFF});
    if (!encoding && !utf16_mark && is_valid_utf8(bytes.data(), bytes.size())) {
        chosen.in_place_text = as_text(bytes);
        if (starts_with(bytes, {0xEF, 0xBB, 0xBF})) chosen.in_place_text.remove_prefix(3);
        chosen.in_place = true;
        return chosen;
    }
    std::optional<std::string_view> label;
    if (encoding) label = *encoding;
    auto decoded = decode_to_utf8(bytes, label);
    if (!decoded.ok()) return std::move(decoded).error();
    chosen.decoded = std::move(*decoded);
    return chosen;
}

std::string generated_name(std::size_t position) {
    return std::string(kGeneratedNamePrefix) + std::to_string(position + 1);
}

// The column a generated name stands for: "column_<k>" with 1 <= k <= width,
// written without a sign or leading zeros.
std::optional<std::size_t> generated_column(std::string_view name, std::size_t width) {
    if (!name.starts_with(kGeneratedNamePrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kGeneratedNamePrefix.size());
    if (digits.empty() || digits.front() == '0') return std::nullopt;
    std::size_t k = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (error != std::errc() || end != digits.data() + digits.size() || k > width) {
        return std::nullopt;
    }
    return k - 1;
}

std::size_t widest_row(const ParsedTable& table) {
    std::size_t widest = 0;
    for (std::size_t r = 0; r < table.row_count(); ++r) {
        widest = std::max(widest, table.field_count(r));
    }
    return widest;
}

// The named columns of the table as (name, source column) pairs, in order.
std::vector<std::pair<std::string, std::size_t>> named_columns(const ParsedTable& table,
                                                               const ReadRequest& request,
                                                               std::optional<std::size_t> widest) {
    std::vector<std::pair<std::string, std::size_t>> named;
    if (request.has_header) {
        const auto& names = table.column_names();
        for (std::size_t c = 0; c < names.size(); ++c)
            named.emplace_back(names[c], c);
        return named;
    }
    const std::size_t width = widest ? *widest : widest_row(table);
    if (!request.columns) {
        for (std::size_t c = 0; c < width; ++c)
            named.emplace_back(generated_name(c), c);
        return named;
    }
    for (const std::string& name : *request.columns) {
        if (const auto source = generated_column(name, width)) named.emplace_back(name, *source);
    }
    return named;
}

ColumnType column_type(const ParsedTable& table, const ReadRequest& request,
                       const std::string& name, std::size_t source) {
    if (request.schema) {
        const auto found = request.schema->find(name);
        return found == request.schema->end() ? ColumnType::Str : found->second;
    }
    return infer_column_type(table, source, kInferenceSampleRows, request.nulls);
}

}  // namespace

// A name given twice keeps its first position and the last column's value, as
// assigning the columns to a dict in order would.
void plan_columns(PreparedRead& read, const ReadRequest& request,
                  std::optional<std::size_t> widest) {
    const ParsedTable& table = *read.table;
    const auto named = named_columns(table, request, widest);
    std::unordered_map<std::string_view, std::size_t> key_of_name;
    std::vector<std::size_t> sources;
    for (const auto& [name, source] : named) {
        const auto [slot, inserted] = key_of_name.try_emplace(name, read.keys.size());
        if (inserted) {
            read.keys.push_back(name);
            sources.push_back(source);
        } else {
            sources[slot->second] = source;
        }
    }
    read.columns.reserve(read.keys.size());
    for (std::size_t k = 0; k < read.keys.size(); ++k) {
        read.columns.push_back({sources[k], column_type(table, request, read.keys[k], sources[k])});
    }
}

TableOptions table_options(const ReadRequest& request, char delimiter) {
    TableOptions options;
    options.delimiter = static_cast<std::uint8_t>(delimiter);
    options.has_header = request.has_header;
    options.skip_rows = request.skip_rows;
    options.max_rows = request.max_rows;
    if (request.has_header) options.columns = request.columns;
    options.strict = request.strict;
    return options;
}

std::string_view delimiter_sample(std::string_view text) {
    if (text.size() <= kDelimiterSampleBytes) return text;
    std::size_t end = kDelimiterSampleBytes;
    // Back up over the continuation bytes of a character cut in two.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

RemainingRecords::RemainingRecords(InputBytes input, std::string decoded)
    : input_(std::move(input)), decoded_(std::move(decoded)) {}

RemainingRecords::~RemainingRecords() = default;

Result<std::unique_ptr<RemainingRecords>> RemainingRecords::open(InputBytes input,
                                                                 std::string decoded, bool in_place,
                                                                 std::size_t text_start,
                                                                 const TableOptions& options,
                                                                 const TableLimits& limits) {
    // The stream reads the text where it lies, so both move in before it
    // opens (a string's buffer does not move).
    auto rest = std::make_unique<RemainingRecords>(std::move(input), std::move(decoded));
    std::span<const std::uint8_t> text =
        in_place ? rest->input_.bytes().subspan(text_start)
                 : std::span<const std::uint8_t>(
                       reinterpret_cast<const std::uint8_t*>(rest->decoded_.data()),
                       rest->decoded_.size());
    if (in_place) rest->text_offset_ = text_start;
    auto stream = TableStream::open(text, options, limits);
    if (!stream.ok()) return std::move(stream).error();
    rest->stream_ = std::move(*stream);
    return rest;
}

Result<ParseResult> RemainingRecords::next(std::uint64_t max_records) {
    auto parsed = stream_->next(max_records);
    // The tokenizer may still look back at the record it last read.
    constexpr std::size_t kKeptBehind = 1 << 20;
    const std::size_t position = text_offset_ + stream_->byte_position();
    if (position > kKeptBehind) input_.drop_pages_before(position - kKeptBehind);
    return parsed;
}

namespace {

// Rows of `width` cells that make about `cells` cells, never fewer than the
// rows inference looks at.
std::uint64_t first_piece_rows(std::size_t cells, std::size_t width) {
    return std::max<std::uint64_t>(kInferenceSampleRows, cells / std::max<std::size_t>(width, 1));
}

}  // namespace

Result<PreparedRead> prepare_read(const ReadRequest& request) {
    PreparedRead read;
    auto input = load_input_file(request.path);
    if (!input.ok()) return std::move(input).error();
    auto chosen = choose_text(*input, request.encoding);
    if (!chosen.ok()) return std::move(chosen).error();
    if (!chosen->in_place) *input = InputBytes();  // the decoded copy is all we need

    read.delimiter = request.delimiter  ? static_cast<char>(*request.delimiter)
                     : chosen->in_place ? detect_delimiter(delimiter_sample(chosen->text()))
                                        : detect_delimiter(chosen->text());
    const std::size_t text_start =
        chosen->in_place ? static_cast<std::size_t>(
                               reinterpret_cast<const std::uint8_t*>(chosen->in_place_text.data()) -
                               input->data())
                         : 0;
    auto opened =
        RemainingRecords::open(std::move(*input), std::move(chosen->decoded), chosen->in_place,
                               text_start, table_options(request, read.delimiter), request.limits);
    if (!opened.ok()) return std::move(opened).error();
    std::unique_ptr<RemainingRecords> rest = std::move(*opened);

    const bool in_pieces = request.piece_cells != 0 && request.has_header;
    const std::uint64_t rows =
        in_pieces ? first_piece_rows(request.piece_cells, rest->stream().column_count())
                  : std::numeric_limits<std::uint64_t>::max();
    auto parsed = rest->next(rows);
    if (!parsed.ok()) return std::move(parsed).error();
    read.table = std::move(parsed->table);
    // Without more to read, the input and any decoded copy go now; the table
    // owns its text.
    if (!rest->finished()) read.rest = std::move(rest);
    plan_columns(read, request);
    return read;
}

}  // namespace brelt
