"""The csv-compatible reader: the csv module's results where the dialects
agree, batches that do not show, settings refused by name. (Writing:
test_csv_writer.py; settings: test_csv_dialect.py.)"""

import csv
import io

import pytest

import brelt

# Inputs on which brelt's dialect and the csv module's agree.
SHARED_INPUTS = [
    "a,b,c\r\n1,2,3\r\n",
    'x,"y,z","q""uote"\n"multi\nline",,\n',
    "no final line end",
    "ünï,cödé\n€,😀\n",
    '"",""\n, \n',
    "a\tb\n",
]

def csv_rows(text, **settings):
    return list(csv.reader(io.StringIO(text, newline=""), **settings))


@pytest.mark.parametrize("text", SHARED_INPUTS)
def test_reader_reads_files_and_lines_as_the_csv_module_does(text):
    assert list(brelt.reader(io.StringIO(text, newline=""))) == csv_rows(text)
    lines = io.StringIO(text, newline="").readlines()
    assert list(brelt.reader(lines)) == list(csv.reader(lines))
    if not any("\n" in quoted for quoted in text.split('"')[1::2]):
        assert list(brelt.reader(text.splitlines())) == list(csv.reader(text.splitlines()))


def test_rows_cross_batches_without_loss_whether_iterated_or_nexted():
    text = "".join(f"{i},x\n" for i in range(2500))
    reader = brelt.reader(io.StringIO(text))
    assert reader.line_num == 0
    assert next(reader) == ["0", "x"] and reader.line_num == 1
    seen = []
    for row in reader:
        seen.append(row)
        if len(seen) == 1200:
            break
    assert reader.line_num == 1201
    assert next(reader) == ["1201", "x"]
    rest = list(reader)
    assert [int(r[0]) for r in seen + rest] == [*range(1, 1201), *range(1202, 2500)]
    assert reader.line_num == 2500
    with pytest.raises(StopIteration):
        next(reader)


@pytest.mark.parametrize("setting", [{"quotechar": "'"}, {"quoting": brelt.QUOTE_NONNUMERIC},
                                     {"quoting": brelt.QUOTE_NONE}])
def test_reading_refuses_what_only_writing_offers(setting):
    with pytest.raises(ValueError, match=next(iter(setting))):
        brelt.reader([], **setting)
    brelt.writer(io.StringIO(), **setting)


def test_reader_errors():
    with pytest.raises(brelt.Error, match="CSV parse error") as caught:
        brelt.reader(["a,b", "c"], strict=True)
    assert isinstance(caught.value, ValueError)
    closed = io.StringIO("a")
    closed.close()
    with pytest.raises(ValueError, match="closed file") as caught:
        brelt.reader(closed)
    assert not isinstance(caught.value, brelt.Error)
    with pytest.raises(TypeError, match="text mode"):
        brelt.reader(io.BytesIO(b"a,b"))
    with pytest.raises(TypeError, match="text mode"):
        brelt.reader([b"a,b"])
    with pytest.raises(TypeError):
        brelt.reader(None)
