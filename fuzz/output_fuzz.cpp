// Row serialization reads back: under the quoting modes that escape (minimal,
// all, non-numeric), splitting the serialized row by the dialect gives back
// the guarded fields exactly, and so does the library's own tokenizer over
// the row written twice (once per line ending); the bulk field encoder does
// the same with '"'; QuoteNone writes the fields joined as they are.
//
// Input: four setting bytes (delimiter, quote character, mode, safe), then
// the fields, separated by 0xFF bytes.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/bulk_field.hpp"
#include "output/field.hpp"
#include "output/row.hpp"
#include "tokenizer/csv_tokenizer.hpp"

namespace {

// Splits one serialized record (no line terminator) by the rules a reader
// applies; nullopt when the text is not a well-formed record.
std::optional<std::vector<std::string>> split_record(std::string_view text, char delimiter,
                                                     char quote) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (;;) {
        std::string field;
        if (at < text.size() && text[at] == quote) {
            ++at;
            for (;;) {
                if (at >= text.size()) return std::nullopt;  // unterminated
                if (text[at] == quote) {
                    if (at + 1 < text.size() && text[at + 1] == quote) {
                        field.push_back(quote);
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                field.push_back(text[at++]);
            }
            if (at < text.size() && text[at] != delimiter) return std::nullopt;
        } else {
            while (at < text.size() && text[at] != delimiter) {
                const char byte = text[at++];
                if (byte == quote || byte == '\n' || byte == '\r') return std::nullopt;
                field.push_back(byte);
            }
        }
        fields.push_back(std::move(field));
        if (at == text.size()) return fields;
        ++at;  // the delimiter
    }
}

bool is_line_break(char byte) {
    return byte == '\n' || byte == '\r';
}

// Every record the tokenizer reads from `text`, or nullopt on an error.
std::optional<std::vector<std::vector<std::string>>> tokenize(std::string_view text, char delimiter,
                                                              char quote) {
    brelt::TokenizerOptions options;
    options.delimiter = static_cast<std::uint8_t>(delimiter);
    options.quote = static_cast<std::uint8_t>(quote);
    options.has_headers = false;
    brelt::CsvTokenizer tokenizer({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                                  options);
    if (!tokenizer.ensure_headers()) return std::nullopt;
    std::vector<std::vector<std::string>> records;
    auto keep = [&](const brelt::RawRecord& record) {
        std::vector<std::string> fields;
        for (std::size_t i = 0; i < record.field_count(); ++i)
            fields.emplace_back(record.field(i));
        records.push_back(std::move(fields));
    };
    if (tokenizer.reemit_first()) keep(tokenizer.header_record());
    brelt::RawRecord record;
    for (;;) {
        auto outcome = tokenizer.read_record(record);
        if (!outcome) return std::nullopt;
        if (*outcome == brelt::ReadOutcome::EndOfInput) return records;
        keep(record);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    // PyWriter's format: modes 4 and 5 quote nothing by type here, and so act
    // as minimal.
    brelt::RowFormat format;
    const char delimiter = static_cast<char>(data[0]);
    const char quotechar = static_cast<char>(data[1]);
    format.delimiter.assign(1, delimiter);
    format.quotechar.assign(1, quotechar);
    format.quoting = static_cast<brelt::QuotingMode>(data[2] % 6);
    format.quote_by_text = true;
    format.safe = (data[3] & 1) != 0;
    format.lineterminator = "";
    const std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);

    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = rest.find('\xFF', start);
        fields.push_back(rest.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }

    std::string out, scratch;
    brelt::RowEncoder encoder(format);
    brelt::serialize_row(out, fields, encoder);

    std::vector<std::string> guarded;
    for (auto field : fields)
        guarded.emplace_back(brelt::guard_formula(field, format.safe, scratch));

    if (format.quoting == brelt::QuotingMode::QuoteNone) {
        std::string joined;
        for (std::size_t i = 0; i < guarded.size(); ++i) {
            if (i != 0) joined.push_back(delimiter);
            joined += guarded[i];
        }
        if (out != joined) std::abort();
        return 0;
    }
    // A dialect whose delimiter is the quote or a line break cannot be read.
    if (delimiter == quotechar || is_line_break(delimiter) || is_line_break(quotechar)) return 0;
    auto read = split_record(out, delimiter, quotechar);
    if (!read || *read != guarded) std::abort();

    // The reader skips a UTF-8 byte-order mark at the start of its input, so
    // a first field that starts with one cannot come back from there.
    if (!out.starts_with("\xEF\xBB\xBF")) {
        std::string twice;
        format.lineterminator = "\r\n";
        brelt::RowEncoder crlf(format);
        brelt::serialize_row(twice, fields, crlf);
        format.lineterminator = "\n";
        brelt::RowEncoder lf(format);
        brelt::serialize_row(twice, fields, lf);
        auto records = tokenize(twice, delimiter, quotechar);
        if (!records || records->size() != 2 || (*records)[0] != guarded ||
            (*records)[1] != guarded) {
            std::abort();
        }
    }

    if (delimiter != '"') {
        brelt::BulkFieldEncoder bulk_encoder(delimiter);
        std::string bulk;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i != 0) bulk.push_back(delimiter);
            bulk += bulk_encoder.encode(fields[i], format.safe);
        }
        auto bulk_read = split_record(bulk, delimiter, '"');
        if (!bulk_read || *bulk_read != guarded) std::abort();
    }
    return 0;
}
