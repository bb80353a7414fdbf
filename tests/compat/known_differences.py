"""The tests of CPython's test_csv that fail on brelt, each with its reason.

This is the one list: docs/compat.md mirrors it (a test checks that it does).
A listed test that passes, or an unlisted test that fails, fails the run.
"""

NO_ESCAPECHAR = "no escape character: escapechar is refused (ValueError)"
NO_SKIPINITIALSPACE = "skipinitialspace=True is refused (ValueError)"
NO_LATER_QUOTING = "QUOTE_STRINGS and QUOTE_NOTNULL are not offered"
NON_ITERABLE_ROW = "a row that is not iterable raises TypeError, not Error"
NON_ASCII_WRITING = "writing refuses a delimiter or quote character that is not ASCII (ValueError)"
MODULE_OF_NAMES = ("check__all__ counts only the names whose objects the csv or _csv module "
                   "defines (by __module__); brelt's functions and classes are its own")

# test id -> (reasons, the Python versions it fails on: None for every one,
# "3.13+" for that one and later, "3.11" for that one only)
KNOWN_DIFFERENCES: dict[str, tuple[tuple[str, ...], str | None]] = {
    "Test_Csv.test_writer_arg_valid": ((NO_ESCAPECHAR,), "3.13+"),
    "Test_Csv.test_writer_kw_attrs": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_writer_dialect_attrs": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_write_arg_valid": ((NON_ITERABLE_ROW,), None),
    "Test_Csv.test_write_quoting": ((NO_LATER_QUOTING,), "3.13+"),
    "Test_Csv.test_write_escape": ((NO_ESCAPECHAR,), None),
    "Test_Csv.test_write_empty_fields": ((NO_LATER_QUOTING,), "3.13+"),
    "Test_Csv.test_write_empty_fields_space_delimiter": ((NO_SKIPINITIALSPACE,), "3.13+"),
    "Test_Csv.test_roundtrip_escaped_unquoted_newlines": ((NO_ESCAPECHAR,), None),
    "TestEscapedExcel.test_escape_fieldsep": ((NO_ESCAPECHAR,), None),
    "TestQuotedEscapedExcel.test_write_escape_fieldsep": ((NO_ESCAPECHAR,), None),
    "TestDialectRegistry.test_dialect_apply": ((NON_ASCII_WRITING,), None),
    "MiscTestCase.test__all__": ((MODULE_OF_NAMES,), None),
}
