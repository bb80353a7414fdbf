#include "partition/partition_plan.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include "input/decompress/compression.hpp"
#include "input/load.hpp"
#include "input/sniff.hpp"
#include "input/text_encoding.hpp"
#include "parallel/worker_pool.hpp"
#include "partition/quote_parity.hpp"
#include "table/parse_table.hpp"
#include "table/streamed_read.hpp"
#include "tokenizer/tokenizer_bytes.hpp"
#include "types/infer.hpp"

namespace brelt {

namespace {

using tokenizer_bytes::kLineFeed;

// The first records are looked for in a prefix of the file that starts at
// this size and doubles until it holds them.
constexpr std::uint64_t kFirstPrefixBytes = 1 << 20;
// A file planned as one partition has only its first piece parsed (about
// this many cells, and at least the records inference reads).
constexpr std::size_t kPlanningPieceCells = 1 << 18;

Error changed_while_planned(const std::string& path) {
    return Error(ErrorKind::Value, path + " changed while it was being partitioned");
}

// The text of a range of the file that begins at a record start: its bytes
// (after the mark, at the file's start) where they lie, or decoded.
struct RangeText {
    std::size_t mark_size = 0;
    bool in_place = true;
    std::string decoded;

    std::span<const std::uint8_t> text(std::span<const std::uint8_t> range) const {
        if (in_place) return range.subspan(mark_size);
        return {reinterpret_cast<const std::uint8_t*>(decoded.data()), decoded.size()};
    }
};

Result<RangeText> range_text(std::span<const std::uint8_t> range, bool first,
                             const TextEncoding& encoding) {
    RangeText text;
    text.mark_size = first ? std::min(encoding.mark_size, range.size()) : 0;
    text.in_place = encoding.in_place;
    if (!text.in_place) {
        auto decoded = decode_text(range.subspan(text.mark_size), encoding, text.decoded);
        if (!decoded.ok()) return std::move(decoded).error();
    }
    return text;
}

// Where a text position that follows a record's LF (or ends the text) lies
// in the raw bytes: decoding keeps every LF, and only LFs, as LF.
std::uint64_t raw_offset(const RangeText& text, std::span<const std::uint8_t> text_bytes,
                         std::size_t position, std::span<const std::uint8_t> raw,
                         const ScanKernels& kernels) {
    if (text.in_place) return text.mark_size + position;
    if (position >= text_bytes.size()) return raw.size();
    std::size_t line_feeds = kernels.count_byte(text_bytes.data(), position, kLineFeed);
    std::size_t at = 0;
    for (; line_feeds > 0; --line_feeds) {
        at += kernels.find_byte(raw.data() + at, raw.size() - at, kLineFeed) + 1;
    }
    return at;
}

// UTF-16's units hold 0x0A and 0x22 bytes, ISO-2022-JP's state runs across
// lines, and "replacement" makes one character of the whole input.
bool splits_at_line_feeds(Encoding encoding) {
    return encoding != Encoding::Utf16LE && encoding != Encoding::Utf16BE &&
           encoding != Encoding::Iso2022Jp && encoding != Encoding::Replacement;
}

// A compressed stream cannot be entered midway: such a file is one
// partition, known by the readers' own test of its first bytes.
bool compressed(std::span<const std::uint8_t> bytes) {
    return detect_compression(bytes) != Compression::None;
}

// What the file's first records fix for every partition.
struct FirstRecords {
    char delimiter = ',';
    TableRef table;                // the first data records, at most as many as inference reads
    std::uint64_t data_start = 0;  // after the header and the skipped records
    std::size_t first_record_fields = 0;
    std::vector<std::size_t> selection;
};

// Reads the header, the skipped records and the records inference looks at
// from a prefix cut at a record start, growing it until they are all in it.
Result<FirstRecords> read_first_records(const ReadRequest& request,
                                        std::span<const std::uint8_t> bytes,
                                        const QuoteParity& parity, const TextEncoding& encoding,
                                        const ScanKernels& kernels) {
    FirstRecords first;
    for (std::uint64_t wanted = kFirstPrefixBytes;; wanted *= 2) {
        const std::uint64_t end = parity.record_start_at_or_after(wanted);
        const bool whole = end == bytes.size();
        const auto prefix = bytes.first(static_cast<std::size_t>(end));
        auto text = range_text(prefix, true, encoding);
        if (!text.ok()) return std::move(text).error();
        const std::span<const std::uint8_t> text_bytes = text->text(prefix);
        const std::string_view as_chars(reinterpret_cast<const char*>(text_bytes.data()),
                                        text_bytes.size());
        // A plain read guesses from a 4,096-byte sample of text read in
        // place, and otherwise from the first lines of the decoded text.
        if (request.delimiter) {
            first.delimiter = static_cast<char>(*request.delimiter);
        } else if (encoding.in_place) {
            first.delimiter = detect_delimiter(delimiter_sample(as_chars));
        } else {
            if (!whole && kernels.count_byte(text_bytes.data(), text_bytes.size(), kLineFeed) <
                              kSniffLineLimit) {
                continue;
            }
            first.delimiter = detect_delimiter(as_chars);
        }
        const TableOptions options = table_options(request, first.delimiter);
        auto stream = TableStream::open(text_bytes, options, request.limits);
        if (!stream.ok()) return std::move(stream).error();
        auto parsed = (*stream)->next(kInferenceSampleRows);
        if (!parsed.ok()) return std::move(parsed).error();
        if (!whole && parsed->rows < kInferenceSampleRows) continue;

        // The same records again, unskipped, to find where the data begins.
        TableOptions unskipped;
        unskipped.delimiter = options.delimiter;
        unskipped.has_header = options.has_header;
        auto skipping = TableStream::open(text_bytes, unskipped, request.limits);
        if (!skipping.ok()) return std::move(skipping).error();
        auto skipped = (*skipping)->next(request.skip_rows);
        if (!skipped.ok()) return std::move(skipped).error();
        if (!whole && skipped->rows < request.skip_rows) continue;

        first.data_start =
            raw_offset(*text, text_bytes, (*skipping)->byte_position(), prefix, kernels);
        first.table = std::move(parsed->table);
        first.first_record_fields = (*stream)->first_record_fields();
        first.selection = (*stream)->selection();
        return first;
    }
}

// The partition's text parsed whole, for the widest record.
Result<std::size_t> widest_record(const PartitionPlan& plan, std::span<const std::uint8_t> bytes,
                                  std::size_t k) {
    const std::uint64_t start = plan.starts[k];
    const auto range = bytes.subspan(static_cast<std::size_t>(start),
                                     static_cast<std::size_t>(plan.partition_end(k) - start));
    auto text = range_text(range, k == 0, plan.request.plan->text);
    if (!text.ok()) return std::move(text).error();
    const TableOptions options =
        table_options(partition_request(plan, k, 0), plan.request.plan->delimiter);
    auto parsed = parse_table(text->text(range), options, plan.request.limits);
    if (!parsed.ok()) return std::move(parsed).error();
    std::size_t widest = 0;
    for (std::size_t r = 0; r < parsed->table->row_count(); ++r) {
        widest = std::max(widest, parsed->table->field_count(r));
    }
    return widest;
}

// Without a header the names come from the widest record of the whole file,
// so every partition is parsed once here, on the pool.
Result<std::size_t> widest_in_file(const PartitionPlan& plan, std::span<const std::uint8_t> bytes) {
    std::vector<std::optional<Error>> errors(plan.partition_count());
    std::vector<std::size_t> widest(plan.partition_count());
    run_on_pool(plan.partition_count(), [&](std::size_t k) {
        try {
            auto found = widest_record(plan, bytes, k);
            if (found.ok()) {
                widest[k] = *found;
            } else {
                errors[k] = std::move(found).error();
            }
        } catch (const std::bad_alloc&) {
            errors[k] = Error(ErrorKind::Memory, "alloc");
        }
    });
    for (auto& error : errors) {
        if (error) return std::move(*error);
    }
    return *std::max_element(widest.begin(), widest.end());
}

std::vector<std::uint64_t> target_offsets(std::uint64_t size, PartitionTarget target) {
    std::vector<std::uint64_t> offsets;
    if (target.bytes != 0) {
        for (std::uint64_t t = target.bytes; t < size; t += target.bytes)
            offsets.push_back(t);
    } else {
        const std::uint64_t count = std::max<std::uint64_t>(target.count, 1);
        for (std::uint64_t k = 1; k < count && k < size; ++k) {
            // k * size / count without overflow for any 64-bit size.
            offsets.push_back(
                static_cast<std::uint64_t>(static_cast<unsigned __int128>(size) * k / count));
        }
    }
    return offsets;
}

// One partition, planned as a plain read plans the file.
Result<PartitionPlan> whole_file_plan(PartitionPlan plan) {
    plan.starts = {0};
    ReadRequest request = plan.request;
    request.piece_cells = kPlanningPieceCells;
    // A streamed read settles first what only the whole file tells (is it
    // all UTF-8, how wide is its widest record), as the plan must hold for
    // all of it.
    auto read = prepare_streamed_read(request);
    if (!read.ok()) return std::move(read).error();
    plan.request.plan = std::move(read->plan);
    plan.request.schema.reset();
    return plan;
}

Result<PartitionPlan> plan_in_place(const ReadRequest& request,
                                    std::optional<std::vector<std::string>> null_values,
                                    PartitionTarget target) {
    PartitionPlan plan;
    plan.request = request;
    plan.request.piece_cells = 0;
    plan.request.plan.reset();
    plan.request.part.reset();
    plan.null_values = std::move(null_values);
    auto identity = identify_file(request.path);
    if (!identity.ok()) return std::move(identity).error();
    plan.identity = *identity;
    auto input = load_input_file(request.path);
    if (!input.ok()) return std::move(input).error();
    if (input->size() != plan.identity.size) return changed_while_planned(request.path);
    const std::span<const std::uint8_t> bytes = input->bytes();

    std::optional<std::string_view> label;
    if (request.encoding) label = *request.encoding;
    auto encoding = choose_text_encoding(bytes, label);
    if (!encoding.ok()) return std::move(encoding).error();
    const std::vector<std::uint64_t> targets = target_offsets(bytes.size(), target);
    if (!splits_at_line_feeds(encoding->encoding) || compressed(bytes) || request.max_rows ||
        targets.empty()) {
        return whole_file_plan(std::move(plan));
    }
    const ScanKernels& kernels = scan_kernels_for(active_isa());
    const bool quotes_count = !(request.delimiter && *request.delimiter == '"');
    const QuoteParity parity(bytes, quotes_count);

    auto first = read_first_records(request, bytes, parity, *encoding, kernels);
    if (!first.ok()) return std::move(first).error();
    ReadPlan& read_plan = plan.request.plan.emplace();
    read_plan.text = *encoding;
    read_plan.delimiter = first->delimiter;
    plan.first_record_fields = first->first_record_fields;
    plan.column_names = first->table->column_names();
    plan.selection = first->selection;

    // Each cut is the first record start at or after its target, and never
    // before the data: the header and the skipped records stay in the first.
    std::vector<std::uint64_t> cuts(targets.size());
    run_on_pool(targets.size(), [&](std::size_t k) {
        cuts[k] = parity.record_start_at_or_after(std::max(targets[k], first->data_start));
    });
    plan.starts = {0};
    for (const std::uint64_t cut : cuts) {
        if (cut > plan.starts.back() && cut < bytes.size()) plan.starts.push_back(cut);
    }

    std::optional<std::size_t> widest;
    if (!request.has_header) {
        auto found = widest_in_file(plan, bytes);
        if (!found.ok()) return std::move(found).error();
        widest = *found;
    }
    plan_columns(*first->table, request, read_plan, widest);
    plan.request.schema.reset();
    return plan;
}

}  // namespace

Result<PartitionPlan> plan_partitions(const ReadRequest& request,
                                      std::optional<std::vector<std::string>> null_values,
                                      PartitionTarget target) {
    try {
        return plan_in_place(request, std::move(null_values), target);
    } catch (const std::bad_alloc&) {
        return Error(ErrorKind::Memory, "alloc");
    }
}

ReadRequest partition_request(const PartitionPlan& plan, std::size_t k, std::size_t piece_cells) {
    ReadRequest request = plan.request;
    request.piece_cells = piece_cells;
    const std::uint64_t start = plan.starts[k];
    request.part = FilePart{start,
                            plan.partition_end(k) - start,
                            plan.identity,
                            {{plan.first_record_fields, start}, plan.column_names, plan.selection}};
    return request;
}

}  // namespace brelt
