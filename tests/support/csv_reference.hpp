// A deliberately plain CSV reader, one byte at a time over the whole input,
// that the vector tokenizer is checked against. It states the dialect as
// directly as possible and is used only by tests and fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
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
    constexpr char quote = '"';
    ReferenceParse result;
    std::size_t pos = s.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    const std::size_t n = s.size();
    for (;;) {
        const std::size_t record_start = pos;
        while (pos < n && (s[pos] == '\n' || s[pos] == '\r'))
            ++pos;
        if (pos == n) break;
        Record record;
        std::string field;
        enum { Unquoted, InQuotes, AfterQuote } state = Unquoted;
        for (bool done = false; !done;) {
            if (pos == n) {
                if (!field.empty() && field.back() == '\r') field.pop_back();
                record.push_back(field);
                break;
            }
            const char c = s[pos];
            switch (state) {
                case Unquoted:
                    if (c == delimiter) {
                        record.push_back(field);
                        field.clear();
                    } else if (c == '\n') {
                        if (!field.empty() && field.back() == '\r') field.pop_back();
                        record.push_back(field);
                        done = true;
                    } else if (c == quote) {
                        state = InQuotes;
                    } else {
                        field += c;
                    }
                    ++pos;
                    break;
                case InQuotes:
                    if (c == quote) {
                        state = AfterQuote;
                    } else {
                        field += c;
                    }
                    ++pos;
                    break;
                case AfterQuote:
                    if (c == quote) {
                        field += quote;
                        state = InQuotes;
                        ++pos;
                    } else if (c == delimiter) {
                        record.push_back(field);
                        field.clear();
                        state = Unquoted;
                        ++pos;
                    } else if (c == '\n' || (c == '\r' && pos + 1 < n && s[pos + 1] == '\n')) {
                        record.push_back(field);
                        pos += c == '\n' ? 1 : 2;
                        done = true;
                    } else {
                        state = Unquoted;  // read the byte again, unquoted
                    }
                    break;
            }
        }
        if (strict && !result.records.empty() && record.size() != result.records.front().size()) {
            const std::size_t index = result.records.size() + (has_headers ? 0 : 1);
            result.error = "CSV error: record " + std::to_string(index) +
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
