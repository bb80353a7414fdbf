"""The tests of CPython's test_csv that fail on brelt, each with its reason.

This is the one list: docs/compat.md mirrors it (a test checks that it does).
A listed test that passes, or an unlisted test that fails, fails the run.
"""

NO_ESCAPECHAR = "no escape character: escapechar is refused (ValueError)"
ONE_QUOTECHAR = 'reading knows only the quote character ": another one is refused (ValueError)'
NO_SKIPINITIALSPACE = "skipinitialspace=True is refused (ValueError)"
NO_LATER_QUOTING = "QUOTE_STRINGS and QUOTE_NOTNULL are not offered"
NO_FIELD_SIZE_LIMIT = "no field_size_limit(): fields are not limited"
BLANK_LINES_SKIPPED = "a blank line is not a record (the csv module returns [] for it)"
QUOTE_INSIDE_FIELD = ('a quote inside an unquoted field opens a quoted stretch of it '
                      '(a"b"c reads as abc, the csv module keeps the quotes)')
LONE_CR = "a lone CR is field text, not a line end"
STRICT_FIELD_COUNTS = ("strict checks field counts against the first record, not quoting "
                       "(the csv module's strict raises on a quote problem)")
LINES_JOINED = ("the items of an iterable of lines are joined into one text, so a line "
                "break inside an item ends a record instead of raising Error")
WHOLE_FILE_READ = ("a reader reads the rest of its file at once, so a second reader "
                   "on the same file object finds nothing left")
NON_ITERABLE_ROW = "a row that is not iterable raises TypeError, not Error"
NON_ASCII_WRITING = "writing refuses a delimiter or quote character that is not ASCII (ValueError)"
NONE_NOT_GIVEN = "reading takes a setting given as None as not given (the csv module checks it)"
NO_DOUBLEQUOTE_FALSE = "reading refuses doublequote=False (ValueError)"
MODULE_OF_NAMES = ("check__all__ counts only the names whose objects the csv or _csv module "
                   "defines (by __module__); brelt's functions and classes are its own")

# test id -> (reasons, the Python versions it fails on: None for every one,
# "3.13+" for that one and later, "3.11" for that one only)
KNOWN_DIFFERENCES: dict[str, tuple[tuple[str, ...], str | None]] = {
    "Test_Csv.test_reader_arg_valid": ((NO_ESCAPECHAR, ONE_QUOTECHAR, NO_SKIPINITIALSPACE), None),
    "Test_Csv.test_writer_arg_valid": ((NO_ESCAPECHAR,), "3.13+"),
    "Test_Csv.test_reader_kw_attrs": ((ONE_QUOTECHAR, NO_ESCAPECHAR), None),
    "Test_Csv.test_writer_kw_attrs": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_reader_dialect_attrs": ((ONE_QUOTECHAR, NO_ESCAPECHAR), None),
    "Test_Csv.test_writer_dialect_attrs": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_write_arg_valid": ((NON_ITERABLE_ROW,), None),
    "Test_Csv.test_write_quoting": ((NO_LATER_QUOTING,), "3.13+"),
    "Test_Csv.test_write_escape": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_write_empty_fields": ((NO_LATER_QUOTING,), "3.13+"),
    "Test_Csv.test_write_empty_fields_space_delimiter": ((NO_SKIPINITIALSPACE,), "3.13+"),
    "Test_Csv.test_read_oddinputs": ((BLANK_LINES_SKIPPED, STRICT_FIELD_COUNTS), None),
    "Test_Csv.test_read_eol": ((LINES_JOINED, LONE_CR), None),
    "Test_Csv.test_read_eof": ((NO_ESCAPECHAR, STRICT_FIELD_COUNTS), None),
    "Test_Csv.test_read_nul": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_read_escape": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_read_quoting": ((ONE_QUOTECHAR, NO_ESCAPECHAR), None),
    "Test_Csv.test_read_skipinitialspace": ((NO_SKIPINITIALSPACE,), None),
    "Test_Csv.test_read_space_delimiter": ((BLANK_LINES_SKIPPED, NO_SKIPINITIALSPACE), "3.13+"),
    "Test_Csv.test_read_bigfield": ((NO_FIELD_SIZE_LIMIT,), None),
    "Test_Csv.test_roundtrip_quoteed_newlines": ((LONE_CR,), "3.13+"),
    "Test_Csv.test_roundtrip_escaped_unquoted_newlines": ((NO_ESCAPECHAR,), None),
    "TestDialectExcel.test_inline_quote": ((QUOTE_INSIDE_FIELD,), None),
    "TestDialectExcel.test_inline_quotes": ((QUOTE_INSIDE_FIELD,), None),
    "TestDialectExcel.test_lone_quote": ((QUOTE_INSIDE_FIELD,), None),
    "TestDialectExcel.test_quote_and_quote": ((QUOTE_INSIDE_FIELD,), None),
    "TestDialectExcel.test_space_and_quote": ((QUOTE_INSIDE_FIELD,), None),
    "TestDialectExcel.test_dubious_quote": ((QUOTE_INSIDE_FIELD,), None),
    "TestEscapedExcel.test_escape_fieldsep": ((NO_ESCAPECHAR,), None),
    "TestEscapedExcel.test_read_escape_fieldsep": ((NO_ESCAPECHAR,), None),
    "TestQuotedEscapedExcel.test_write_escape_fieldsep": ((NO_ESCAPECHAR,), None),
    "TestQuotedEscapedExcel.test_read_escape_fieldsep": ((NO_ESCAPECHAR,), None),
    "TestDictFields.test_read_dict_fieldnames_from_file": ((WHOLE_FILE_READ,), None),
    "TestDialectRegistry.test_space_dialect": ((NO_ESCAPECHAR,), None),
    "TestDialectRegistry.test_dialect_apply": ((NON_ASCII_WRITING,), None),
    "TestDialectRegistry.test_bad_dialect": ((NONE_NOT_GIVEN,), "3.11"),
    "TestSniffer.test_sniff_doublequote_across_fields": ((NO_DOUBLEQUOTE_FALSE,), "3.11"),
    "MiscTestCase.test__all__": ((MODULE_OF_NAMES,), None),
}
