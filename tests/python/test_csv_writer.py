"""Writing: for random rows under random settings the running csv module
accepts, writer and DictWriter write the csv module's text, return what it
returns and raise what it raises; the cases a property cannot reach follow."""

import csv
import gc
import io
import sys

import pytest
from hypothesis import assume, given, settings, strategies as st

import brelt

QUOTINGS = [brelt.QUOTE_MINIMAL, brelt.QUOTE_ALL, brelt.QUOTE_NONNUMERIC, brelt.QUOTE_NONE]
if sys.version_info >= (3, 12):
    QUOTINGS += [brelt.QUOTE_STRINGS, brelt.QUOTE_NOTNULL]

dialect_settings = st.fixed_dictionaries({}, optional={
    "delimiter": st.sampled_from([",", ";", "\t", " ", "|", "\x00", "\u039b", "\ud800"]),
    "quotechar": st.sampled_from(['"', "'", "|", "\u039b", None]),
    "escapechar": st.sampled_from([None, "\\", "^", "\u00e9", " "]),
    "doublequote": st.booleans(),
    "skipinitialspace": st.booleans(),
    "lineterminator": st.sampled_from(["\r\n", "\n", "\r", "!@", "", "\u2028", "\u00e9"]),
    "quoting": st.sampled_from(QUOTINGS),
})


class Shown:
    """A value written as its str(), which may raise."""

    def __init__(self, text):
        self.text = text

    def __str__(self):
        if self.text is None:
            raise LookupError("no text")
        return self.text


class Calls:
    """A value whose str() first makes a call."""

    def __init__(self, call):
        self.call = call

    def __str__(self):
        self.call()
        return "called"


class Text(str):
    """A str subclass: its own text is written, not its str()."""

    def __str__(self):
        return "not used: a str's own text is written"


# Text rich in what the dialects above single out (\u039a shares its first
# UTF-8 byte with the delimiter \u039b), and values of every kind.
texts = st.text(st.sampled_from(',;\t |"\'\\^\x00\r\n!@a1 .-+='
                                '\u00e9\u039a\u039b\u2028\ud800\U0001f600'), max_size=6)
values = st.one_of(
    texts, texts.map(Text), texts.map(Shown), st.none(), st.booleans(),
    st.integers(-10**20, 10**20), st.floats(allow_nan=True, allow_infinity=True),
    st.sampled_from([Shown(None), b"x", 1j, 2**70]))
# A row as (values, container): list, tuple, iterator or generator.
rows = st.tuples(st.lists(values, max_size=5), st.sampled_from([list, tuple, iter, "generator"]))


def made(row):
    items, container = row
    return (value for value in items) if container == "generator" else container(items)


def outcome(call):
    """The result, or the exception's type (brelt.Error as csv.Error) and text."""
    try:
        return call()
    except Exception as error:
        return csv.Error if isinstance(error, csv.Error) else type(error), str(error)


def written(module, overrides, row_list):
    """What writerow returns for each row and writes in all, then what
    writerows raises or returns and writes."""
    one_by_one = io.StringIO()
    write = module.writer(one_by_one, **overrides)
    returned = [outcome(lambda row=row: write.writerow(made(row))) for row in row_list]
    at_once = io.StringIO()
    batch = outcome(lambda: module.writer(at_once, **overrides).writerows(map(made, row_list)))
    return one_by_one.getvalue(), returned, at_once.getvalue(), batch


@settings(max_examples=400, deadline=None)
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


names = st.lists(st.sampled_from(["a", "b", "c", "a,b", 1]), max_size=4)


@st.composite
def dict_rows(draw):
    fieldnames = draw(names)
    keys = st.sampled_from(fieldnames + ["x"]) if fieldnames else st.just("x")
    # Dicts with exactly the field names take the fast path.
    exact = st.fixed_dictionaries({name: values for name in fieldnames})
    rowdicts = draw(st.lists(exact | st.dictionaries(keys, values, max_size=4), max_size=5))
    return fieldnames, rowdicts


@settings(max_examples=200, deadline=None)
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


class Recording:
    def __init__(self):
        self.calls = []

    def write(self, text):
        self.calls.append(text)
        return "returned"


def test_writerows_writes_large_outputs_in_pieces_and_the_complete_rows_before_a_failure():
    rows = [["x" * 1000]] * 600 + [[Shown(None)]]
    target = Recording()
    with pytest.raises(LookupError):
        brelt.writer(target).writerows(rows)
    theirs = io.StringIO()
    with pytest.raises(LookupError):
        csv.writer(theirs).writerows(rows)
    assert 1 < len(target.calls) < 10
    assert "".join(target.calls) == theirs.getvalue()


def test_the_file_and_the_values_may_call_back_without_harm():
    target = Recording()
    writer = brelt.writer(target)
    assert writer.writerow(["a"]) == "returned"
    for call in (lambda: writer.writerow(["x"]), lambda: writer.writerows([["x"]])):
        for use in (lambda: writer.writerow([Shown(""), Calls(call)]),
                    lambda: writer.writerows([["b"], [Calls(call)]])):
            with pytest.raises(RuntimeError, match="Already borrowed"):
                use()

    class Holder:
        def write(self, text):
            self.writer = None  # the writer's last reference
            gc.collect()
            self.got = text

    holder = Holder()
    holder.writer = brelt.writer(holder)
    holder.writer.writerow(["a", "b"])
    assert holder.got == "a,b\r\n"
    assert target.calls == ["a\r\n", "b\r\n", "b\r\n"]


def test_writer_arguments_of_its_own():
    target = Recording()
    brelt.writer(target, safe=True).writerow(["=SUM(A1)", "-5", "a=b", -5])
    assert target.calls == ["'=SUM(A1),'-5,a=b,'-5\r\n"]
    with pytest.raises(TypeError, match="safe"):
        brelt.writer(target, safe=1)
    with pytest.raises(TypeError, match='"write" method'):
        brelt.writer(object())
