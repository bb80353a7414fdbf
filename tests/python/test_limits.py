"""What a table can hold: its 16-bit field count per row, and (through the
test build's lowered limits) its 32-bit text offsets, field and row counts.
Past any of them read_csv and PyReader raise a clear ValueError."""

import io

import pytest

from brelt import _core
from brelt._core import PyReader, read_csv

set_limits = getattr(_core, "_set_table_limits_for_tests", None)
needs_hook = pytest.mark.skipif(set_limits is None, reason="a build without the test hooks")


def read_both(write_file, text, **options):
    """read_csv's and PyReader's outcome for the same text: the result or the
    ValueError's message."""
    outcomes = []
    for read in (lambda: read_csv(write_file(text), delimiter=",", has_header=False, **options),
                 lambda: PyReader(io.StringIO(text)).fetch_many_lists(10**9)):
        try:
            outcomes.append(len(read()))
        except ValueError as error:
            outcomes.append(str(error))
    return outcomes


class TestFieldsPerRow:
    def test_65535_fields_fit(self, write_file):
        assert read_both(write_file, "x," * 65534 + "x\n") == [1, 1]

    def test_one_more_is_a_clear_error(self, write_file):
        message = ("CSV parse error: record 2 has 65536 fields, more than the 65535 a row can "
                   "hold")
        text = "a\n" + "x," * 65535 + "x\n"
        assert read_both(write_file, text) == [message] * 2

    def test_selected_columns_are_what_counts(self, write_file):
        path = write_file("a," + "x," * 70_000 + "b\n1," + "2," * 70_000 + "3\n")
        assert read_csv(path, columns=["b", "a"]) == [{"b": 3, "a": 1}]
        with pytest.raises(ValueError, match="70002 fields"):
            read_csv(path)


@pytest.fixture
def limits():
    yield set_limits
    set_limits()


# Four rows of two fields, 10 bytes of field text in all.
TABLE = "ab,c\nd,e\nf,gh\ni,j\n"


@needs_hook
class TestLoweredLimits:
    @pytest.mark.parametrize("limit, at_limit, message", [
        ("max_text_bytes", 10,
         "the text of the fields exceeds 9 bytes, more than a table can hold"),
        ("max_fields", 8, "more than 7 fields in all, more than a table can hold"),
        ("max_table_rows", 4, "more than 3 rows, more than a table can hold"),
        ("max_row_fields", 2, "record 1 has 2 fields, more than the 1 a row can hold"),
    ])
    def test_one_past_each_width(self, write_file, limits, limit, at_limit, message):
        limits(**{limit: at_limit})
        assert read_both(write_file, TABLE) == [4, 4]
        limits(**{limit: at_limit - 1})
        assert read_both(write_file, TABLE) == ["CSV parse error: " + message] * 2

    def test_text_that_is_not_ascii_is_counted_in_utf8_bytes(self, write_file, limits):
        text = "é,日\n"  # 5 bytes of field text
        limits(max_text_bytes=5)
        assert read_both(write_file, text) == [1, 1]
        limits(max_text_bytes=4)
        message = "the text of the fields exceeds 4 bytes, more than a table can hold"
        assert read_both(write_file, text) == ["CSV parse error: " + message] * 2

    def test_the_header_and_skipped_rows_are_not_stored(self, write_file, limits):
        limits(max_table_rows=1)
        assert read_csv(write_file("h\n1\n2\n"), skip_rows=1) == [{"h": 2}]

    def test_limits_only_go_down_and_none_restores_them(self, write_file, limits):
        limits(max_fields=2**64 - 1, max_row_fields=1)
        assert read_both(write_file, "a\nb\n") == [2, 2]
        limits(max_row_fields=None)
        assert read_both(write_file, TABLE) == [4, 4]
        with pytest.raises(OverflowError):
            limits(max_fields=-1)
        with pytest.raises(TypeError, match="max_text_bytes"):
            limits(max_text_bytes="5")
