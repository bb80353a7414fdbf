// Every record a tokenizer hands out, the first (header) one included, in the
// calling order parse_table uses, plus the error that stopped it, if any.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "csv_reference.hpp"
#include "tokenizer/csv_tokenizer.hpp"

namespace brelt::testing {

inline ReferenceParse read_all_records(std::string_view input, const TokenizerOptions& options) {
    CsvTokenizer tokenizer({reinterpret_cast<const std::uint8_t*>(input.data()), input.size()},
                           options);
    ReferenceParse out;
    auto take = [&](const RawRecord& record) {
        Record fields;
        for (std::size_t i = 0; i < record.field_count(); ++i) {
            const RecordSpan span = record.spans[i];
            EXPECT_LE(span.start, span.end);
            EXPECT_LE(span.end, record.size());
            fields.emplace_back(record.field(i));
        }
        out.records.push_back(std::move(fields));
    };
    EXPECT_TRUE(tokenizer.ensure_headers().ok());
    if (options.has_headers && tokenizer.records_read() > 0) take(tokenizer.header_record());
    RawRecord record;
    for (;;) {
        if (tokenizer.reemit_first()) {
            take(tokenizer.header_record());
            tokenizer.clear_reemit_first();
            continue;
        }
        Result<ReadOutcome> outcome = tokenizer.read_record(record);
        if (!outcome) {
            out.error = outcome.error().message;
            break;
        }
        if (*outcome == ReadOutcome::EndOfInput) break;
        take(record);
    }
    return out;
}

}  // namespace brelt::testing
