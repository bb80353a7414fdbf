// The tokenizer beyond the records it reads (parse_table_differential_test.cpp):
// steady reading allocates nothing, reusing the record's storage and spans,
// and a line of plain and simply quoted fields is lent from the input.
#include <gtest/gtest.h>

#include <string>

#include "tokenizer/csv_tokenizer.hpp"

namespace brelt {
namespace {

TEST(Tokenizer, SteadyReadsReuseStorageAndPlainLinesAreLent) {
    std::string input;
    for (int i = 0; i < 50; ++i)
        input += "\"al\"\"pha, b\",beta\n\"1\"x,2\nplain,\"simply quoted\"\n";
    CsvTokenizer tokenizer({reinterpret_cast<const std::uint8_t*>(input.data()), input.size()}, {});
    ASSERT_TRUE(tokenizer.ensure_headers().ok());
    RawRecord record;
    const std::uint8_t* storage = nullptr;
    const RecordSpan* spans = nullptr;
    for (int i = 1; i < 150; ++i) {
        ASSERT_EQ(*tokenizer.read_record(record), ReadOutcome::Record);
        EXPECT_EQ(record.is_lent(), i % 3 == 2) << i;
        if (i == 30) {
            storage = record.storage().data();
            spans = record.spans.data();
        } else if (i > 30) {
            EXPECT_EQ(record.storage().data(), storage);
            EXPECT_EQ(record.spans.data(), spans);
        }
    }
    EXPECT_EQ(*tokenizer.read_record(record), ReadOutcome::EndOfInput);
    EXPECT_EQ(tokenizer.byte_position(), input.size());
    EXPECT_EQ(tokenizer.records_read(), 150u);
}

}  // namespace
}  // namespace brelt
