// A plain serializer of PyWriter's rows and write_csv's fields, for tests and
// fuzz targets, and the check of the library's against it, byte for byte.
// That what it writes reads back is checked end to end in
// tests/python/test_read_csv.py and test_writing.py.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cell_text_reference.hpp"
#include "output/bulk_field.hpp"
#include "output/row.hpp"

namespace brelt::testing {

// One row under a one-byte delimiter and quote character, each text guarded
// first when `safe`. QuoteAll quotes every field and QuoteNonNumeric every
// text off the float grammar; all but QuoteNone quote texts holding the
// delimiter, the quote, CR or LF. A row of one field written as nothing gets
// two quotes.
inline std::string reference_row(std::span<const std::string_view> fields, char delimiter,
                                 char quote, QuotingMode quoting, bool safe) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i != 0) out += delimiter;
        std::string text(fields[i]);
        if (safe && !text.empty() && std::string_view("\t\r+-=@").find(text[0]) != text.npos)
            text.insert(0, 1, '\'');
        const bool quoted =
            quoting == QuotingMode::QuoteAll ||
            (quoting == QuotingMode::QuoteNonNumeric && !reference_float_grammar(text)) ||
            text.find_first_of({delimiter, quote, '\n', '\r'}) != text.npos;
        if (quoting == QuotingMode::QuoteNone || !quoted) {
            out += text;
            continue;
        }
        out += quote;
        for (char byte : text)
            out.append(byte == quote ? 2 : 1, byte);
        out += quote;
    }
    if (fields.size() == 1 && out.empty() && quoting != QuotingMode::QuoteNone)
        out.append(2, quote);
    return out;
}

// Empty when serialize_row (PyWriter's format, quoting judged by the text) and
// BulkFieldEncoder write what the reference writes, else what differs.
inline std::string row_disagrees(std::span<const std::string_view> fields, char delimiter,
                                 char quote, QuotingMode quoting, bool safe) {
    RowFormat format;
    format.delimiter.assign(1, delimiter);
    format.quotechar.assign(1, quote);
    format.quoting = quoting;
    format.quote_by_text = true;
    format.safe = safe;
    RowEncoder encoder(format);
    std::string row;
    serialize_row(row, fields, encoder);
    // QuoteStrings and QuoteNotNull quote nothing by the text: minimal.
    const std::string expected =
        reference_row(fields, delimiter, quote,
                      quoting > QuotingMode::QuoteNone ? QuotingMode::QuoteMinimal : quoting, safe);
    if (row != expected + "\r\n") return "row \"" + row + "\" instead of \"" + expected + "\"";
    BulkFieldEncoder bulk(delimiter);
    for (std::string_view field : fields) {
        const std::string_view one[] = {field};
        std::string reference = reference_row(one, delimiter, '"', QuotingMode::QuoteMinimal, safe);
        if (reference == "\"\"") reference.clear();
        if (bulk.encode(field, safe) != reference)
            return "bulk field \"" + std::string(field) + "\"";
    }
    return {};
}

}  // namespace brelt::testing
