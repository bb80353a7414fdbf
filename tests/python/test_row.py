"""Row and RowIterator: indexing by position and name, the dict-like methods,
text and equality, iteration, and the pool their memory cycles through."""

import ctypes
import io
import operator
import sys

import pytest

from brelt._core import PyReader, Row, RowIterator


def rows_of(text, names=None, **settings):
    """Snapshots of every row of `text`, with `names` as column names."""
    reader = PyReader(io.StringIO(text), **settings)
    if names is not None:
        reader.set_field_names(names)
    return [reader.snapshot() for _ in reader]


def row_of(text, names=None, **settings):
    return rows_of(text, names, **settings)[0]


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class TestClassShape:
    def test_module_docstring_and_no_constructor(self):
        assert Row.__module__ == RowIterator.__module__ == "builtins"
        assert Row.__doc__ == (
            "Lightweight CSV row — 16 bytes on stack (Arc + u32 + padding).\n"
            "No per-row heap allocation for field data. Freelist-pooled pyclass.")
        assert RowIterator.__doc__ is None
        for cls in (Row, RowIterator):
            with pytest.raises(TypeError, match=f"^No constructor defined for {cls.__name__}$"):
                cls()

    def test_method_signatures(self):
        assert Row.get.__text_signature__ == "($self, key, default=None)"
        for name in ("to_list", "keys", "values", "items"):
            assert getattr(Row, name).__text_signature__ == "($self)"

    def test_closed_unhashable_and_without_instance_state(self):
        row = row_of("a")
        iterator = iter(row)
        for obj in (row, iterator):
            assert not hasattr(obj, "__dict__")
            with pytest.raises(TypeError):
                __import__("weakref").ref(obj)
            with pytest.raises(TypeError):
                type("Sub", (type(obj),), {})
        with pytest.raises(TypeError):
            hash(row)
        assert Row.__hash__ is None


class TestIndexing:
    def test_positions_and_index_like_values(self):
        row = row_of("a,b,c")
        assert [row[0], row[1], row[2], row[-1], row[-3]] == ["a", "b", "c", "c", "a"]
        assert row[True] == "b" and row[False] == "a"
        assert row[Index(2)] == "c" and row[Index(-2)] == "b"
        assert len(row) == 3

    @pytest.mark.parametrize("index", [3, -4, 2**62, -(2**62)])
    def test_out_of_range(self, index):
        with pytest.raises(IndexError, match="^index out of range$"):
            row_of("a,b,c")[index]

    def test_names_first_match_wins(self):
        row = row_of("1,2,3", names=["a", "b", "a"])
        assert (row["a"], row["b"]) == ("1", "2")

    def test_missing_name_is_a_key_error_carrying_the_key(self):
        class Name(str):
            pass

        row = row_of("1", names=["a"])
        with pytest.raises(KeyError) as raised:
            row["zz"]
        assert raised.value.args == ("zz",)
        assert row[Name("a")] == "1"

    def test_name_past_the_rows_fields(self):
        row = row_of("1,2", names=["a", "b", "c"])
        with pytest.raises(IndexError, match="^index out of range$"):
            row["c"]
        assert "c" in row
        assert row.get("c") is None and row.get("c", 0) == 0

    def test_no_names_means_every_name_is_missing(self):
        with pytest.raises(KeyError):
            row_of("a")["a"]

    def test_neither_int_nor_str(self):
        with pytest.raises(TypeError) as raised:
            row_of("a")[1.5]
        assert str(raised.value) == (
            "argument 'idx': failed to extract enum RowIndex ('Int | Str')\n"
            "- variant Int (Int): TypeError: 'float' object cannot be interpreted as an integer\n"
            "- variant Str (Str): TypeError: 'float' object cannot be converted to 'PyString'")

    @pytest.mark.parametrize("idx, int_failure", [
        (2**64, "OverflowError: Python int too large to convert to C long"),
        (Index("x"), "TypeError: __index__ returned non-int (type str)"),
        (b"a", "TypeError: 'bytes' object cannot be interpreted as an integer"),
    ])
    def test_each_alternative_reports_its_own_failure(self, idx, int_failure):
        with pytest.raises(TypeError) as raised:
            row_of("a", names=["a"])[idx]
        lines = str(raised.value).split("\n")
        assert lines[0] == "argument 'idx': failed to extract enum RowIndex ('Int | Str')"
        assert lines[1] == "- variant Int (Int): " + int_failure
        assert lines[2].startswith("- variant Str (Str): TypeError: ")

    def test_an_index_hook_that_raises_is_reported_not_propagated(self):
        class Broken:
            def __index__(self):
                raise ZeroDivisionError("no index")

        with pytest.raises(TypeError, match="ZeroDivisionError: no index"):
            row_of("a")[Broken()]

    def test_unencodable_name(self):
        with pytest.raises(TypeError, match="variant Str .*surrogates not allowed"):
            row_of("a", names=["a"])["\ud800"]

    def test_sequence_protocol_offsets_negative_indices_once(self):
        get_item = ctypes.pythonapi.PySequence_GetItem
        get_item.restype = ctypes.py_object
        get_item.argtypes = [ctypes.py_object, ctypes.c_ssize_t]
        row = row_of("a,b,c")
        assert [get_item(row, i) for i in (0, 2, -1, -3)] == ["a", "c", "c", "a"]
        with pytest.raises(IndexError, match="^index out of range$"):
            get_item(row, -4)


class TestMappingMethods:
    def test_get(self):
        row = row_of("1,2", names=["a", "b"])
        assert row.get("b") == "2"
        assert row.get("x") is None
        assert row.get("x", "d") == "d" and row.get(key="x", default=5) == 5
        with pytest.raises(TypeError, match="'key'"):
            row.get(0)
        with pytest.raises(TypeError):
            row.get()
        with pytest.raises(TypeError):
            row.get("a", 1, 2)

    def test_contains_looks_at_names_only(self):
        row = row_of("a,b", names=["x"])
        assert "x" in row and "a" not in row
        with pytest.raises(TypeError, match="'key'"):
            0 in row

    def test_keys_items_values(self):
        row = row_of("1,2,3", names=["a", "b"])
        assert row.keys() == ["a", "b"]
        # Fields past the last name are left out.
        assert row.items() == [("a", "1"), ("b", "2")]
        assert row.values() == row.to_list() == ["1", "2", "3"]
        wide = row_of("1", names=["a", "b"])
        assert wide.items() == [("a", "1")]

    def test_names_are_needed_for_keys_and_items(self):
        row = row_of("1")
        for method in (row.keys, row.items):
            with pytest.raises(AttributeError, match="^no field names$"):
                method()
        assert row.values() == ["1"]


class TestText:
    @pytest.mark.parametrize("text, shown", [
        ("a,b", "['a', 'b']"),
        ('"it\'s",x\\y', "['it's', 'x\\y']"),
        ('""', "['']"),
        ("é,日", "['é', '日']"),
    ])
    def test_repr_quotes_without_escaping(self, text, shown):
        assert repr(row_of(text)) == shown

    def test_fields_that_are_not_utf8(self):
        # A non-ASCII delimiter is cut to its first byte, which splits "é".
        row = row_of("aéb,c", delimiter="é")
        assert row[0] == "a"
        assert repr(row) == "['a', '\ufffdb,c']"
        assert row == ["a", "\ufffdb,c"]
        for failing in (lambda: row[1], row.to_list, row.values, lambda: list(row)):
            with pytest.raises(MemoryError, match="^string alloc$"):
                failing()

    def test_fields_are_fresh_str_and_empty_is_shared(self):
        row = row_of("ab,")
        assert type(row[0]) is str and row[0] is not row[0]
        assert row[1] is ""  # noqa: F632 - the interpreter's one empty str


class TestEquality:
    def test_equal_only_to_a_list_of_the_same_str(self):
        class Items(list):
            pass

        class Text(str):
            pass

        row = row_of("a,b")
        assert row == ["a", "b"] and ["a", "b"] == row
        assert row == Items(["a", "b"]) and row == [Text("a"), "b"]
        assert not row == ("a", "b")
        assert not row == {"a": "b"}
        assert not row == ["a"] and not row == ["a", "b", "c"]
        assert not row == ["a", "x"]

    def test_a_row_never_equals_a_row(self):
        row = row_of("a")
        assert not row == row
        assert row != row
        assert not row == row_of("a")

    def test_items_must_be_str_until_the_first_difference(self):
        row = row_of("a,b")
        with pytest.raises(TypeError, match="^'int' object cannot be converted to 'PyString'$"):
            row == ["a", 1]
        with pytest.raises(TypeError, match="'int' object"):
            row != [1, "b"]
        assert not row == ["x", 1]
        assert row != ["x", 1]

    def test_unencodable_item_raises(self):
        with pytest.raises(UnicodeEncodeError):
            row_of("a") == ["\udc80"]

    def test_ordering_is_not_defined(self):
        row = row_of("a")
        for compare in (operator.lt, operator.le, operator.gt, operator.ge):
            with pytest.raises(TypeError, match="not supported"):
                compare(row, ["a"])


class TestIteration:
    def test_iterates_fields_and_is_its_own_iterator(self):
        row = row_of("a,b")
        iterator = iter(row)
        assert type(iterator) is RowIterator and iter(iterator) is iterator
        assert list(iterator) == ["a", "b"]
        assert next(iterator, "end") == "end"
        assert list(row) == ["a", "b"] and iter(row) is not iter(row)

    def test_iterator_keeps_the_row_alive(self):
        iterator = iter(row_of("x,y"))
        assert list(iterator) == ["x", "y"]

    def test_a_failed_step_leaves_the_position(self):
        iterator = iter(row_of("aéb", delimiter="é"))
        assert next(iterator) == "a"
        for _ in range(2):
            with pytest.raises(MemoryError, match="^string alloc$"):
                next(iterator)


def rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


class TestPool:
    def test_released_rows_memory_is_reused(self):
        reader = PyReader(io.StringIO("a\nb\n"))
        first = reader.snapshot()
        address = id(first)
        del first
        again = reader.snapshot()
        assert id(again) == address

    def test_thousands_of_rows_leave_no_trace(self):
        reader = PyReader(io.StringIO("a,b\n" * 5000))
        type_references = sys.getrefcount(Row)

        def round_trip():
            rows = [reader.snapshot() for _ in range(5000)]
            ids = {id(row) for row in rows}
            del rows
            return ids

        previous = round_trip()
        for _ in range(5):
            ids = round_trip()
            # Released rows come back: almost all of the next round reuses them.
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
        reader = PyReader(io.StringIO(("x" * 99 + "\n") * 400_000))  # a 40 MB table
        snapshot = reader.snapshot()
        del reader
        holding = rss_bytes()
        del snapshot  # the last reference: the table must go before the block is pooled
        assert holding - rss_bytes() > 30_000_000
