#include "table/parse_table.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "input/encoding/encoding.hpp"
#include "tokenizer/csv_tokenizer.hpp"

namespace brelt {

namespace {

constexpr std::ptrdiff_t kCopyWidth = 16;
constexpr std::uint64_t kSampleRows = 1024;
constexpr std::string_view kParseErrorPrefix = "CSV parse error: ";

Error parse_error(std::string detail) {
    return Error(ErrorKind::Value, std::string(kParseErrorPrefix) + detail);
}

std::string name_from_bytes(std::string_view bytes) {
    std::string name;
    // Invalid UTF-8 becomes U+FFFD; the UTF-8 decoder cannot fail otherwise.
    (void)decode_with(Encoding::Utf8,
                      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, name);
    return name;
}

}  // namespace

// Appends records to a table under construction, checking the limits that
// its offsets and counts impose before anything is written past them.
class TableBuilder {
  public:
    TableBuilder(std::size_t input_size, const TableLimits& limits)
        : table_(new ParsedTable()), limits_(limits) {
        // Enough for every field unless a column is selected twice.
        table_->text_.reserve(input_size + kCopyWidth);
    }
    ~TableBuilder() {
        if (table_ != nullptr) table_->release();
    }

    void set_column_names(std::vector<std::string> names) {
        table_->column_names_ = std::move(names);
    }

    // Every field of the record, or the selected ones (an empty field for
    // each selected index the record lacks).
    Result<bool> add_row(const RawRecord& record, const std::vector<std::size_t>* selection,
                         std::uint64_t record_number) {
        const std::size_t count = selection != nullptr ? selection->size() : record.field_count();
        if (count > limits_.max_row_fields) {
            return parse_error("record " + std::to_string(record_number) + " has " +
                               std::to_string(count) + " fields, more than the " +
                               std::to_string(limits_.max_row_fields) + " a row can hold");
        }
        ParsedTable& table = *table_;
        if (table.rows_.size() >= limits_.max_table_rows) {
            return parse_error("more than " + std::to_string(limits_.max_table_rows) +
                               " rows, more than a table can hold");
        }
        if (table.spans_.size() + count > limits_.max_fields) {
            return parse_error("more than " + std::to_string(limits_.max_fields) +
                               " fields in all, more than a table can hold");
        }
        // The record's bytes bound its stored text unless a column is selected twice.
        const std::size_t bound =
            selection == nullptr ? record.size() : selected_size(record, *selection);
        if (table.text_.size() + bound > limits_.max_text_bytes &&
            table.text_.size() + stored_size(record, selection) > limits_.max_text_bytes) {
            return parse_error("the text of the fields exceeds " +
                               std::to_string(limits_.max_text_bytes) +
                               " bytes, more than a table can hold");
        }
        // The slack lets FieldWriter move short fields in one fixed-size copy.
        table.text_.reserve_extra(bound + kCopyWidth);
        table.spans_.reserve_extra(count);
        table.rows_.push_back(
            {static_cast<std::uint32_t>(table.spans_.size()), static_cast<std::uint16_t>(count)});
        FieldWriter writer(table, record);
        if (selection == nullptr) {
            for (const RecordSpan& span : record.spans)
                writer.append(span);
        } else {
            for (const std::size_t index : *selection) {
                if (index < record.field_count()) {
                    writer.append(record.spans[index]);
                } else {
                    writer.append_empty();
                }
            }
        }
        writer.finish(table);
        return true;
    }

    // Once a sample of rows is in, reserve for the whole input at the same
    // density, so the arrays are not regrown (and copied) as they fill up.
    // Large arrays are mapped, so reserving more than is used costs only
    // address space. Only a hint: if it can't be had, the arrays grow as needed.
    // A piece of at most `max_rows` rows reserves for no more than that.
    void reserve_for_input(std::uint64_t consumed, std::uint64_t input_size,
                           std::uint64_t max_rows) {
        ParsedTable& table = *table_;
        if (consumed == 0 || table.rows_.empty()) return;
        const double scale =
            std::min(1.05 * static_cast<double>(input_size) / static_cast<double>(consumed),
                     static_cast<double>(max_rows) / static_cast<double>(table.rows_.size()));
        // Every row takes at least two bytes of input and every field one.
        const double rows = std::min(scale * static_cast<double>(table.rows_.size()),
                                     static_cast<double>(input_size / 2 + 1));
        const double fields = std::min(scale * static_cast<double>(table.spans_.size()),
                                       static_cast<double>(input_size + 1));
        try {
            table.rows_.reserve(static_cast<std::size_t>(rows));
            table.spans_.reserve(static_cast<std::size_t>(fields));
        } catch (const std::bad_alloc&) {
        }
    }

    TableRef finish() { return TableRef::adopt(std::exchange(table_, nullptr)); }

  private:
    // Copies one record's fields into room already reserved for their text
    // (plus kCopyWidth) and spans. Positions are kept in locals: every byte
    // store may alias the table's own bookkeeping, so members would be
    // reloaded after each field.
    class FieldWriter {
      public:
        FieldWriter(ParsedTable& table, const RawRecord& record)
            : text_(table.text_.data()),
              text_size_(table.text_.size()),
              spans_(table.spans_.spare()),
              record_(record.data()),
              readable_end_(record.readable_end()) {}

        void append(const RecordSpan& span) {
            const std::size_t length = span.end - span.start;
            const std::uint8_t* source = record_ + span.start;
            if (length <= kCopyWidth && readable_end_ - source >= kCopyWidth) {
                // Most fields are short: one fixed move, of which `length` bytes count.
                std::memcpy(text_ + text_size_, source, kCopyWidth);
            } else if (length != 0) {
                std::memcpy(text_ + text_size_, source, length);
            }
            *spans_++ = {static_cast<std::uint32_t>(text_size_),
                         static_cast<std::uint32_t>(text_size_ + length)};
            text_size_ += length;
        }
        void append_empty() {
            *spans_++ = {static_cast<std::uint32_t>(text_size_),
                         static_cast<std::uint32_t>(text_size_)};
        }
        void finish(ParsedTable& table) {
            table.text_.set_size(text_size_);
            table.spans_.commit(static_cast<std::size_t>(spans_ - table.spans_.spare()));
        }

      private:
        std::uint8_t* text_;
        std::size_t text_size_;
        FieldSpan* spans_;
        const std::uint8_t* record_;
        const std::uint8_t* readable_end_;
    };

    static std::size_t selected_size(const RawRecord& record,
                                     const std::vector<std::size_t>& selection) {
        std::size_t total = 0;
        for (const std::size_t index : selection) {
            if (index < record.field_count()) total += record.field(index).size();
        }
        return total;
    }
    static std::size_t stored_size(const RawRecord& record,
                                   const std::vector<std::size_t>* selection) {
        if (selection != nullptr) return selected_size(record, *selection);
        std::size_t total = 0;
        for (const RecordSpan& span : record.spans)
            total += span.end - span.start;
        return total;
    }

    ParsedTable* table_;
    TableLimits limits_;
};

namespace {

// Header indices for the requested names, first match each, in request order.
std::vector<std::size_t> select_columns(const std::vector<std::string>& header_names,
                                        const std::vector<std::string>& requested,
                                        std::vector<std::string>& selected_names) {
    std::vector<std::size_t> selection;
    for (const std::string& name : requested) {
        for (std::size_t i = 0; i < header_names.size(); ++i) {
            if (header_names[i] == name) {
                selection.push_back(i);
                selected_names.push_back(header_names[i]);
                break;
            }
        }
    }
    return selection;
}

}  // namespace

struct TableStream::State {
    State(std::span<const std::uint8_t> input, const TableOptions& options,
          const TableLimits& limits)
        : input(input), options(options), limits(limits), tokenizer(input, tokenizer_options()) {}

    TokenizerOptions tokenizer_options() const {
        TokenizerOptions result;
        result.delimiter = options.delimiter;
        result.quote = '"';
        result.has_headers = options.has_header;
        result.flexible = !options.strict;
        result.tuning = options.tuning;
        return result;
    }

    std::span<const std::uint8_t> input;
    TableOptions options;
    TableLimits limits;
    CsvTokenizer tokenizer;
    std::vector<std::string> column_names;
    std::vector<std::size_t> selection;
    RawRecord record;
    std::uint64_t skipped = 0;
    std::uint64_t stored = 0;
    bool finished = false;
};

TableStream::TableStream(std::unique_ptr<State> state) : state_(std::move(state)) {}
TableStream::~TableStream() = default;

bool TableStream::finished() const {
    return state_->finished;
}

std::size_t TableStream::column_count() const {
    return state_->column_names.size();
}

Result<std::unique_ptr<TableStream>> TableStream::open(std::span<const std::uint8_t> input,
                                                       const TableOptions& options,
                                                       const TableLimits& limits) {
    try {
        auto state = std::make_unique<State>(input, options, limits);
        std::vector<std::string> header_names;
        if (options.has_header) {
            if (Result<bool> headers = state->tokenizer.ensure_headers(); !headers) {
                return parse_error(std::move(headers).error().message);
            }
            const RawRecord& header = state->tokenizer.header_record();
            for (std::size_t i = 0; i < header.field_count(); ++i) {
                header_names.push_back(name_from_bytes(header.field(i)));
            }
        }
        if (options.columns) {
            state->selection = select_columns(header_names, *options.columns, state->column_names);
        } else {
            state->column_names = std::move(header_names);
        }
        return std::unique_ptr<TableStream>(new TableStream(std::move(state)));
    } catch (const std::bad_alloc&) {
        return Error(ErrorKind::Memory, "alloc");
    }
}

Result<ParseResult> TableStream::next(std::uint64_t max_records) {
    try {
        return next_piece(max_records);
    } catch (const std::bad_alloc&) {
        return Error(ErrorKind::Memory, "alloc");
    }
}

Result<ParseResult> TableStream::next_piece(std::uint64_t max_records) {
    State& s = *state_;
    const TableOptions& options = s.options;
    const std::uint64_t input_left = s.input.size() - s.tokenizer.byte_position();
    TableBuilder builder(input_left, s.limits);
    builder.set_column_names(s.column_names);
    const std::vector<std::size_t>* selected = options.columns ? &s.selection : nullptr;

    std::uint64_t piece_rows = 0;
    while (!s.finished && piece_rows < max_records) {
        if (Result<bool> headers = s.tokenizer.ensure_headers(); !headers) {
            return parse_error(std::move(headers).error().message);
        }
        const RawRecord* current = &s.record;
        if (s.tokenizer.reemit_first()) {
            // No header line: the first record read is the first data record.
            current = &s.tokenizer.header_record();
            s.tokenizer.clear_reemit_first();
        } else {
            Result<ReadOutcome> outcome = s.tokenizer.read_record(s.record);
            if (!outcome) return parse_error(std::move(outcome).error().message);
            if (*outcome == ReadOutcome::EndOfInput) {
                s.finished = true;
                break;
            }
        }
        // A record is read before it is skipped or found beyond max_rows, so
        // its field count is checked either way.
        if (s.skipped < options.skip_rows) {
            ++s.skipped;
            continue;
        }
        if (options.max_rows && s.stored >= *options.max_rows) {
            s.finished = true;
            break;
        }
        if (Result<bool> added = builder.add_row(*current, selected, s.skipped + s.stored + 1);
            !added) {
            return std::move(added).error();
        }
        ++s.stored;
        ++piece_rows;
        if (piece_rows == kSampleRows) {
            builder.reserve_for_input(s.tokenizer.byte_position() - (s.input.size() - input_left),
                                      input_left, max_records);
        }
    }
    return ParseResult{builder.finish(), piece_rows};
}

Result<ParseResult> parse_table(std::span<const std::uint8_t> input, const TableOptions& options,
                                const TableLimits& limits) {
    auto stream = TableStream::open(input, options, limits);
    if (!stream) return std::move(stream).error();
    return (*stream)->next(std::numeric_limits<std::uint64_t>::max());
}

}  // namespace brelt
