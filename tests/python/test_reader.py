"""PyReader: settings, reading the file object, the cursor, batches, column
names, and calls that overlap. (Its row operations are tried with Row's in
test_row.py; its records against a reference reader in
test_reader_properties.py.)"""

import gc
import io

import pytest

from brelt._core import PyReader
from hostile_values import Index


def reader_of(text, **settings):
    return PyReader(io.StringIO(text), **settings)


def all_rows(reader):
    return reader.fetch_many_lists(10**9)


class File:
    def __init__(self, text):
        self.text = text

    def read(self):
        return self.text


class TestConstruction:
    @pytest.mark.parametrize("settings, row", [
        ({}, ["a", "b;c", "d\te"]),
        ({"delimiter": ""}, ["a", "b;c", "d\te"]),
        ({"delimiter": ";;"}, ["a,b", "c,d\te"]),
        ({"delimiter": "\t"}, ["a,b;c,d", "e"]),
        ({"quotechar": "'", "strict": True, "safe": True}, ["a", "b;c", "d\te"]),
    ])
    def test_dialect(self, settings, row):
        assert all_rows(reader_of("a,b;c,d\te\n", **settings)) == [row]
        assert all_rows(reader_of("'a,b',\"c,d\"", quotechar="'")) == [["'a", "b'", "c,d"]]

    @pytest.mark.parametrize("settings", [
        {"strict": 1}, {"safe": None}, {"delimiter": b","}, {"quotechar": 0}, {"other": 1}])
    def test_bad_settings_are_named_before_anything_is_read(self, settings):
        class Unread:
            def read(self):
                raise AssertionError("read before the settings were checked")

        with pytest.raises(TypeError, match=next(iter(settings))):
            PyReader(Unread(), **settings)

    def test_cannot_be_hashed_extended_or_have_its_counters_set(self):
        reader = reader_of("a")
        with pytest.raises(TypeError):
            hash(reader)
        with pytest.raises(TypeError):
            type("Sub", (PyReader,), {})
        with pytest.raises(AttributeError):
            reader.line_num = 5

    def test_read_failures_and_results_that_are_not_str(self):
        failure = OSError("disk gone")

        class Failing:
            def read(self):
                raise failure

        with pytest.raises(OSError) as raised:
            PyReader(Failing())
        assert raised.value is failure
        with pytest.raises(TypeError, match="^'bytes' object cannot be converted to 'PyString'$"):
            PyReader(io.BytesIO(b"a,b"))
        with pytest.raises(TypeError, match="^'NoneType' object cannot"):
            PyReader(File(None))

    def test_every_width_of_str(self):
        text_type = type("Text", (str,), {})
        for text in ("Zürich,x\n" * 3, "Москва,Київ\n" * 3, "東京,yy\n" * 5, "🎉,z,ü,日",
                     "ascii,then,ü" * 4, text_type("a,b"), text_type("é,日")):
            assert all_rows(PyReader(File(text))) == [line.split(",") for line in
                                                      text.splitlines()]
        for text in ("a,\ud800", "日本" * 9 + "\udfff", "🎉\udbff"):
            with pytest.raises(UnicodeEncodeError, match="surrogates not allowed"):
                PyReader(File(text))

    def test_strict_refuses_unequal_records(self):
        with pytest.raises(ValueError, match="^CSV parse error: .*2 fields"):
            reader_of("a,b\nc\n", strict=True)


class TestCursor:
    def test_walk(self):
        reader = reader_of("a,b\nc,d")
        assert (reader.total_rows, reader.line_num) == (2, 0)
        assert reader.to_list() == ["a", "b"]  # before the first step: the first row
        assert iter(reader) is reader
        assert next(reader) is reader and reader.line_num == 1 and reader[1] == "b"
        assert next(reader) is reader and reader.line_num == 2 and reader[0] == "c"
        for _ in range(2):
            with pytest.raises(StopIteration):
                next(reader)
        assert reader.line_num == 2 and reader.to_list() == ["c", "d"]  # the last stays
        assert all_rows(reader_of('"one\ntwo",x\r\nlast')) == [["one\ntwo", "x"], ["last"]]

    @pytest.mark.parametrize("text", ["", "\n\r\n"])
    def test_no_rows(self, text):
        reader = reader_of(text)
        assert reader.total_rows == 0
        assert [row for row in reader] == [] and reader.fetch_many_lists() == []
        reader.set_field_names(["a"])
        # No current row: nothing to read, but an empty iterable all the same.
        assert len(reader) == 0 and not reader and list(reader) == []
        for operation in (lambda: repr(reader), reader.snapshot,
                          reader.keys, reader.items, reader.to_list, lambda: reader[0],
                          lambda: reader.get("a"), lambda: "a" in reader,
                          lambda: reader == [], lambda: reader != []):
            with pytest.raises(IndexError, match="^index out of range$"):
                operation()


class TestBatches:
    def test_sizes_and_cursor(self):
        reader = reader_of("".join(f"{i},x\n" for i in range(2500)))
        first = reader.fetch_many_lists()
        assert len(first) == 1000 and first[0] == ["0", "x"] and reader.line_num == 1000
        assert reader[0] == "0"  # the current row is untouched
        next(reader)
        assert reader[0] == "1000" and reader.line_num == 1001
        assert reader.fetch_many_lists(n=0) == [] and reader.fetch_many_lists(Index(1)) != []
        rest = reader.fetch_many_lists(2**64 - 1)
        assert [row[0] for row in rest] == [str(i) for i in range(1002, 2500)]
        assert reader.line_num == 2500 and reader.fetch_many_lists() == []

    @pytest.mark.parametrize("n, error", [
        (-1, OverflowError), (2**64, OverflowError), (1.5, TypeError), ("3", TypeError),
        (None, TypeError)])
    def test_bad_sizes_change_nothing(self, n, error):
        reader = reader_of("a\nb")
        with pytest.raises(error, match="argument 'n'" if error is TypeError else ""):
            reader.fetch_many_lists(n)
        assert reader.line_num == 0 and all_rows(reader) == [["a"], ["b"]]

    def test_a_failing_batch_changes_nothing(self):
        reader = reader_of("ok\naéb\n", delimiter="é")  # splits the second row's "é"
        with pytest.raises(MemoryError, match="^alloc$"):
            reader.fetch_many_lists()
        next(reader)
        assert reader.line_num == 1 and reader.to_list() == ["ok"]

    def test_collector_state_is_restored(self):
        reader = reader_of("a\n" * 50)
        reader.fetch_many_lists(10)
        assert gc.isenabled()
        gc.disable()
        try:
            reader.fetch_many_lists(10)
            assert not gc.isenabled()
        finally:
            gc.enable()


def test_field_names_apply_to_the_reader_and_later_snapshots_only():
    reader = reader_of("1,2\n3,4")
    next(reader)
    before = reader.snapshot()
    assert reader.set_field_names(["x", "y"]) is None
    assert reader["y"] == "2" and reader.keys() == ["x", "y"]
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


class TestOverlappingCalls:
    """Row operations hold shared use; next, fetch_many_lists and
    set_field_names exclusive use, taken before an argument can run code."""

    @staticmethod
    def recording(callbacks):
        outcomes = []

        def hook():
            for callback in callbacks:
                try:
                    callback()
                    outcomes.append("ran")
                except RuntimeError as error:
                    outcomes.append(str(error))

        return hook, outcomes

    def test_index_hook_during_a_row_operation(self):
        reader = reader_of("a,b\nc,d")
        hook, outcomes = self.recording([
            lambda: next(reader), lambda: reader.fetch_many_lists(1),
            lambda: reader.set_field_names(["x"]), lambda: reader[0], lambda: reader.snapshot()])
        assert reader[Index(1, hook)] == "b"
        assert outcomes == ["Already borrowed"] * 3 + ["ran"] * 2
        assert reader.line_num == 0

    def test_size_hook_during_a_batch(self):
        reader = reader_of("a\nb")
        hook, outcomes = self.recording([
            lambda: reader[0], lambda: reader.total_rows, lambda: reader.snapshot(),
            lambda: next(reader)])
        assert reader.fetch_many_lists(Index(1, hook)) == [["a"]]
        assert outcomes == ["Already mutably borrowed"] * 3 + ["Already borrowed"]

    def test_names_sequence_during_set_field_names(self):
        reader = reader_of("a")
        hook, outcomes = self.recording([reader.keys, lambda: reader.set_field_names([])])

        class Names:
            def __len__(self):
                return 1

            def __getitem__(self, index):
                if index > 0:
                    raise IndexError
                hook()
                return "n"

        reader.set_field_names(Names())
        assert outcomes == ["Already mutably borrowed", "Already borrowed"]
        assert reader.keys() == ["n"]

    def test_a_read_that_reads_with_another_reader(self):
        class Nested:
            def read(self):
                inner = reader_of("inner")
                next(inner)
                return inner[0] + ",outer"

        assert all_rows(PyReader(Nested())) == [["inner", "outer"]]
