"""The three writers against the running csv module: writer and DictWriter
write, return and raise what it does under any settings it accepts; PyWriter
and write_csv write what it writes for the same texts, with their own rules
(str() of every value, the formula guard, LF lines) applied first. The rules
a property cannot reach follow: settings, the hand-over of text to
file_obj.write, failures that write nothing, files."""

import csv
import gc
import gzip
import io
import os
import sys
import threading

import pytest
from hypothesis import assume, given, settings, strategies as st

import brelt
from brelt import PyWriter, write_csv
from hostile_values import Recording

QUOTINGS = [csv.QUOTE_MINIMAL, csv.QUOTE_ALL, csv.QUOTE_NONNUMERIC, csv.QUOTE_NONE]
if sys.version_info >= (3, 12):
    QUOTINGS += [csv.QUOTE_STRINGS, csv.QUOTE_NOTNULL]
GUARDED = ("\t", "\r", "+", "-", "=", "@")


class Shown:
    """A value written as its str(), which raises when text is None."""

    def __init__(self, text):
        self.text = text

    def __str__(self):
        if self.text is None:
            raise LookupError("no text")
        return self.text


class Text(str):
    """A str subclass: the csv layer and PyWriter write its own text, write_csv its str()."""

    def __str__(self):
        return "its str()"


# Text rich in what the dialects single out (\u039a shares its first UTF-8
# byte with the delimiter \u039b), and values of every kind.
texts = st.text(st.sampled_from(',;\t |"\'\\^\x00\r\n!@a1 .-+=e'
                                '\u00e9\u039a\u039b\u0800\u2028\ud800\udfff\U0001f600'), max_size=12)
values = st.one_of(
    texts, texts.map(Text), texts.map(Shown), st.none(), st.booleans(),
    st.integers(-10**20, 10**20), st.floats(), st.sampled_from([Shown(None), b"x", 1j, 2**70]))


def outcome(call):
    """The result, or the exception's type (brelt.Error as csv.Error) and text."""
    try:
        return call()
    except Exception as error:
        return csv.Error if isinstance(error, csv.Error) else type(error), str(error)


def csv_line(fields, **dialect):
    out = io.StringIO()
    csv.writer(out, **dialect).writerow(fields)
    return out.getvalue()


def guard(text, safe):
    return "'" + text if safe and text.startswith(GUARDED) else text


# The csv layer.

dialect_settings = st.fixed_dictionaries({}, optional={
    "delimiter": st.sampled_from([",", ";", "\t", " ", "|", "\x00", "\u039b", "\ud800"]),
    "quotechar": st.sampled_from(['"', "'", "|", "\u039b", None]),
    "escapechar": st.sampled_from([None, "\\", "^", "\u00e9", " "]),
    "doublequote": st.booleans(),
    "skipinitialspace": st.booleans(),
    "lineterminator": st.sampled_from(["\r\n", "\n", "\r", "!@", "", "\u2028", "\u00e9"]),
    "quoting": st.sampled_from(QUOTINGS),
})
# A row as (values, container): list, tuple, iterator or generator.
rows = st.tuples(st.lists(values, max_size=5), st.sampled_from([list, tuple, iter, "generator"]))


def made(row):
    items, container = row
    return (value for value in items) if container == "generator" else container(items)


def written(module, overrides, row_list):
    """What writerow returns for each row and writes in all, then what
    writerows raises or returns and writes."""
    one_by_one, at_once = io.StringIO(), io.StringIO()
    write = module.writer(one_by_one, **overrides)
    returned = [outcome(lambda row=row: write.writerow(made(row))) for row in row_list]
    batch = outcome(lambda: module.writer(at_once, **overrides).writerows(map(made, row_list)))
    return one_by_one.getvalue(), returned, at_once.getvalue(), batch


@settings(max_examples=400)
@given(dialect_settings, st.lists(rows, max_size=4))
def test_writer_writes_what_the_csv_module_writes(overrides, row_list):
    assume(not isinstance(outcome(lambda: csv.writer(io.StringIO(), **overrides)), tuple))
    assert written(brelt, overrides, row_list) == written(csv, overrides, row_list)


def dict_written(module, fieldnames, rowdicts, options):
    out = io.StringIO()
    writer = module.DictWriter(out, fieldnames, **options)
    results = [outcome(writer.writeheader)]
    results += [outcome(lambda d=d: writer.writerow(d)) for d in rowdicts]
    results.append(outcome(lambda: writer.writerows(iter(rowdicts))))
    return out.getvalue(), results


@st.composite
def dict_rows(draw):
    fieldnames = draw(st.lists(st.sampled_from(["a", "b", "c", "a,b", 1]), max_size=4))
    keys = st.sampled_from(fieldnames + ["x"])
    # Dicts with exactly the field names take the fast path.
    exact = st.fixed_dictionaries({name: values for name in fieldnames})
    return fieldnames, draw(st.lists(exact | st.dictionaries(keys, values, max_size=4), max_size=5))


@settings(max_examples=200)
@given(dict_rows(), st.fixed_dictionaries({}, optional={
    "restval": values, "extrasaction": st.sampled_from(["raise", "ignore"]),
    "quoting": st.sampled_from(QUOTINGS), "delimiter": st.sampled_from([",", " "]),
    "escapechar": st.just("\\")}), st.sampled_from([1, 2, 1000]))
def test_dict_writer_writes_what_the_csv_module_writes(names_and_dicts, options, chunk):
    fieldnames, rowdicts = names_and_dicts
    saved, brelt._dict._CHUNK_DICTS = brelt._dict._CHUNK_DICTS, chunk
    try:
        ours = dict_written(brelt, fieldnames, rowdicts, options)
    finally:
        brelt._dict._CHUNK_DICTS = saved
    assert ours == dict_written(csv, fieldnames, rowdicts, options)


def test_writer_arguments_and_large_batches():
    target = Recording()
    brelt.writer(target, safe=True).writerow(["=SUM(A1)", "-5", "a=b", -5])
    assert target.calls == ["'=SUM(A1),'-5,a=b,'-5\r\n"]
    for bad, message in ((lambda: brelt.writer(target, safe=1), "safe"),
                         (lambda: brelt.writer(object()), '"write" method')):
        with pytest.raises(TypeError, match=message):
            bad()
    # Large outputs go out in pieces, the rows before a failure complete.
    rows, theirs, target = [["x" * 1000]] * 600 + [[Shown(None)]], io.StringIO(), Recording()
    for module, out in ((brelt, target), (csv, theirs)):
        with pytest.raises(LookupError):
            module.writer(out).writerows(rows)
    assert 1 < len(target.calls) < 10 and "".join(target.calls) == theirs.getvalue()


# PyWriter and write_csv: the csv module's quoting of their texts.

def pywriter_text(value, safe):
    """A value's text as PyWriter takes it: a str's own characters, which must
    be UTF-8, or its str()."""
    text = guard(str.__str__(value) if isinstance(value, str) else str(value), safe)
    text.encode()
    return text


@given(st.lists(st.lists(values, max_size=5), max_size=5), st.sampled_from([0, 1]),
       st.sampled_from([",", ";", "\t", "|", " "]), st.sampled_from(['"', "'"]), st.booleans())
def test_pywriter_writes_what_the_csv_module_writes_for_the_same_texts(
        rows, quoting, delimiter, quotechar, safe):
    dialect = {"delimiter": delimiter, "quotechar": quotechar, "quoting": quoting}
    # Each row's line, or the exception of a row that writes nothing.
    lines = [outcome(lambda row=row: csv_line([pywriter_text(v, safe) for v in row], **dialect))
             for row in rows]
    errors = [line[0] if isinstance(line, tuple) else None for line in lines]
    one, batch = Recording(), Recording()
    writer = PyWriter(one, safe=safe, **dialect)
    got = [outcome(lambda row=row: writer.writerow(row)) for row in rows]
    assert [result and result[0] for result in got] == errors
    assert one.calls == [line for line in lines if isinstance(line, str)]
    got = outcome(lambda: PyWriter(batch, safe=safe, **dialect).writerows(rows))
    assert (got and got[0]) == next(filter(None, errors), None)
    # A batch with a row that fails writes nothing; a row of no fields is a line.
    assert batch.calls == (["".join(lines)] if not any(errors) and "".join(lines) else [])


@pytest.mark.parametrize("arguments, row, expected", [
    ({"delimiter": ";;", "quotechar": "''"}, ["a", "b;'"], "a;'b;'''\r\n"),
    ({"delimiter": ""}, ["a", "b,c"], 'a,"b,c"\r\n'),
    ({"quotechar": ""}, ["a", "b,c"], 'a,"b,c"\r\n'),
    ({"quoting": True}, ["a"], '"a"\r\n'),
    ({"quoting": 7}, ["b,c"], '"b,c"\r\n'),
    ({"quoting": 2**32 - 1}, ["b,c"], '"b,c"\r\n'),
    ({"quoting": 3}, ["a,b", 'q"', ""], 'a,b,q",\r\n'),
    ({"quoting": 3}, [""], "\r\n"),
    ({"lineterminator": "||"}, ["x\r"], '"x\r"||'),
    ({"quoting": 2, "safe": True}, ["1.5", 2, "x", "", None, "-5", "1e", "-inf"],
     '1.5,2,"x","","None","\'-5","1e","\'-inf"\r\n'),
    ({}, [], "\r\n"),
    ({}, [""], '""\r\n'),
    ({}, "abc", "a,b,c\r\n"),
    ({"lineterminator": ""}, [], None),  # no bytes, no call
])
def test_pywriter_rules_of_its_own(arguments, row, expected):
    f = Recording()
    PyWriter(f, **arguments).writerow(row)
    PyWriter(f, **arguments).writerows([row, row])
    assert f.calls == ([expected, expected * 2] if expected else [])


@pytest.mark.parametrize("arguments, error", [
    ({"quoting": -1}, OverflowError), ({"quoting": 2**32}, OverflowError),
    ({"quoting": 1.5}, TypeError), ({"quoting": "1"}, TypeError), ({"safe": 1}, TypeError),
    ({"delimiter": b","}, TypeError), ({"delimiter": None}, TypeError),
    ({"lineterminator": 10}, TypeError), ({"nonsense": 1}, TypeError),
])
def test_pywriter_bad_settings(arguments, error):
    with pytest.raises(error, match=next(iter(arguments)) if error is TypeError else "range"):
        PyWriter(Recording(), **arguments)


def test_pywriter_keeps_the_text_a_failed_write_was_given():
    f = Recording(fails=OSError("disk"))
    writer = PyWriter(f)
    with pytest.raises(OSError):
        writer.writerow(["pending"])
    with pytest.raises(OSError):
        writer.writerows([["batch"]])  # dropped; the pending row stays
    f.fails = None
    writer.writerow(["next"])
    assert f.calls == ["pending\r\nnext\r\n"]
    f.fails = ValueError("closed")
    with pytest.raises(ValueError):
        writer.writerow(["last"])
    f.fails = None
    writer.__del__()
    writer.__del__()
    assert f.calls[1:] == ["last\r\n"]
    # A non-ASCII delimiter's first byte makes text that is not UTF-8: it
    # fails and is dropped, and what was complete before goes out.
    writer = PyWriter(f, delimiter="é")
    with pytest.raises(MemoryError):
        writer.writerow(["a", "b"])
    writer.writerows([["z"]])
    del writer  # pending text dies with its writer
    gc.collect()
    assert f.calls[2:] == ["z\r\n"]


def test_pywriter_rows_that_fail_write_nothing():
    f = Recording()
    writer = PyWriter(f)
    for bad in (5, (x for x in "ab"), {"a": 1}, None):
        for call in (lambda: writer.writerow(bad), lambda: writer.writerows([["a"], bad])):
            with pytest.raises(TypeError):
                call()
    with pytest.raises(TypeError, match="^Expected list$"):
        writer.writerows((["a"],))
    with pytest.raises(LookupError):  # a row that fails half-way is dropped
        writer.writerow(["kept?", Shown(None)])
    with pytest.raises(AttributeError):
        PyWriter(object()).writerow(["a"])
    with pytest.raises(TypeError):
        PyWriter(io.BytesIO()).writerow(["a"])
    writer.writerow(["next"])
    assert f.calls == ["next\r\n"]


def test_pywriter_writerows_lets_other_threads_run():
    rows = [["field,%d" % i, "x" * 50] for i in range(100_000)]
    f = Recording()
    writer = PyWriter(f)
    refusals = []
    worker = threading.Thread(target=writer.writerows, args=(rows,))
    worker.start()
    while worker.is_alive():
        try:
            writer.writerow(["side"])
        except RuntimeError as error:
            refusals.append(str(error))
    worker.join()
    assert set(refusals) <= {"Already borrowed"}
    assert [call for call in f.calls if call != "side\r\n"] == [
        "".join('"field,%d",%s\r\n' % (i, "x" * 50) for i in range(100_000))]


@st.composite
def record_lists(draw):
    names = draw(st.lists(st.text(st.sampled_from('ab,"\n =é'), max_size=3), min_size=1,
                          max_size=4, unique=True))
    records = st.dictionaries(st.sampled_from(names + ["extra"]), values, max_size=5)
    first = draw(st.fixed_dictionaries({name: values for name in names}))
    return [first] + draw(st.lists(records, max_size=4))


def reference_write_csv(records, delimiter, safe):
    """write_csv's file by the csv module: the first dict's keys as header,
    each value's str() (empty when missing or str() raises), lone surrogates
    as U+FFFD, values guarded, LF line ends."""
    def line(fields):
        return csv_line(fields, delimiter=delimiter)[:-2] + "\n"

    def text(record, name):
        try:
            value = str(record[name])
        except Exception:
            return ""
        return guard("".join("\ufffd" if "\ud800" <= c <= "\udfff" else c for c in value), safe)

    names = list(records[0])
    return line(names) + "".join(line([text(r, name) for name in names]) for r in records)


@settings(max_examples=150)
@given(record_lists(), st.sampled_from([",", ";", "\t", "|"]), st.booleans(),
       st.sampled_from(["out.csv", "out.csv.gz"]))
def test_write_csv_writes_what_the_csv_module_writes(tmp_path_factory, records, delimiter,
                                                     safe, name):
    path = tmp_path_factory.mktemp("w") / name
    expected = reference_write_csv(records, delimiter, safe)
    assert write_csv(str(path), records, delimiter=delimiter, safe=safe) is None
    data = gzip.decompress(path.read_bytes()) if name.endswith(".gz") else path.read_bytes()
    assert data.decode() == expected


@pytest.mark.parametrize("data, options, expected", [
    ([], {}, b""),
    ([{}, {}], {}, b"\n\n\n"),
    ([{"a": 1}, {"b": 2}], {"strict": True}, b'a\n1\n""\n'),
    ([{"=x": "=1", "t": "\tx", "r": "\ry"}], {}, b"=x,t,r\n'=1,'\tx,\"'\ry\"\n"),
    ([{"a": 1, "b": 2}], {"delimiter": "\u00e9"}, b"a\xc3b\n1\xc3" b"2\n"),  # its first byte
    ([{"a": 1.0, "b": 1e16, "c": 1e-5, "d": -2**63, "e": 2**64}], {"safe": False},
     b"a,b,c,d,e\n1.0,1e+16,1e-05,-9223372036854775808,18446744073709551616\n"),
])
def test_write_csv_examples(tmp_path, data, options, expected):
    path = tmp_path / "out.csv"
    path.write_text("old contents\n" * 100)
    write_csv(str(path), data, **options)
    assert path.read_bytes() == expected


@pytest.mark.parametrize("arguments, error, message", [
    ({"path": 5, "data": []}, TypeError, "path"),
    ({"data": ({"a": 1},)}, TypeError, "data"),
    ({"data": [], "delimiter": 44}, TypeError, "delimiter"),
    ({"data": [], "safe": 0}, TypeError, "safe"),
    ({"data": [], "strict": "yes"}, TypeError, "strict"),
    ({}, TypeError, "data"),
    ({"data": [], "other": 1}, TypeError, "other"),
    ({"data": [{"a": 1}], "delimiter": ""}, ValueError, "delimiter"),
    ({"data": [5]}, TypeError, "^Expected list of dicts$"),
    ({"data": [{1: "a"}]}, TypeError, "'int' object cannot be converted"),
    ({"data": [{"\ud800": 1}]}, UnicodeEncodeError, "surrogate"),
])
def test_write_csv_bad_arguments_leave_the_file_as_it_was(tmp_path, arguments, error, message):
    path = tmp_path / "out.csv"
    with pytest.raises(error, match=message):
        write_csv(**{"path": str(path), **arguments})
    assert not path.exists()
    path.write_text("keep")
    with pytest.raises(error):
        write_csv(**{"path": str(path), **arguments})
    assert path.read_text() == "keep"


def test_write_csv_file_errors(tmp_path):
    with pytest.raises(TypeError, match="^Expected dict$"):
        write_csv(str(tmp_path / "out.csv"), [{"a": 1}, {"a": 2}, 5, {"a": 3}])
    assert (tmp_path / "out.csv").read_text() == "a\n1\n2\n"  # what came before stays
    for path, message in ((tmp_path / "missing" / "out.csv", r"^No such file or directory \(os error 2\)$"),
                          (tmp_path, r"\(os error 21\)$"),
                          (tmp_path / "a\0b", "^file name contained an unexpected NUL byte$")):
        with pytest.raises(OSError, match=message):
            write_csv(str(path), [{"a": 1}])
    if os.path.exists("/dev/full"):
        # Lost in the final write-out, when the buffer fills, a piece larger than it.
        for data in ([{"a": 1}], [{"a": "x" * 1000}] * 1000, [{"a": "x" * 300_000}]):
            with pytest.raises(OSError, match=r"^No space left on device \(os error 28\)$"):
                write_csv("/dev/full", data)
    previous = os.umask(0o027)
    try:
        write_csv(str(tmp_path / "new.csv"), [])
    finally:
        os.umask(previous)
    assert os.stat(tmp_path / "new.csv").st_mode & 0o777 == 0o640
