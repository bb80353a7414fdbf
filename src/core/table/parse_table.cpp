#include "table/parse_table.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "input/encoding/encoding.hpp"
#include "table/text_runs.hpp"
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
        // Enough for every field unless a column is selected twice, with the
        // slack that the batch path's fixed-size copies need.
        table_->text_.reserve(input_size + kBatchTextSlack);
        table_->bounds_.push_back(0);
    }
    ~TableBuilder() {
        if (table_ != nullptr) table_->release();
    }

    void set_column_names(std::vector<std::string> names) {
        table_->column_names_ = std::move(names);
    }

    // Every field of the record, or the selected ones (an empty field for
    // each selected index the record lacks).
    // `record_number` is unknown in a later part of a file.
    Result<bool> add_row(const RawRecord& record, const std::vector<std::size_t>* selection,
                         std::optional<std::uint64_t> record_number) {
        const std::size_t count = selection != nullptr ? selection->size() : record.field_count();
        if (count > limits_.max_row_fields) {
            const std::string which =
                record_number ? "record " + std::to_string(*record_number) : "a record";
            return parse_error(which + " has " + std::to_string(count) + " fields, more than the " +
                               std::to_string(limits_.max_row_fields) + " a row can hold");
        }
        ParsedTable& table = *table_;
        if (table.rows_.size() >= limits_.max_table_rows) {
            return parse_error("more than " + std::to_string(limits_.max_table_rows) +
                               " rows, more than a table can hold");
        }
        if (fields() + count > limits_.max_fields) {
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
        table.bounds_.reserve_extra(count);
        table.rows_.push_back(
            {static_cast<std::uint32_t>(fields()), static_cast<std::uint16_t>(count)});
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

    // Records straight from the tokenizer's batch path, at most `max_rows`;
    // returns how many. `input_left` is the input not yet read.
    std::size_t add_batch(CsvTokenizer& tokenizer, std::uint64_t max_rows,
                          std::uint64_t input_left) {
        ParsedTable& table = *table_;
        // The batch stops where its room runs out; the arrays grow here, by
        // doubling, so a batch that stops early for another reason costs no
        // reallocation.
        constexpr std::size_t kFieldRoom = 4096;
        constexpr std::size_t kRowRoom = 512;
        if (table.bounds_.capacity() - table.bounds_.size() < kFieldRoom) {
            table.bounds_.reserve_extra(std::max(table.bounds_.size(), kFieldRoom));
        }
        if (table.rows_.capacity() - table.rows_.size() < kRowRoom) {
            table.rows_.reserve_extra(std::max(table.rows_.size(), kRowRoom));
        }
        // Only a column selected twice could make the text outgrow the input.
        table.text_.reserve_extra(static_cast<std::size_t>(input_left) + kBatchTextSlack);
        const std::uint64_t row_room = std::min<std::uint64_t>(
            max_rows, limits_.max_table_rows -
                          std::min<std::uint64_t>(limits_.max_table_rows, table.rows_.size()));
        RecordBatch batch{};
        batch.text = table.text_.data();
        batch.text_size = table.text_.size();
        batch.text_limit = static_cast<std::size_t>(limits_.max_text_bytes);
        // Field i ends at bounds_[i + 1].
        batch.field_ends = table.bounds_.data() + 1;
        batch.field_count = fields();
        batch.field_limit = static_cast<std::size_t>(
            std::min<std::uint64_t>(table.bounds_.capacity() - 1, limits_.max_fields));
        batch.rows = table.rows_.data();
        batch.row_count = table.rows_.size();
        batch.row_limit =
            table.rows_.size() + static_cast<std::size_t>(std::min<std::uint64_t>(
                                     row_room, table.rows_.capacity() - table.rows_.size()));
        batch.max_row_fields = static_cast<std::size_t>(limits_.max_row_fields);
        const std::size_t read = tokenizer.read_batch(batch);
        table.text_.set_size(batch.text_size);
        table.bounds_.set_size(batch.field_count + 1);
        table.rows_.set_size(batch.row_count);
        return read;
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
        const double fields = std::min(scale * static_cast<double>(this->fields()),
                                       static_cast<double>(input_size + 1));
        try {
            table.rows_.reserve(static_cast<std::size_t>(rows));
            table.bounds_.reserve(static_cast<std::size_t>(fields) + 1);
        } catch (const std::bad_alloc&) {
        }
    }

    TableRef finish() { return TableRef::adopt(std::exchange(table_, nullptr)); }

  private:
    // Copies one record's fields into room already reserved for their text
    // (plus kCopyWidth) and bounds. Positions are kept in locals: every byte
    // store may alias the table's own bookkeeping, so members would be
    // reloaded after each field.
    class FieldWriter {
      public:
        FieldWriter(ParsedTable& table, const RawRecord& record)
            : text_(table.text_.data()),
              text_size_(table.text_.size()),
              ends_(table.bounds_.spare()),
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
            *ends_++ = static_cast<std::uint32_t>(text_size_ + length);
            text_size_ += length;
        }
        void append_empty() { *ends_++ = static_cast<std::uint32_t>(text_size_); }
        void finish(ParsedTable& table) {
            table.text_.set_size(text_size_);
            table.bounds_.commit(static_cast<std::size_t>(ends_ - table.bounds_.spare()));
        }

      private:
        std::uint8_t* text_;
        std::size_t text_size_;
        std::uint32_t* ends_;
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

    // Fields stored so far (bounds_ has one entry more).
    std::size_t fields() const { return table_->bounds_.size() - 1; }

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
        result.has_headers = options.has_header && !options.mid_file;
        result.flexible = !options.strict;
        if (options.mid_file) result.mid_file = options.mid_file->position;
        result.tuning = options.tuning;
        return result;
    }

    // Input left in the run the tokenizer is in.
    std::uint64_t input_left() const {
        return input.size() - (tokenizer.byte_position() - input_offset);
    }

    std::span<const std::uint8_t> input;  // the whole input, or the current run
    std::uint64_t input_offset = 0;       // where `input` begins in the whole input
    TextRuns* runs = nullptr;             // where the runs after `input` come from
    bool last_input = true;
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

std::size_t TableStream::byte_position() const {
    return static_cast<std::size_t>(state_->tokenizer.byte_position());
}

std::size_t TableStream::first_record_fields() const {
    return state_->tokenizer.header_record().field_count();
}

const std::vector<std::size_t>& TableStream::selection() const {
    return state_->selection;
}

Result<std::unique_ptr<TableStream>> TableStream::open(TextRuns& runs, const TableOptions& options,
                                                       const TableLimits& limits) {
    auto first = runs.first(static_cast<char>(options.delimiter));
    if (!first.ok()) return std::move(first).error();
    return open_state(first->text, options, limits, &runs, first->last);
}

Result<std::unique_ptr<TableStream>> TableStream::open(std::span<const std::uint8_t> input,
                                                       const TableOptions& options,
                                                       const TableLimits& limits) {
    return open_state(input, options, limits, nullptr, true);
}

Result<std::unique_ptr<TableStream>> TableStream::open_state(std::span<const std::uint8_t> input,
                                                             const TableOptions& options,
                                                             const TableLimits& limits,
                                                             TextRuns* runs, bool last_input) {
    try {
        auto state = std::make_unique<State>(input, options, limits);
        state->runs = runs;
        state->last_input = last_input;
        if (options.mid_file) {
            state->column_names = options.mid_file->column_names;
            state->selection = options.mid_file->selection;
            state->options.skip_rows = 0;
            state->options.max_rows.reset();
            return std::unique_ptr<TableStream>(new TableStream(std::move(state)));
        }
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
    const std::uint64_t input_left = s.input_left();
    const std::uint64_t start_offset = s.input_offset;
    TableBuilder builder(input_left, s.limits);
    builder.set_column_names(s.column_names);
    const std::vector<std::size_t>* selected = options.columns ? &s.selection : nullptr;

    std::uint64_t piece_rows = 0;
    bool reserved = false;
    while (!s.finished && piece_rows < max_records) {
        if (Result<bool> headers = s.tokenizer.ensure_headers(); !headers) {
            return parse_error(std::move(headers).error().message);
        }
        // Whole runs of ordinary records go straight into the table; the
        // record after a run (if any) is read one at a time below.
        if (selected == nullptr && !s.tokenizer.reemit_first() && s.skipped >= options.skip_rows) {
            std::uint64_t room = max_records - piece_rows;
            if (options.max_rows) room = std::min(room, *options.max_rows - s.stored);
            if (room != 0) {
                const std::uint64_t added = builder.add_batch(s.tokenizer, room, s.input_left());
                s.stored += added;
                piece_rows += added;
            }
            if (piece_rows == max_records) break;
        }
        if (!reserved && piece_rows >= kSampleRows) {
            // The density of the input read so far, while it is one run.
            if (s.input_offset == start_offset) {
                builder.reserve_for_input(input_left - s.input_left(), input_left, max_records);
            }
            reserved = true;
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
                if (!s.last_input) {
                    auto run = s.runs->next();
                    if (!run.ok()) return std::move(run).error();
                    s.input = run->text;
                    s.input_offset = run->offset;
                    s.last_input = run->last;
                    s.tokenizer.continue_in(run->text, run->offset);
                    continue;
                }
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
        std::optional<std::uint64_t> record_number;
        if (!options.mid_file) record_number = s.skipped + s.stored + 1;
        if (Result<bool> added = builder.add_row(*current, selected, record_number); !added) {
            return std::move(added).error();
        }
        ++s.stored;
        ++piece_rows;
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
