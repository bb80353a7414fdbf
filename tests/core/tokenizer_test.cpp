// The CSV dialect as the tokenizer reads it, case by case.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "read_all_records.hpp"
#include "tokenizer/csv_tokenizer.hpp"

namespace brelt {
namespace {

using Records = std::vector<std::vector<std::string>>;

struct Tokenized {
    Records records;
    std::string error;
};

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Tokenized tokenize_with(std::string_view input, const TokenizerOptions& options) {
    testing::ReferenceParse parsed = testing::read_all_records(input, options);
    return {std::move(parsed.records), parsed.error.value_or("")};
}

// Both record paths must agree on every case.
Tokenized tokenize(std::string_view input, TokenizerOptions options = {}) {
    options.tuning.simple_records = false;
    const Tokenized general = tokenize_with(input, options);
    options.tuning.simple_records = true;
    Tokenized simple = tokenize_with(input, options);
    EXPECT_EQ(simple.records, general.records);
    EXPECT_EQ(simple.error, general.error);
    return simple;
}

Records records_of(std::string_view input) {
    return tokenize(input).records;
}

TEST(TokenizerLineEnds, LfAndCrLfEndRecordsAndNoFieldKeepsTheCr) {
    EXPECT_EQ(records_of("a,b\r\nc,d\n"), (Records{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(records_of("a,b\nc,d"), (Records{{"a", "b"}, {"c", "d"}}));
}

TEST(TokenizerLineEnds, LoneCrInsideALineIsFieldText) {
    EXPECT_EQ(records_of("a,b\rc,d\n"), (Records{{"a", "b\rc", "d"}}));
    EXPECT_EQ(records_of("\"a\"\rb\n"), (Records{{"a\rb"}}));
}

TEST(TokenizerLineEnds, FinalCrAtEndOfInputIsRemovedEvenInsideQuotes) {
    EXPECT_EQ(records_of("a,b\r"), (Records{{"a", "b"}}));
    EXPECT_EQ(records_of("x,\"a\r\""), (Records{{"x", "a"}}));
    EXPECT_EQ(records_of("x,\"a\r"), (Records{{"x", "a"}}));
}

TEST(TokenizerLineEnds, CrOfAQuotedFieldBeforeAnEmptyLastFieldStays) {
    // The CR belongs to the quoted field, not to the line end; removing it
    // would leave the empty last field with an inverted span.
    EXPECT_EQ(records_of("\"a\r\",\n"), (Records{{"a\r", ""}}));
    EXPECT_EQ(records_of("\"a\r\","), (Records{{"a\r", ""}}));
    EXPECT_EQ(records_of("\"a\r\",\r\n"), (Records{{"a\r", ""}}));
    EXPECT_EQ(records_of("\"a\r\"\n"), (Records{{"a\r"}}));
}

TEST(TokenizerBlankLines, LinesOfOnlyCrAndLfHoldNoRecord) {
    EXPECT_EQ(records_of("\n\r\n\ra\n\n\r\nb\r\n\r\n\n"), (Records{{"a"}, {"b"}}));
    EXPECT_EQ(records_of("\n\n\r\n"), Records{});
    EXPECT_EQ(records_of(""), Records{});
}

TEST(TokenizerBlankLines, SpacesMakeARecordOfOneField) {
    EXPECT_EQ(records_of("  \n"), (Records{{"  "}}));
}

TEST(TokenizerFields, EveryRecordHasAtLeastOneField) {
    EXPECT_EQ(records_of("a\n"), (Records{{"a"}}));
    EXPECT_EQ(records_of("a,\n"), (Records{{"a", ""}}));
    EXPECT_EQ(records_of(",\n"), (Records{{"", ""}}));
}

TEST(TokenizerQuoting, QuotedFieldsHoldDelimitersQuotesAndLineFeeds) {
    EXPECT_EQ(records_of("\"a,b\",\"c\"\"d\"\n"), (Records{{"a,b", "c\"d"}}));
    EXPECT_EQ(records_of("\"x\ny\"\n"), (Records{{"x\ny"}}));
    EXPECT_EQ(records_of("\"\"\n"), (Records{{""}}));
    EXPECT_EQ(records_of("\"\",\"\"\n"), (Records{{"", ""}}));
    EXPECT_EQ(records_of("\"a\"\r\nb\n"), (Records{{"a"}, {"b"}}));
}

TEST(TokenizerQuoting, TextAfterAClosingQuoteJoinsTheField) {
    EXPECT_EQ(records_of("\"ab\"cd,e\n"), (Records{{"abcd", "e"}}));
}

TEST(TokenizerQuoting, UnterminatedQuoteRunsToEndOfInput) {
    EXPECT_EQ(tokenize("\"abc").records, (Records{{"abc"}}));
    EXPECT_EQ(tokenize("a,\"b\nc,d").records, (Records{{"a", "b\nc,d"}}));
    EXPECT_EQ(tokenize("\"abc").error, "");
}

TEST(TokenizerQuoting, QuoteInsideAnUnquotedFieldOpensAQuotedStretchOfThatField) {
    EXPECT_EQ(records_of("ab\"c,d\"e,f\n"), (Records{{"abc,de", "f"}}));
    EXPECT_EQ(records_of("ab\"c\nd\"\n"), (Records{{"abc\nd"}}));
    EXPECT_EQ(records_of("a\"\"b\n"), (Records{{"ab"}}));
}

TEST(TokenizerQuoting, ADelimiterThatIsTheQuoteByteOnlyDelimits) {
    TokenizerOptions options;
    options.delimiter = '"';
    EXPECT_EQ(tokenize("a\"b\n\"c\"\n", options).records, (Records{{"a", "b"}, {"", "c", ""}}));
}

TEST(TokenizerByteOrderMark, SkippedAtTheStartOnly) {
    EXPECT_EQ(records_of("\xEF\xBB\xBF"
                         "a,b\n"),
              (Records{{"a", "b"}}));
    EXPECT_EQ(records_of("x\n\xEF\xBB\xBF"
                         "a\n"),
              (Records{{"x"},
                       {"\xEF\xBB\xBF"
                        "a"}}));
    EXPECT_EQ(records_of("\xEF\xBB"), (Records{{"\xEF\xBB"}}));
}

TEST(TokenizerFieldCount, StrictReportsTheRecordAndWhereItBegan) {
    TokenizerOptions options;
    options.flexible = false;
    const Tokenized with_header = tokenize("a,b,c\n1,2,3\n\n4,5\n", options);
    EXPECT_EQ(with_header.records.size(), 2u);
    EXPECT_EQ(with_header.error,
              "CSV error: record 2 (byte: 12): found record with 2 fields, but the previous "
              "record has 3 fields");

    options.has_headers = false;
    EXPECT_EQ(tokenize("\xEF\xBB\xBF"
                       "a,b\nc\n",
                       options)
                  .error,
              "CSV error: record 2 (byte: 7): found record with 1 fields, but the previous "
              "record has 2 fields");
}

TEST(TokenizerFieldCount, FlexibleKeepsEachRecordsOwnLength) {
    EXPECT_EQ(records_of("a,b,c\n1,2\n3,4,5,6\n"),
              (Records{{"a", "b", "c"}, {"1", "2"}, {"3", "4", "5", "6"}}));
}

TEST(TokenizerChunks, ARecordStraddlingWindowEdgesReadsAsInOneWindow) {
    // Put each interesting byte exactly at, before and after the default
    // 8,192-byte window edge, and compare with a window as big as the input.
    const std::vector<std::string> tails = {",b\n",         "\"q,\"\"x\"\n", "\r\n\r\nnext\n",
                                            "\"a\"\r\nz\n", "\"a\r\",\n",    "\"\"\"\"\n"};
    for (const std::string& tail : tails) {
        for (std::size_t offset = 8180; offset <= 8200; ++offset) {
            const std::string input = "h\n" + std::string(offset - 2, 'x') + tail + "end\n";
            TokenizerOptions whole;
            whole.tuning.chunk_size = input.size();
            const Records expected = tokenize(input, whole).records;
            for (const Isa isa : supported_isas()) {
                TokenizerOptions windowed;
                windowed.tuning.isa = isa;
                ASSERT_EQ(tokenize(input, windowed).records, expected)
                    << "offset " << offset << " tail " << tail << " isa " << isa_name(isa);
            }
        }
    }
}

TEST(TokenizerChunks, QuotedFieldLongerThanAWindow) {
    const std::string body(20000, 'q');
    EXPECT_EQ(records_of("\"" + body + "\",x\n"), (Records{{body, "x"}}));
}

TEST(TokenizerReuse, SteadyReadsReuseStorageAndPlainLinesAreLent) {
    std::string input;
    for (int i = 0; i < 50; ++i)
        input += "\"al\"\"pha, b\",beta\n\"1\"x,2\nplain,\"simply quoted\"\n";
    CsvTokenizer tokenizer(bytes_of(input), {});
    ASSERT_TRUE(tokenizer.ensure_headers().ok());
    RawRecord record;
    const std::uint8_t* storage = nullptr;
    const RecordSpan* spans = nullptr;
    for (int i = 1; i < 150; ++i) {
        ASSERT_EQ(*tokenizer.read_record(record), ReadOutcome::Record);
        if (i % 3 == 2) {
            // A line of plain and simply quoted fields is not copied at all.
            EXPECT_TRUE(record.is_lent());
            EXPECT_EQ(record.field(1), "simply quoted");
        } else {
            EXPECT_FALSE(record.is_lent());
            EXPECT_EQ(record.field(0), i % 3 == 0 ? "al\"pha, b" : "1x");
        }
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
