// A deliberately plain CSV reader, one byte at a time, stating the dialect as
// directly as possible: what the tokenizer is checked against in tests and
// fuzz targets.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brelt::testing {

using Record = std::vector<std::string>;

struct ReferenceParse {
    std::vector<Record> records;
    // When strict: the message of the first record whose field count differs
    // from the first record's, as the tokenizer words it.
    std::optional<std::string> error;
};

inline ReferenceParse reference_parse(std::string_view s, char delimiter, bool strict,
                                      bool has_headers = true) {
    ReferenceParse result;
    std::size_t pos = s.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (;;) {
        const std::size_t record_start = pos;
        while (pos < s.size() && (s[pos] == '\n' || s[pos] == '\r'))
            ++pos;  // lines of only CR and LF hold no record
        if (pos == s.size()) break;
        Record record(1);
        enum { Unquoted, InQuotes, AfterQuote } state = Unquoted;
        for (bool done = false; !done;) {
            std::string& field = record.back();
            if (pos == s.size()) {  // the end ends the record, and a CR before it goes
                if (field.ends_with('\r')) field.pop_back();
                break;
            }
            const char c = s[pos++];
            if (state == InQuotes) {
                if (c == '"')
                    state = AfterQuote;
                else
                    field += c;
            } else if (state == AfterQuote && c == '"') {
                field += c;  // a doubled quote
                state = InQuotes;
            } else if (c == delimiter) {
                record.emplace_back();
                state = Unquoted;
            } else if (state == AfterQuote) {
                // A line end right after the closing quote keeps the field's
                // CR; any other byte is read again, unquoted.
                const bool crlf = c == '\r' && pos < s.size() && s[pos] == '\n';
                done = c == '\n' || crlf;
                if (crlf) ++pos;
                if (!done) --pos;
                state = Unquoted;
            } else if (c == '\n') {
                if (field.ends_with('\r')) field.pop_back();
                done = true;
            } else if (c == '"') {
                state = InQuotes;  // anywhere in a field
            } else {
                field += c;
            }
        }
        if (strict && !result.records.empty() && record.size() != result.records.front().size()) {
            result.error = "CSV error: record " +
                           std::to_string(result.records.size() + (has_headers ? 0 : 1)) +
                           " (byte: " + std::to_string(record_start) + "): found record with " +
                           std::to_string(record.size()) + " fields, but the previous record has " +
                           std::to_string(result.records.front().size()) + " fields";
            return result;
        }
        result.records.push_back(std::move(record));
    }
    return result;
}

}  // namespace brelt::testing
