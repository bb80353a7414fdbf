#include "table/prepare_read.hpp"

#include <algorithm>
#include <limits>
#include <span>

#include "input/file_range.hpp"
#include "input/load.hpp"
#include "input/sniff.hpp"
#include "input/text_encoding.hpp"
#include "table/parse_table.hpp"
#include "types/infer.hpp"

namespace brelt {

namespace {

constexpr std::size_t kDelimiterSampleBytes = 4096;

std::string_view as_text(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Rows of `width` cells that make about `cells` cells, never fewer than the
// rows inference looks at.
std::uint64_t first_piece_rows(std::size_t cells, std::size_t width) {
    return std::max<std::uint64_t>(kInferenceSampleRows, cells / std::max<std::size_t>(width, 1));
}

}  // namespace

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

Result<ParseResult> RemainingRecords::next(std::uint64_t max_records) {
    auto parsed = stream_->next(max_records);
    // The tokenizer may still look back at the record it last read.
    constexpr std::size_t kKeptBehind = 1 << 20;
    const std::size_t position = text_offset_ + stream_->byte_position();
    if (position > kKeptBehind) input_.drop_pages_before(position - kKeptBehind);
    return parsed;
}

Result<PreparedRead> prepare_read(const ReadRequest& request) {
    PreparedRead read;
    // A part of the file is loaded alone, once the file is found unchanged.
    const FilePart* part = request.part ? &*request.part : nullptr;
    auto input = part != nullptr
                     ? load_file_range(request.path, part->start, part->size, part->identity)
                     : load_input_file(request.path);
    if (!input.ok()) return std::move(input).error();
    if (request.plan) {
        read.plan = *request.plan;
    } else {
        std::optional<std::string_view> label;
        if (request.encoding) label = *request.encoding;
        auto chosen = choose_text_encoding(input->bytes(), label);
        if (!chosen.ok()) return std::move(chosen).error();
        read.plan.text = *chosen;
    }
    const TextEncoding& encoding = read.plan.text;
    // Only the file's start has the mark.
    const std::size_t mark_size = part != nullptr && part->start > 0 ? 0 : encoding.mark_size;
    const std::span<const std::uint8_t> after_mark =
        input->bytes().subspan(std::min(mark_size, input->size()));

    // The stream reads the text where it lies, so the input and any decoded
    // copy move into the remaining records before it opens (a string's
    // buffer does not move).
    auto rest = std::make_unique<RemainingRecords>(std::move(*input), std::string());
    std::string_view text;
    if (encoding.in_place) {
        rest->text_offset_ = mark_size;
        text = as_text(after_mark);
    } else {
        if (auto decoded = decode_text(after_mark, encoding, rest->decoded_); !decoded.ok()) {
            return std::move(decoded).error();
        }
        rest->input_ = InputBytes();  // the decoded copy is all we need
        text = rest->decoded_;
    }

    if (!request.plan) {
        read.plan.delimiter = request.delimiter   ? static_cast<char>(*request.delimiter)
                              : encoding.in_place ? detect_delimiter(delimiter_sample(text))
                                                  : detect_delimiter(text);
    }
    auto stream =
        TableStream::open({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                          table_options(request, read.plan.delimiter), request.limits);
    if (!stream.ok()) return std::move(stream).error();
    rest->stream_ = std::move(*stream);

    const bool in_pieces = request.piece_cells != 0 && (request.has_header || request.plan);
    const std::uint64_t rows =
        in_pieces ? first_piece_rows(request.piece_cells, rest->stream_->column_count())
                  : std::numeric_limits<std::uint64_t>::max();
    auto parsed = rest->next(rows);
    if (!parsed.ok()) return std::move(parsed).error();
    read.table = std::move(parsed->table);
    // Without more to read, the input and any decoded copy go now; the table
    // owns its text.
    if (!rest->finished()) read.rest = std::move(rest);
    if (!request.plan) plan_columns(*read.table, request, read.plan);
    return read;
}

}  // namespace brelt
