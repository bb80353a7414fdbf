"""The row operations a Row snapshot and a PyReader's current row share, each
tried on both: indexing by position and name, the dict-like methods, text and
equality. Then what only Row has: its class, iteration, and the pool its
memory cycles through."""

import ctypes
import io
import operator
import sys
import weakref

import pytest

from brelt._core import PyReader, Row, RowIterator
from hostile_values import Index


def reader_of(text, names=None, **settings):
    reader = PyReader(io.StringIO(text), **settings)
    if names is not None:
        reader.set_field_names(names)
    return reader


def snapshot_of(text, names=None, **settings):
    return reader_of(text, names, **settings).snapshot()


@pytest.fixture(params=["Row", "PyReader"])
def kind(request):
    """(a function making the row under test from CSV text, the index type's
    name in errors, the message for a field that is not UTF-8)"""
    if request.param == "Row":
        return snapshot_of, "RowIndex", "string alloc"
    return reader_of, "FieldIndex", "alloc"  # a new reader stands on its first row


class TestIndexing:
    def test_positions_names_and_index_like_values(self, kind):
        row = kind[0]("1,2,3", names=["a", "b", "a"])
        assert [row[0], row[-1], row[-3], row[True], row[Index(-2)]] == ["1", "3", "1", "2", "2"]
        assert (row["a"], row["b"], len(row)) == ("1", "2", 3)  # the first "a" wins
        for index in (3, -4, 2**62):
            with pytest.raises(IndexError, match="^index out of range$"):
                row[index]
        with pytest.raises(KeyError) as missing:
            row["zz"]
        assert missing.value.args == ("zz",)

    def test_a_name_past_the_rows_fields(self, kind):
        row = kind[0]("1,2", names=["a", "b", "c"])
        with pytest.raises(IndexError, match="^index out of range$"):
            row["c"]
        assert "c" in row and row.get("c") is None and row.get("c", 0) == 0

    @pytest.mark.parametrize("idx, int_failure", [
        (1.5, "TypeError: 'float' object cannot be interpreted as an integer"),
        (2**64, "OverflowError: Python int too large to convert to C long"),
        (Index("x"), "TypeError: __index__ returned non-int (type str)"),
    ])
    def test_neither_int_nor_str(self, kind, idx, int_failure):
        with pytest.raises(TypeError) as raised:
            kind[0]("a", names=["a"])[idx]
        assert str(raised.value) == (
            f"argument 'idx': failed to extract enum {kind[1]} ('Int | Str')\n"
            f"- variant Int (Int): {int_failure}\n"
            f"- variant Str (Str): TypeError: '{type(idx).__name__}' object cannot be "
            "converted to 'PyString'")

    def test_unencodable_name_and_raising_index_hook_are_reported(self, kind):
        def fail():
            raise ZeroDivisionError("no index")

        with pytest.raises(TypeError, match="variant Str .*surrogates not allowed"):
            kind[0]("a", names=["a"])["\ud800"]
        with pytest.raises(TypeError, match="ZeroDivisionError: no index"):
            kind[0]("a")[Index(0, fail)]

    def test_sequence_protocol_offsets_negative_indices_once(self, kind):
        get_item = ctypes.pythonapi.PySequence_GetItem
        get_item.restype = ctypes.py_object
        get_item.argtypes = [ctypes.py_object, ctypes.c_ssize_t]
        row = kind[0]("a,b,c")
        assert [get_item(row, i) for i in (0, -1, -3)] == ["a", "c", "a"]
        with pytest.raises(IndexError):
            get_item(row, -4)


class TestMappingMethods:
    def test_get_and_in(self, kind):
        row = kind[0]("1,2", names=["a", "b"])
        assert (row.get("b"), row.get("x"), row.get(key="x", default=5)) == ("2", None, 5)
        assert "a" in row and "1" not in row  # names only, never values
        with pytest.raises(TypeError, match="'key'"):
            row.get(0)
        with pytest.raises(TypeError, match="'key'"):
            0 in row

    def test_keys_items_values(self, kind):
        row = kind[0]("1,2,3", names=["a", "b"])
        assert row.keys() == ["a", "b"]
        assert row.items() == [("a", "1"), ("b", "2")]  # stops at the last name
        assert row.values() == row.to_list() == ["1", "2", "3"]
        assert kind[0]("1", names=["a", "b"]).items() == [("a", "1")]
        unnamed = kind[0]("1")
        for method in (unnamed.keys, unnamed.items):
            with pytest.raises(AttributeError, match="^no field names$"):
                method()


class TestTextAndEquality:
    @pytest.mark.parametrize("text, shown", [
        ("a,b", "['a', 'b']"), ('"it\'s",x\\y', "['it's', 'x\\y']"), ('""', "['']"),
        ("é,日", "['é', '日']")])
    def test_repr_quotes_without_escaping(self, kind, text, shown):
        assert repr(kind[0](text)) == shown

    def test_fields_that_are_not_utf8(self, kind):
        # A non-ASCII delimiter is cut to its first byte, which splits "é".
        row = kind[0]("aéb,c", delimiter="é")
        assert row[0] == "a" and repr(row) == "['a', '\ufffdb,c']" and row == ["a", "\ufffdb,c"]
        for failing in (lambda: row[1], row.to_list, row.values):
            with pytest.raises(MemoryError, match=f"^{kind[2]}$"):
                failing()

    def test_equal_only_to_a_list_of_the_same_str(self, kind):
        row = kind[0]("a,b")
        assert row == ["a", "b"] and ["a", "b"] == row
        assert row == type("Items", (list,), {})([type("Text", (str,), {})("a"), "b"])
        for other in (("a", "b"), {"a": "b"}, ["a"], ["a", "x"], row, kind[0]("a,b")):
            assert not row == other and row != other

    def test_items_must_be_str_until_the_first_difference(self, kind):
        row = kind[0]("a,b")
        with pytest.raises(TypeError, match="^'int' object cannot be converted to 'PyString'$"):
            row == ["a", 1]
        with pytest.raises(TypeError):
            row != [1, "b"]
        with pytest.raises(UnicodeEncodeError):
            row == ["\udc80", "b"]
        assert not row == ["x", 1]

    def test_ordering_is_not_defined(self, kind):
        for compare in (operator.lt, operator.ge):
            with pytest.raises(TypeError, match="not supported"):
                compare(kind[0]("a"), ["a"])


def test_row_and_iterator_classes_cannot_be_made_copied_or_extended():
    row = snapshot_of("a")
    for obj in (row, iter(row)):
        with pytest.raises(TypeError, match=f"^No constructor defined for {type(obj).__name__}$"):
            type(obj)()
        with pytest.raises(TypeError):
            weakref.ref(obj)
        with pytest.raises(TypeError):
            type("Sub", (type(obj),), {})
        assert not hasattr(obj, "__dict__")
    with pytest.raises(TypeError):
        hash(row)


def test_iteration():
    row = snapshot_of("a,b,c", names=["x"])
    iterator = iter(row)
    assert type(iterator) is RowIterator and iter(iterator) is iterator
    # Every field of the row, not only the named ones.
    assert list(iterator) == ["a", "b", "c"] and next(iterator, "end") == "end"
    assert list(iter(snapshot_of("x,y"))) == ["x", "y"]  # the iterator keeps its row
    broken = iter(snapshot_of("aéb", delimiter="é"))
    assert next(broken) == "a"
    for _ in range(2):  # a failed step leaves the position
        with pytest.raises(MemoryError, match="^string alloc$"):
            next(broken)


class TestPool:
    def test_released_rows_come_back_and_leave_no_trace(self):
        reader = PyReader(io.StringIO("a,b\n"))
        first = reader.snapshot()
        address = id(first)
        del first
        assert id(reader.snapshot()) == address
        type_references = sys.getrefcount(Row)

        def round_trip():
            rows = [reader.snapshot() for _ in range(5000)]
            return {id(row) for row in rows}

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
    def test_a_pooled_row_does_not_hold_its_table(self):
        def resident():
            with open("/proc/self/statm") as statm:
                return int(statm.read().split()[1]) * 4096

        snapshot = snapshot_of(("x" * 99 + "\n") * 400_000)  # a 40 MB table
        holding = resident()
        del snapshot  # the table must go before the block is pooled
        assert holding - resident() > 30_000_000
