#include "table/prepare_read.hpp"

#include <algorithm>
#include <limits>
#include <span>

#include "input/byte_reader.hpp"
#include "input/file_range.hpp"
#include "input/sniff.hpp"
#include "input/text_encoding.hpp"
#include "input/text_reader.hpp"
#include "table/parse_table.hpp"
#include "types/infer.hpp"

namespace brelt {

namespace {

constexpr std::size_t kDelimiterSampleBytes = 4096;

// Rows for the first piece: see ReadRequest::piece_cells and piece_rows.
std::uint64_t first_piece_rows(const ReadRequest& request, std::size_t width) {
    if (request.piece_rows != 0) {
        const std::uint64_t pieces =
            (kInferenceSampleRows + request.piece_rows - 1) / request.piece_rows;
        return std::max<std::uint64_t>(pieces, 1) * request.piece_rows;
    }
    return std::max<std::uint64_t>(kInferenceSampleRows,
                                   request.piece_cells / std::max<std::size_t>(width, 1));
}

bool reads_in_pieces(const ReadRequest& request) {
    const bool names_known = request.has_header || request.plan || request.widest_record;
    return (request.piece_cells != 0 || request.piece_rows != 0) && names_known;
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

bool is_not_utf8_guess(const Error& error) {
    return error.kind == ErrorKind::Value && error.message == kNotUtf8Message;
}

Result<PreparedRead> prepare_once(const ReadRequest& request) {
    // A part of the file is read alone, once the file is found unchanged.
    const FilePart* part = request.part ? &*request.part : nullptr;
    auto bytes = part != nullptr
                     ? open_file_part(request.path, part->start, part->size, part->identity)
                     : open_byte_reader(request.path);
    if (!bytes.ok()) return std::move(bytes).error();
    // Enough for a byte-order mark.
    std::uint8_t start_bytes[3];
    auto got = (*bytes)->read(start_bytes);
    if (!got.ok()) return std::move(got).error();
    const std::span<const std::uint8_t> start(start_bytes, *got);

    PreparedRead read;
    read.file_size = (*bytes)->file_size();
    bool confirm_utf8 = false;
    if (request.plan) {
        read.plan = *request.plan;
    } else {
        std::optional<std::string_view> label;
        if (request.encoding) label = *request.encoding;
        confirm_utf8 = text_encoding_needs_whole_file(start, label) && !request.whole_file_utf8;
        auto chosen = choose_text_encoding(start, label, request.whole_file_utf8.value_or(true));
        if (!chosen.ok()) return std::move(chosen).error();
        read.plan.text = *chosen;
    }
    // Only the file's start has the mark.
    TextEncoding encoding = read.plan.text;
    if (part != nullptr && part->start > 0) encoding.mark_size = 0;
    auto runs = std::make_unique<TextRuns>(
        std::make_unique<TextReader>(std::move(*bytes), start, encoding, confirm_utf8));
    if (request.plan) {
        // Taken as it is.
    } else if (request.delimiter) {
        read.plan.delimiter = static_cast<char>(*request.delimiter);
    } else {
        auto head = runs->head();
        if (!head.ok()) return std::move(head).error();
        read.plan.delimiter = read.plan.text.in_place ? detect_delimiter(delimiter_sample(*head))
                                                      : detect_delimiter(*head);
    }
    std::unique_ptr<RemainingRecords> rest(new RemainingRecords(std::move(runs)));
    auto stream = TableStream::open(*rest->runs_, table_options(request, read.plan.delimiter),
                                    request.limits);
    if (!stream.ok()) return std::move(stream).error();
    rest->stream_ = std::move(*stream);

    const std::uint64_t rows = reads_in_pieces(request)
                                   ? first_piece_rows(request, rest->stream_->column_count())
                                   : std::numeric_limits<std::uint64_t>::max();
    auto parsed = rest->next(rows);
    if (!parsed.ok()) return std::move(parsed).error();
    read.table = std::move(parsed->table);
    // Without more to read, the file goes now; the table owns its text.
    if (!rest->finished()) read.rest = std::move(rest);
    if (!request.plan) plan_columns(*read.table, request, read.plan, request.widest_record);
    return read;
}

Result<PreparedRead> prepare_read(const ReadRequest& request) {
    auto read = prepare_once(request);
    if (read.ok() || !is_not_utf8_guess(read.error())) return read;
    // Nothing has been handed out yet: start over knowing better.
    ReadRequest known = request;
    known.whole_file_utf8 = false;
    return prepare_once(known);
}

}  // namespace brelt
