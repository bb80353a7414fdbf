"""PyReader and its Row snapshots: random tables written out and read back
(cursor, batches, snapshots and strict errors agreeing), the row operations
both share, settings and file objects, calls that overlap, and the pool Row
snapshots cycle through. The tokenizer's corner cases are proved against the
reference reader in tests/core; here it is the binding that is under test."""

import ctypes
import gc
import io
import operator
import sys

import pytest
from hypothesis import given, settings, strategies as st

from brelt._core import PyReader, Row, RowIterator
from hostile_values import Index


def reader_of(text, names=None, **options):
    reader = PyReader(io.StringIO(text), **options)
    if names is not None:
        reader.set_field_names(names)
    return reader


def snapshot_of(text, names=None, **options):
    return reader_of(text, names, **options).snapshot()


def all_rows(reader):
    return reader.fetch_many_lists(10**9)


# é, 日 and 🎉 make str of each character width.
FIELD = st.text(st.sampled_from(list(',;\t"\r\nab é日🎉')), max_size=5)


@st.composite
def tables(draw, ragged=False):
    """(text, its records, strict-mode error or None): records written with
    random quoting, line ends, blank lines between them and a mark."""
    delimiter = draw(st.sampled_from([",", ";", "\t"]))
    width = draw(st.integers(1, 4))
    widths = st.integers(1, 4) if ragged else st.just(width)
    rows = draw(st.lists(widths.flatmap(lambda w: st.lists(FIELD, min_size=w, max_size=w)),
                         max_size=12))
    text = "\ufeff" if draw(st.booleans()) else ""
    error = None
    for number, row in enumerate(rows, start=1):
        if error is None and len(row) != len(rows[0]):
            error = (f"CSV parse error: CSV error: record {number} (byte: {len(text.encode())}): "
                     f"found record with {len(row)} fields, but the previous record has "
                     f"{len(rows[0])} fields")
        text += draw(st.sampled_from(["", "", "\n", "\r\n\n"]))  # blank lines are skipped
        fields = []
        for field in row:
            must = any(c in field for c in delimiter + '"\r\n') or row == [""]
            if must or draw(st.booleans()):
                field = '"' + field.replace('"', '""') + '"'
            fields.append(field)
        text += delimiter.join(fields)
        if number < len(rows) or row[-1].endswith("\r") or draw(st.booleans()):
            text += draw(st.sampled_from(["\n", "\r\n"]))
    return text, rows, error, delimiter


@settings(max_examples=300)
@given(tables(), st.lists(st.sampled_from(["a", "b", "é", ""]), max_size=4), st.data())
def test_cursor_batches_and_snapshots_read_the_records_written(table, names, data):
    text, rows, _, delimiter = table
    reader = reader_of(text, names or None, delimiter=delimiter)
    assert reader.total_rows == len(rows)
    stepped = data.draw(st.integers(0, len(rows)))
    for position in range(1, stepped + 1):
        assert next(reader) is reader and reader.line_num == position
        row, snapshot = rows[position - 1], reader.snapshot()
        assert reader.to_list() == snapshot.to_list() == list(snapshot) == row
        assert len(reader) == len(snapshot) == len(row)
        shown = "[" + ", ".join(f"'{field}'" for field in row) + "]"  # nothing escaped
        assert repr(reader) == repr(snapshot) == shown
        if names:
            assert reader.items() == snapshot.items() == list(zip(names, row))
    batch = data.draw(st.integers(0, 5))
    assert reader.fetch_many_lists(batch) == rows[stepped:stepped + batch]
    assert reader.line_num == min(stepped + batch, len(rows))
    assert all_rows(reader) == rows[stepped + batch:] and reader.line_num == len(rows)


@settings(max_examples=200)
@given(tables(ragged=True))
def test_strict_fails_at_the_first_record_of_another_width(table):
    text, rows, error, delimiter = table
    if error is None:
        assert all_rows(reader_of(text, delimiter=delimiter, strict=True)) == rows
    else:
        with pytest.raises(ValueError) as raised:
            reader_of(text, delimiter=delimiter, strict=True)
        assert str(raised.value) == error
        assert all_rows(reader_of(text, delimiter=delimiter)) == rows


# ---- settings and the file object ----

@pytest.mark.parametrize("options, row", [
    ({}, ["a", "b;c", "d\te"]), ({"delimiter": ""}, ["a", "b;c", "d\te"]),
    ({"delimiter": ";;"}, ["a,b", "c,d\te"]), ({"delimiter": "\t"}, ["a,b;c,d", "e"]),
    ({"quotechar": "'", "strict": True, "safe": True}, ["a", "b;c", "d\te"]),
])
def test_settings(options, row):
    assert all_rows(reader_of("a,b;c,d\te\n", **options)) == [row]
    assert all_rows(reader_of("'a,b',\"c,d\"", quotechar="'")) == [["'a", "b'", "c,d"]]


class File:
    def __init__(self, text):
        self.text = text

    def read(self):
        if isinstance(self.text, Exception):
            raise self.text
        return self.text


def test_what_read_gives_that_is_not_text():
    failure = OSError("disk gone")
    with pytest.raises(OSError) as raised:
        PyReader(File(failure))
    assert raised.value is failure
    for text, error, message in ((b"a,b", TypeError, "^'bytes' object cannot be converted"),
                                 (None, TypeError, "^'NoneType' object cannot"),
                                 ("a,\ud800", UnicodeEncodeError, "surrogates not allowed"),
                                 ("日本" * 9 + "\udfff", UnicodeEncodeError, "surrogates"),
                                 ("🎉\udbff", UnicodeEncodeError, "surrogates")):
        with pytest.raises(error, match=message):
            PyReader(File(text))
    assert all_rows(PyReader(File(type("Text", (str,), {})("é,日")))) == [["é", "日"]]
    # A read that reads with another reader.
    assert all_rows(PyReader(File(all_rows(reader_of("inner"))[0][0] + ",outer"))) == [
        ["inner", "outer"]]


# ---- the cursor and batches ----

@pytest.mark.parametrize("text", ["", "\n\r\n"])
def test_no_rows_and_no_current_row(text):
    reader = reader_of(text)
    assert reader.total_rows == 0 and list(reader) == [] and reader.fetch_many_lists() == []
    reader.set_field_names(["a"])
    assert len(reader) == 0 and not reader and list(reader) == []
    for operation in (lambda: repr(reader), reader.snapshot, reader.keys, reader.items,
                      reader.to_list, lambda: reader[0], lambda: reader.get("a"),
                      lambda: "a" in reader, lambda: reader == [], lambda: reader != []):
        with pytest.raises(IndexError, match="^index out of range$"):
            operation()


def test_batches_leave_the_current_row_and_the_collector_as_they_were():
    reader = reader_of("".join(f"{i},x\n" for i in range(2500)))
    first = reader.fetch_many_lists()
    assert len(first) == 1000 and first[0] == ["0", "x"] and reader.line_num == 1000
    assert reader[0] == "0"
    next(reader)
    assert reader[0] == "1000" and reader.fetch_many_lists(Index(1)) == [["1001", "x"]]
    assert gc.isenabled()
    gc.disable()
    try:
        reader.fetch_many_lists(10)
        assert not gc.isenabled()
    finally:
        gc.enable()


@pytest.mark.parametrize("n, error", [
    (-1, OverflowError), (2**64, OverflowError), (1.5, TypeError), ("3", TypeError),
    (None, TypeError)])
def test_bad_batch_sizes_change_nothing(n, error):
    reader = reader_of("a\nb")
    with pytest.raises(error, match="argument 'n'" if error is TypeError else ""):
        reader.fetch_many_lists(n)
    assert reader.line_num == 0 and all_rows(reader) == [["a"], ["b"]]


def test_a_field_that_is_not_utf8_fails_where_it_is_read_and_changes_nothing():
    # A non-ASCII delimiter is cut to its first byte, which splits "é".
    reader = reader_of("ok\naéb,c\n", delimiter="é")
    with pytest.raises(MemoryError, match="^alloc$"):
        reader.fetch_many_lists()
    next(reader)
    assert reader.line_num == 1 and reader.to_list() == ["ok"]
    next(reader)
    snapshot = reader.snapshot()
    for row, message in ((reader, "alloc"), (snapshot, "string alloc")):
        assert row[0] == "a" and repr(row) == "['a', '\ufffdb,c']" and row == ["a", "\ufffdb,c"]
        for failing in (lambda: row[1], row.to_list, row.values):
            with pytest.raises(MemoryError, match=f"^{message}$"):
                failing()
    iterator = iter(snapshot)
    assert next(iterator) == "a"
    for _ in range(2):  # a failed step leaves the position
        with pytest.raises(MemoryError, match="^string alloc$"):
            next(iterator)


def test_field_names_apply_to_the_reader_and_later_snapshots_only():
    reader = reader_of("1,2\n3,4")
    next(reader)
    before = reader.snapshot()
    assert reader.set_field_names(["x", "y"]) is None
    after = reader.snapshot()
    reader.set_field_names(("p", "q"))
    next(reader)
    assert reader.items() == [("p", "3"), ("q", "4")]
    assert after.keys() == ["x", "y"] and after["x"] == "1"
    with pytest.raises(AttributeError, match="^no field names$"):
        before.keys()
    for names, message in (("ab", "Can't extract `str` to `Vec`"), (["a", 1], "item 1"),
                           (5, "names")):
        with pytest.raises(TypeError, match=message):
            reader.set_field_names(names)
    assert reader.keys() == ["p", "q"] and reader.total_rows == 2


# ---- what Row and the reader's current row share ----

@pytest.fixture(params=[snapshot_of, reader_of], ids=["Row", "PyReader"])
def make(request):
    return request.param


def test_indexing_by_position_name_and_index_like_values(make):
    row = make("1,2,3", names=["a", "b", "a"])
    assert [row[0], row[-1], row[-3], row[True], row[Index(-2)]] == ["1", "3", "1", "2", "2"]
    assert (row["a"], row["b"], len(row)) == ("1", "2", 3)  # the first "a" wins
    for index in (3, -4, 2**62):
        with pytest.raises(IndexError, match="^index out of range$"):
            row[index]
    with pytest.raises(KeyError) as missing:
        row["zz"]
    assert missing.value.args == ("zz",)
    short = make("1,2", names=["a", "b", "c"])  # a name past the row's fields
    with pytest.raises(IndexError, match="^index out of range$"):
        short["c"]
    assert "c" in short and short.get("c") is None and short.get("c", 0) == 0
    get_item = ctypes.pythonapi.PySequence_GetItem  # offsets negative indices once
    get_item.restype, get_item.argtypes = ctypes.py_object, [ctypes.py_object, ctypes.c_ssize_t]
    assert [get_item(row, i) for i in (0, -1, -3)] == ["1", "3", "1"]
    with pytest.raises(IndexError):
        get_item(row, -4)


@pytest.mark.parametrize("idx", [1.5, 2**64, Index("x"), "\ud800", Index(0, lambda: 1 / 0)])
def test_an_index_neither_int_nor_str_is_a_type_error_naming_both_tries(make, idx):
    message = "(?s)^argument 'idx': failed to extract enum .*variant Str"
    with pytest.raises(TypeError, match=message):
        make("a", names=["a"])[idx]


def test_mapping_methods(make):
    row = make("1,2,3", names=["a", "b"])
    assert (row.get("b"), row.get("x"), row.get(key="x", default=5)) == ("2", None, 5)
    assert "a" in row and "1" not in row  # names only, never values
    for call in (lambda: row.get(0), lambda: 0 in row):
        with pytest.raises(TypeError, match="'key'"):
            call()
    assert row.keys() == ["a", "b"] and row.items() == [("a", "1"), ("b", "2")]
    assert row.values() == row.to_list() == ["1", "2", "3"]
    assert make("1", names=["a", "b"]).items() == [("a", "1")]
    unnamed = make("1")
    for method in (unnamed.keys, unnamed.items):
        with pytest.raises(AttributeError, match="^no field names$"):
            method()


def test_equal_only_to_a_list_of_the_same_str_and_never_ordered(make):
    row = make("a,b")
    assert row == ["a", "b"] and ["a", "b"] == row
    assert row == type("Items", (list,), {})([type("Text", (str,), {})("a"), "b"])
    for other in (("a", "b"), {"a": "b"}, ["a"], ["a", "x"], row, make("a,b")):
        assert not row == other and row != other
    assert not row == ["x", 1]  # items are checked up to the first difference
    for other, error in ((["a", 1], TypeError), ([1, "b"], TypeError),
                         (["\udc80", "b"], UnicodeEncodeError)):
        with pytest.raises(error):
            row == other
    for compare in (operator.lt, operator.ge):
        with pytest.raises(TypeError, match="not supported"):
            compare(row, ["a"])


def test_a_row_iterates_over_every_field_not_only_the_named():
    iterator = iter(snapshot_of("a,b,c", names=["x"]))
    assert type(iterator) is RowIterator and iter(iterator) is iterator
    assert list(iterator) == ["a", "b", "c"] and next(iterator, "end") == "end"
    assert list(iter(snapshot_of("x,y"))) == ["x", "y"]  # the iterator keeps its row


# ---- the pool of Row snapshots ----

def test_released_rows_come_back_and_leave_no_trace():
    reader = PyReader(io.StringIO("a,b\n"))
    first = reader.snapshot()
    address = id(first)
    del first
    assert id(reader.snapshot()) == address
    type_references = sys.getrefcount(Row)

    def round_trip():
        return {id(row) for row in [reader.snapshot() for _ in range(5000)]}

    previous = round_trip()
    for _ in range(3):
        ids = round_trip()
        assert len(ids & previous) >= 4000
        previous = ids
    del ids, previous
    blocks = sys.getallocatedblocks()
    for _ in range(5):
        round_trip()
    assert sys.getallocatedblocks() - blocks < 50
    assert sys.getrefcount(Row) == type_references


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc")
def test_a_pooled_row_does_not_hold_its_table():
    def resident():
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[1]) * 4096

    snapshot = snapshot_of(("x" * 99 + "\n") * 400_000)  # a 40 MB table
    holding = resident()
    del snapshot  # the table must go before the block is pooled
    assert holding - resident() > 30_000_000
