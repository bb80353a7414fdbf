#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output/bulk_field.hpp"
#include "output/field.hpp"
#include "output/output_file.hpp"
#include "output/row.hpp"
#include "output/special_characters.hpp"
#include "temp_file.hpp"

namespace brelt {
namespace {

constexpr QuotingMode kMinimal = QuotingMode::QuoteMinimal, kAll = QuotingMode::QuoteAll,
                      kNonNumeric = QuotingMode::QuoteNonNumeric, kNone = QuotingMode::QuoteNone;

// PyWriter's format: quoting judged by the text, nothing refused.
RowFormat text_format(QuotingMode quoting, bool safe = false, char quotechar = '"',
                      char delimiter = ',') {
    RowFormat format;
    format.quoting = quoting;
    format.safe = safe;
    format.quotechar.assign(1, quotechar);
    format.delimiter.assign(1, delimiter);
    format.quote_by_text = true;
    return format;
}

std::string row(std::vector<std::string_view> fields, RowFormat format) {
    RowEncoder encoder(std::move(format));
    std::string out;
    serialize_row(out, fields, encoder);
    return out;
}

// One field alone, without a line terminator.
std::string field(std::string_view text, QuotingMode quoting, char delimiter = ',',
                  char quotechar = '"') {
    RowEncoder encoder(text_format(quoting, false, quotechar, delimiter));
    std::string out;
    (void)encoder.append_field(out, 0, text, false);
    return out;
}

// Built by appending: GCC 12 warns falsely on `"x" + std::string(...)`.
std::string prefixed(std::string_view prefix, std::string_view text, std::string_view suffix = "") {
    std::string out(prefix);
    out.append(text);
    out.append(suffix);
    return out;
}

TEST(QuoteMinimal, QuotesOnlyForDelimiterQuoteLfOrCr) {
    EXPECT_EQ(field("a,b", kMinimal), "\"a,b\"");
    EXPECT_EQ(field("say \"hi\"", kMinimal), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(field("x\ny", kMinimal), "\"x\ny\"");
    EXPECT_EQ(field("x\ry", kMinimal), "\"x\ry\"");
    EXPECT_EQ(field(" padded ", kMinimal), " padded ");
    EXPECT_EQ(field("tab\there", kMinimal), "tab\there");
    EXPECT_EQ(field("h\xC3\xA9llo", kMinimal), "h\xC3\xA9llo");
    EXPECT_EQ(field("", kMinimal), "");
    EXPECT_EQ(field("a;b", kMinimal, ';'), "\"a;b\"");
    EXPECT_EQ(field("a,b", kMinimal, ';'), "a,b");
    EXPECT_EQ(field("it's", kMinimal, ',', '\''), "'it''s'");
}

TEST(SpecialCharacters, FindsTheByteAtEveryPositionOfEveryLength) {
    // Words, overlapping words and single bytes share the search by length;
    // every offset must be seen, whatever the alignment of the text. Four
    // characters take the word search, six the table.
    const SpecialCharacters four({",", "\"", "\n", "\r"});
    const SpecialCharacters six({",", "\"", "\n", "\r", "!", "@"});
    for (const SpecialCharacters* specials : {&four, &six}) {
        for (char special : {',', '"', '\n', '\r'}) {
            for (std::size_t size : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 40u}) {
                for (std::size_t offset = 0; offset < 8; ++offset) {
                    // Neighbours of the sought bytes and high bytes must not match.
                    std::string backing(offset + size, 'x');
                    for (std::size_t i = 0; i < backing.size(); ++i)
                        backing[i] = "-+#%\x0b\x0c\x0e\xac\x80\xff\x01"[i % 11];
                    for (std::size_t at = 0; at < size; ++at) {
                        std::string text = backing;
                        text[offset + at] = special;
                        std::string_view view(text.data() + offset, size);
                        EXPECT_TRUE(specials->may_occur_in(view))
                            << int(special) << " size " << size << " at " << at;
                    }
                    EXPECT_FALSE(specials->may_occur_in(std::string_view(backing).substr(offset)));
                }
            }
        }
    }
}

TEST(SpecialCharacters, AMultiByteCharacterMatchesWhole) {
    const SpecialCharacters specials({"\xCE\x9B", ","});  // U+039B
    const std::string_view near = "a\xCE\x9A";            // U+039A, the same first byte
    EXPECT_TRUE(specials.may_occur_in(near));
    EXPECT_EQ(specials.match_at(near, 1), 0u);
    EXPECT_EQ(specials.match_at("a\xCE\x9B", 1), 2u);
    RowFormat format;
    format.delimiter = "\xCE\x9B";
    EXPECT_EQ(row({"a\xCE\x9A", "b\xCE\x9B"}, format), "a\xCE\x9A\xCE\x9B\"b\xCE\x9B\"\r\n");
}

TEST(QuoteAll, QuotesEveryFieldEmptyIncluded) {
    EXPECT_EQ(field("abc", kAll), "\"abc\"");
    EXPECT_EQ(field("", kAll), "\"\"");
    EXPECT_EQ(field("a\"b", kAll), "\"a\"\"b\"");
}

TEST(QuoteNonNumeric, JudgesTheTextWhenAskedTo) {
    for (const char* numeric :
         {"12", "-3.5", "1e5", "2E-3", ".5", "5.", "inf", "NaN", "+Infinity", "-0", "1.5e+10"}) {
        EXPECT_EQ(field(numeric, kNonNumeric), numeric) << numeric;
    }
    for (const char* text : {" 1", "1 ", "1_000", "0x10", "1e", ".", "abc", "", "+", "e5", "1.2.3",
                             "infinit", "nana", "1e5.0", "\xEF\xBC\x91"}) {
        EXPECT_EQ(field(text, kNonNumeric), prefixed("\"", text, "\"")) << text;
    }
    // The delimiter is searched before the numeric test.
    EXPECT_EQ(field("1.5", kNonNumeric, '.'), "\"1.5\"");
}

TEST(QuoteNone, WritesVerbatimUnlessRefusingAndEscapesWithAnEscapeCharacter) {
    EXPECT_EQ(field("a,b", kNone), "a,b");
    EXPECT_EQ(field("x\"y", kNone), "x\"y");
    RowFormat format;
    format.quoting = kNone;
    format.refuse_unwritable = true;
    RowEncoder refusing(format);
    std::string out;
    EXPECT_EQ(refusing.append_field(out, 0, "a,b", false), RowProblem::NeedsEscapeCharacter);
    format.escapechar = "\\";
    RowEncoder escaping(format);
    out.clear();
    EXPECT_EQ(escaping.append_field(out, 0, "a,\"b\\", false), RowProblem::None);
    EXPECT_EQ(out, "a\\,\\\"b\\\\");
}

TEST(FormulaGuard, PrefixesFormulaLeadingTextOnlyWhenSafe) {
    std::string scratch;
    for (const char* text : {"=SUM(A1)", "-5", "+1", "@x", "\tx", "\rx"}) {
        EXPECT_EQ(guard_formula(text, true, scratch), prefixed("'", text)) << text;
        EXPECT_EQ(guard_formula(text, false, scratch), text);
    }
    for (const char* text : {"a=b", "", "5", " =x", "'=x"}) {
        EXPECT_EQ(guard_formula(text, true, scratch), text) << text;
    }
}

TEST(FormulaGuard, ComesBeforeQuoting) {
    EXPECT_EQ(row({"-5", "5"}, text_format(kNonNumeric, true)), "\"'-5\",5\r\n");
    EXPECT_EQ(row({"=A1,B1"}, text_format(kMinimal, true)), "\"'=A1,B1\"\r\n");
    EXPECT_EQ(row({"=x"}, text_format(kMinimal, true, '\'')), "'''=x'\r\n");
    EXPECT_EQ(row({"=x", "-1"}, text_format(kNone, true)), "'=x,'-1\r\n");
    EXPECT_EQ(row({"=x"}, text_format(kAll, false)), "\"=x\"\r\n");
}

TEST(SerializeRow, ALoneEmptyFieldIsQuotedSoTheLineIsNotBlank) {
    EXPECT_EQ(row({""}, text_format(kMinimal)), "\"\"\r\n");
    EXPECT_EQ(row({"x"}, text_format(kMinimal)), "x\r\n");
    EXPECT_EQ(row({""}, text_format(kNone)), "\r\n");  // never quotes
    RowFormat format = text_format(kNone);
    format.refuse_unwritable = true;
    RowEncoder refusing(format);
    std::string out;
    EXPECT_EQ(refusing.append_field(out, 0, "", false), RowProblem::None);
    EXPECT_EQ(refusing.end_row(out, 0, 1), RowProblem::LoneEmptyFieldNeedsQuotes);
}

TEST(SerializeRow, JoinsFieldsAndEndsWithTheTerminator) {
    RowFormat format;
    EXPECT_EQ(row({"a", "b,c", "3"}, format), "a,\"b,c\",3\r\n");
    EXPECT_EQ(row({}, format), "\r\n");
    EXPECT_EQ(row({"", ""}, format), ",\r\n");
    format.lineterminator = "||";
    EXPECT_EQ(row({"a", "b"}, format), "a,b||");
    format.lineterminator = "";
    EXPECT_EQ(row({"a"}, format) + row({"b"}, format), "ab");
    format.delimiter = "\t";
    format.lineterminator = "\n";
    EXPECT_EQ(row({"a b", "c"}, format), "a b\tc\n");
}

TEST(BulkField, QuotesOnlyWhatWouldBreakTheRecord) {
    BulkFieldEncoder comma(',');
    EXPECT_EQ(comma.encode("plain", true), "plain");
    EXPECT_EQ(comma.encode("", true), "");
    EXPECT_EQ(comma.encode("x,y", false), "\"x,y\"");
    EXPECT_EQ(comma.encode("say \"hi\"", false), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(comma.encode("a\nb", false), "\"a\nb\"");
    EXPECT_EQ(comma.encode("a\rb", false), "\"a\rb\"");
    EXPECT_EQ(comma.encode("a;b", false), "a;b");
    EXPECT_EQ(comma.encode("=1+1", true), "'=1+1");
    EXPECT_EQ(comma.encode("=1+1", false), "=1+1");
    EXPECT_EQ(comma.encode("=a,b", true), "\"'=a,b\"");
    BulkFieldEncoder tab('\t');
    EXPECT_EQ(tab.encode("x,y", false), "x,y");
    EXPECT_EQ(tab.encode("x\ty", false), "\"x\ty\"");
    // The guard's apostrophe can itself be the delimiter.
    BulkFieldEncoder apostrophe('\'');
    EXPECT_EQ(apostrophe.encode("-5", true), "\"'-5\"");
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

TEST(OutputFile, WritesSmallAndLargePiecesInOrder) {
    testing::TempFile file("old contents that must go");
    auto output = OutputFile::create(file.path());
    ASSERT_TRUE(output.ok()) << output.error().message;
    std::string expected;
    const std::string large(kOutputBufferSize + 3, 'L');
    const std::string medium(kOutputBufferSize / 2 + 1, 'm');
    for (int round = 0; round < 3; ++round) {
        output->append(std::string_view());  // empty, with no data at all
        output->append("head,");
        output->push('\n');
        output->append(medium);
        output->append(large);
        expected += "head,\n" + medium + large;
    }
    auto written = output->finish();
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(*written, expected.size());
    EXPECT_EQ(read_file(file.path()), expected);
}

TEST(OutputFile, CreatesWithPermissionsLessTheUmask) {
    testing::TempFile placeholder("");
    const std::string path = placeholder.path() + ".new";
    const mode_t previous = ::umask(027);
    auto output = OutputFile::create(path);
    ::umask(previous);
    ASSERT_TRUE(output.ok()) << output.error().message;
    ASSERT_TRUE(output->finish().ok());
    struct stat status;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(status.st_size, 0);
    std::remove(path.c_str());
}

TEST(OutputFile, ReportsOpenErrorsWithTheSystemText) {
    auto missing = OutputFile::create("/nonexistent-directory/out.csv");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, ErrorKind::OS);
    EXPECT_EQ(missing.error().message, "No such file or directory (os error 2)");

    auto nul = OutputFile::create(std::string("out\0.csv", 8));
    ASSERT_FALSE(nul.ok());
    EXPECT_EQ(nul.error().message, "file name contained an unexpected NUL byte");
}

TEST(OutputFile, WriteErrorsSurfaceFromTheFinalWriteOutAndFromFullBuffers) {
    struct stat status;
    if (::stat("/dev/full", &status) != 0) GTEST_SKIP() << "no /dev/full";
    {
        auto output = OutputFile::create("/dev/full");
        ASSERT_TRUE(output.ok());
        output->append("one small piece");
        EXPECT_FALSE(output->failed());
        auto written = output->finish();
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().message, "No space left on device (os error 28)");
    }
    {
        auto output = OutputFile::create("/dev/full");
        ASSERT_TRUE(output.ok());
        // A piece that does not fit writes the buffer out, and fails there.
        output->append("x");
        output->append(std::string(kOutputBufferSize, 'x'));
        EXPECT_TRUE(output->failed());
        output->append("dropped");
        EXPECT_FALSE(output->finish().ok());
    }
}

}  // namespace
}  // namespace brelt
