// The record dialect, case by case: each case pins the byte-at-a-time
// reference reader (tests/support/csv_reference.hpp) and must read the same on
// every scan path, record path and window size of the tokenizer. (Random
// inputs against the reference: parse_table_differential_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "csv_reference.hpp"
#include "read_all_records.hpp"
#include "tokenizer/csv_tokenizer.hpp"

namespace brelt {
namespace {

using Records = std::vector<std::vector<std::string>>;
using testing::ReferenceParse;

struct Dialect {
    char delimiter = ',';
    bool strict = false;
    bool has_headers = true;
};

ReferenceParse tokenize(std::string_view input, const Dialect& dialect, Isa isa,
                        std::size_t chunk_size, bool simple_records) {
    TokenizerOptions options;
    options.delimiter = static_cast<std::uint8_t>(dialect.delimiter);
    options.flexible = !dialect.strict;
    options.has_headers = dialect.has_headers;
    options.tuning.isa = isa;
    options.tuning.chunk_size = chunk_size;
    options.tuning.simple_records = simple_records;
    return testing::read_all_records(input, options);
}

// Every scan path, both record paths, and windows from one byte up.
::testing::AssertionResult every_path_reads(std::string_view input, const Dialect& dialect,
                                            const ReferenceParse& expected,
                                            std::initializer_list<std::size_t> chunk_sizes) {
    for (const Isa isa : supported_isas()) {
        for (const std::size_t chunk_size : chunk_sizes) {
            for (const bool simple : {false, true}) {
                const ReferenceParse got = tokenize(input, dialect, isa, chunk_size, simple);
                if (got.records != expected.records || got.error != expected.error) {
                    return ::testing::AssertionFailure()
                           << isa_name(isa) << ", window " << chunk_size << ", simple " << simple
                           << (got.records != expected.records ? ": records differ"
                                                               : ": error differs");
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

struct Case {
    std::string input;
    Records records;
    Dialect dialect = {};
    std::string error = {};
};

// Each case pins the reference reader as well as the tokenizer.
const Case kCases[] = {
    // Line ends: LF and CR LF end records; a lone CR is field text; a CR
    // before the end of input goes, even inside quotes.
    {"a,b\r\nc,d\n", {{"a", "b"}, {"c", "d"}}},
    {"a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
    {"a,b\rc,d\n", {{"a", "b\rc", "d"}}},
    {"\"a\"\rb\n", {{"a\rb"}}},
    {"a,b\r", {{"a", "b"}}},
    {"x,\"a\r\"", {{"x", "a"}}},
    {"x,\"a\r", {{"x", "a"}}},
    // The CR of a quoted field before an empty last field stays its own.
    {"\"a\r\",\n", {{"a\r", ""}}},
    {"\"a\r\",", {{"a\r", ""}}},
    {"\"a\r\",\r\n", {{"a\r", ""}}},
    {"\"a\r\"\n", {{"a\r"}}},
    // Lines of only CR and LF hold no record; spaces make one.
    {"\n\r\n\ra\n\n\r\nb\r\n\r\n\n", {{"a"}, {"b"}}},
    {"\n\n\r\n", {}},
    {"", {}},
    {"  \n", {{"  "}}},
    {"a\n", {{"a"}}},
    {"a,\n", {{"a", ""}}},
    {",\n", {{"", ""}}},
    // Quoted fields hold delimiters, doubled quotes and line feeds.
    {"\"a,b\",\"c\"\"d\"\n", {{"a,b", "c\"d"}}},
    {"\"x\ny\"\n", {{"x\ny"}}},
    {"\"\",\"\"\n", {{"", ""}}},
    {"\"a\"\r\nb\n", {{"a"}, {"b"}}},
    {"\"\"\"\"\n", {{"\""}}},
    // Text after a closing quote joins the field; an unterminated quote runs
    // to the end; a quote inside an unquoted field opens a quoted stretch.
    {"\"ab\"cd,e\n", {{"abcd", "e"}}},
    {"\"abc", {{"abc"}}},
    {"a,\"b\nc,d", {{"a", "b\nc,d"}}},
    {"ab\"c,d\"e,f\n", {{"abc,de", "f"}}},
    {"ab\"c\nd\"\n", {{"abc\nd"}}},
    {"a\"\"b\n", {{"ab"}}},
    // A delimiter that is the quote byte only delimits.
    {"a\"b\n\"c\"\n", {{"a", "b"}, {"", "c", ""}}, {'"'}},
    // The byte-order mark is skipped at the start only.
    {"\xEF\xBB\xBF"
     "a,b\n",
     {{"a", "b"}}},
    {"x\n\xEF\xBB\xBF"
     "a\n",
     {{"x"},
      {"\xEF\xBB\xBF"
       "a"}}},
    {"\xEF\xBB", {{"\xEF\xBB"}}},
    // Flexible records keep their own length; strict ones report the record
    // (data records from 1) and the byte where it began.
    {"a,b,c\n1,2\n3,4,5,6\n", {{"a", "b", "c"}, {"1", "2"}, {"3", "4", "5", "6"}}},
    {"a,b,c\n1,2,3\n\n4,5\n",
     {{"a", "b", "c"}, {"1", "2", "3"}},
     {',', true},
     "CSV error: record 2 (byte: 12): found record with 2 fields, but the previous record has 3 "
     "fields"},
    {"\xEF\xBB\xBF"
     "a,b\nc\n",
     {{"a", "b"}},
     {',', true, false},
     "CSV error: record 2 (byte: 7): found record with 1 fields, but the previous record has 2 "
     "fields"},
};

TEST(Tokenizer, DialectCasesOnEveryPath) {
    for (const Case& c : kCases) {
        const ReferenceParse reference = testing::reference_parse(
            c.input, c.dialect.delimiter, c.dialect.strict, c.dialect.has_headers);
        EXPECT_EQ(reference.records, c.records) << c.input;
        EXPECT_EQ(reference.error.value_or(""), c.error) << c.input;
        EXPECT_TRUE(every_path_reads(c.input, c.dialect, reference, {1, 3, 8192})) << c.input;
    }
}

// Steady reading allocates nothing: the record's storage and spans are reused,
// and a line of plain and simply quoted fields is lent from the input.
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
