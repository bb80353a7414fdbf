"""What a table can hold: its 16-bit field count per row, and (through the
test build's lowered limits) its 32-bit text offsets, field and row counts.
Past any of them read_csv and PyReader raise a clear ValueError; a file with
more text than one table holds is read a table at a time."""

import gzip
import io

import pytest

from brelt import _core
from brelt._core import PyReader, iter_csv, read_csv

set_limits = getattr(_core, "_set_table_limits_for_tests", None)
needs_hook = pytest.mark.skipif(set_limits is None, reason="a build without the test hooks")


def read_both(write_file, text):
    """read_csv's and PyReader's outcome for the same text: the row count or
    the ValueError's message."""
    outcomes = []
    for read in (lambda: read_csv(write_file(text), delimiter=",", has_header=False),
                 lambda: PyReader(io.StringIO(text)).fetch_many_lists(10**9)):
        try:
            outcomes.append(len(read()))
        except ValueError as error:
            outcomes.append(str(error))
    return outcomes


def test_a_row_holds_65535_fields(write_file):
    assert read_both(write_file, "x," * 65534 + "x\n") == [1, 1]
    message = "CSV parse error: record 2 has 65536 fields, more than the 65535 a row can hold"
    assert read_both(write_file, "a\n" + "x," * 65535 + "x\n") == [message] * 2
    # Only the selected columns count.
    path = write_file("a," + "x," * 70_000 + "b\n1," + "2," * 70_000 + "3\n")
    assert read_csv(path, columns=["b", "a"]) == [{"b": 3, "a": 1}]
    with pytest.raises(ValueError, match="70002 fields"):
        read_csv(path)


@pytest.fixture
def limits():
    yield set_limits
    set_limits()


@needs_hook
def test_more_text_than_a_table_holds_is_read_piece_by_piece(tmp_path, limits):
    path = tmp_path / "long.csv.gz"
    path.write_bytes(gzip.compress(b"a,b\n" + b"1,2\n" * 1_000_000))
    limits(max_text_bytes=1 << 20)
    assert len(read_csv(path)) == 1_000_000
    assert sum(map(len, iter_csv(path))) == 1_000_000
    with pytest.raises(ValueError, match="exceeds"):
        read_csv(path, has_header=False)  # one table: the names need every record
