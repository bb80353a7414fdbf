"""The csv-compatible reader and writer: the csv module's results where the
dialects agree, batches that do not show, settings refused by name, and
writes that happen whole or not at all."""

import csv
import io

import pytest
from hypothesis import given, settings, strategies as st

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

# Rows whose text the csv module writes as brelt does.
SHARED_ROWS = [["a", "b,c", 'say "hi"', "x\ny", 3, 1.5, None, ""], ["=1", " padded "], ("t", "u")]


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


class Recorder:
    def __init__(self, fail_with=None):
        self.calls, self.fail_with = [], fail_with

    def write(self, text):
        if self.fail_with:
            raise self.fail_with
        self.calls.append(text)
        return len(text)


@pytest.mark.parametrize("quoting", [brelt.QUOTE_MINIMAL, brelt.QUOTE_ALL])
def test_writer_writes_what_the_csv_module_writes(quoting):
    rows = SHARED_ROWS + [[""], [None], iter(["g", None]), "str"]
    expected = io.StringIO()
    csv.writer(expected, quoting=quoting).writerows([list(r) if not isinstance(r, (list, tuple, str)) else r
                                                     for r in (SHARED_ROWS + [[""], [None], ["g", None], "str"])])
    ours = Recorder()
    brelt.writer(ours, quoting=quoting).writerows(rows)
    assert ours.calls == [expected.getvalue()]

    one_by_one = Recorder()
    writer = brelt.writer(one_by_one, quoting=quoting)
    returns = [writer.writerow(row) for row in SHARED_ROWS + [[""], [None], iter(["g", None]), "str"]]
    assert "".join(one_by_one.calls) == expected.getvalue()
    assert returns == [len(text) for text in one_by_one.calls]


def test_a_failing_row_writes_nothing():
    class Unprintable:
        def __str__(self):
            raise OSError("no text")

    target = Recorder()
    writer = brelt.writer(target)
    for call in (lambda: writer.writerows([["a"], [""], [Unprintable()]]),
                 lambda: writer.writerow(["a", Unprintable()])):
        with pytest.raises(OSError, match="no text"):
            call()
    assert target.calls == []
    writer.writerows([["b"]])
    assert target.calls == ["b\r\n"]
    failing = brelt.writer(Recorder(fail_with=OSError("disk full")))
    with pytest.raises(OSError, match="disk full"):
        failing.writerow(["x"])


@pytest.mark.parametrize("row", [["a.b"], ['x"y'], ["line\nbreak"], [""], [1.5]])
def test_quote_none_refuses_what_it_cannot_write_as_it_stands(row):
    target = Recorder()
    writer = brelt.writer(target, quoting=brelt.QUOTE_NONE, delimiter=".")
    with pytest.raises(brelt.Error):
        writer.writerows([["fine"], row])
    with pytest.raises(brelt.Error):
        writer.writerow(row)
    assert target.calls == []


def test_writer_options_of_its_own():
    target = Recorder()
    brelt.writer(target, safe=True).writerow(["=SUM(A1)", "-5", "a=b"])
    assert target.calls == ["'=SUM(A1),'-5,a=b\r\n"]
    with pytest.raises(TypeError, match="safe"):
        brelt.writer(target, safe=1)
    with pytest.raises(TypeError, match="write"):
        brelt.writer(object())


text_fields = st.text(st.characters(blacklist_categories=("Cs",)), max_size=12)


@settings(max_examples=150, deadline=None)
@given(st.lists(st.lists(text_fields, min_size=1, max_size=5), max_size=8),
       st.sampled_from([",", ";", "\t", "|"]), st.sampled_from(["\r\n", "\n"]))
def test_round_trip_through_brelt_and_the_csv_module(rows, delimiter, lineterminator):
    out = io.StringIO(newline="")
    brelt.writer(out, delimiter=delimiter, lineterminator=lineterminator).writerows(rows)
    text = out.getvalue()
    assert list(brelt.reader(io.StringIO(text, newline=""), delimiter=delimiter)) == rows
    assert csv_rows(text, delimiter=delimiter) == rows
