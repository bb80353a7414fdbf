#include "table/streamed_read.hpp"

#include <algorithm>

#include "input/utf8_check.hpp"

namespace brelt {

namespace {

constexpr std::uint64_t kScanPieceRows = 1 << 16;

std::size_t widest_of(const ParsedTable& table) {
    std::size_t widest = 0;
    for (std::size_t row = 0; row < table.row_count(); ++row)
        widest = std::max(widest, table.field_count(row));
    return widest;
}

// The widest record of the rows `request` reads, parsed and let go a piece
// at a time; up to the first error.
std::size_t widest_record(const ReadRequest& request) {
    ReadRequest scan = request;
    scan.schema.emplace();  // nothing to infer
    scan.widest_record = 0;
    scan.piece_rows = kScanPieceRows;
    auto read = prepare_read(scan);
    // An error in the first piece is the read's own to report.
    if (!read.ok()) return 0;
    std::size_t widest = widest_of(*read->table);
    if (!read->rest) return widest;
    while (!read->rest->finished()) {
        auto piece = read->rest->next(kScanPieceRows);
        if (!piece.ok()) break;
        widest = std::max(widest, widest_of(*piece->table));
    }
    return widest;
}

}  // namespace

Result<PreparedRead> prepare_streamed_read(ReadRequest request) {
    if (!request.plan && !request.encoding && !request.whole_file_utf8) {
        auto utf8 = file_content_is_utf8(request.path);
        if (!utf8.ok()) return std::move(utf8).error();
        request.whole_file_utf8 = *utf8;
    }
    if (!request.plan && !request.has_header && !request.widest_record) {
        request.widest_record = widest_record(request);
    }
    return prepare_read(request);
}

}  // namespace brelt
