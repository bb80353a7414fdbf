"""PyReader: settings, reading the file object, the cursor, batches, column
names, row operations on the current row, and calls that overlap."""

import gc
import io

import pytest

from brelt._core import PyReader, Row


def reader_of(text, **settings):
    return PyReader(io.StringIO(text), **settings)


def all_rows(reader):
    return reader.fetch_many_lists(10**9)


class Index:
    def __init__(self, value, hook=None):
        self.value = value
        self.hook = hook

    def __index__(self):
        if self.hook is not None:
            self.hook()
        return self.value


class TestSettings:
    @pytest.mark.parametrize("settings, rows", [
        ({}, [["a", "b;c", "d\te"]]),
        ({"delimiter": ""}, [["a", "b;c", "d\te"]]),
        ({"delimiter": ";;"}, [["a,b", "c,d\te"]]),
        ({"delimiter": "\t"}, [["a,b;c,d", "e"]]),
        ({"quotechar": "'"}, [["a", "b;c", "d\te"]]),
        ({"strict": True, "safe": True}, [["a", "b;c", "d\te"]]),
    ])
    def test_dialect(self, settings, rows):
        assert all_rows(reader_of("a,b;c,d\te\n", **settings)) == rows

    def test_quote_is_always_double(self):
        assert all_rows(reader_of("'a,b',\"c,d\"", quotechar="'")) == [["'a", "b'", "c,d"]]

    def test_positional_settings(self):
        assert all_rows(PyReader(io.StringIO("a;b"), ";", '"', False, False)) == [["a", "b"]]

    @pytest.mark.parametrize("settings, name", [
        ({"strict": 1}, "strict"),
        ({"safe": None}, "safe"),
        ({"delimiter": b","}, "delimiter"),
        ({"quotechar": 0}, "quotechar"),
        ({"other": 1}, "other"),
    ])
    def test_bad_settings_are_named_and_read_nothing(self, settings, name):
        class Unread(io.StringIO):
            def read(self, *args):
                raise AssertionError("read before the settings were checked")

        with pytest.raises(TypeError, match=name):
            PyReader(Unread("a"), **settings)

    def test_class_shape(self):
        assert PyReader.__module__ == "builtins"
        assert PyReader.__text_signature__ == \
            '(file_obj, delimiter=",", quotechar="\\"", strict=False, safe=False)'
        assert PyReader.snapshot.__doc__ == "Snapshot current row as standalone Row object."
        assert PyReader.fetch_many_lists.__text_signature__ == "($self, n=1000)"
        assert PyReader.fetch_many_lists.__doc__ == \
            "Batch as list[list[str]] via raw FFI — for DictReader fallback."
        assert PyReader.set_field_names.__text_signature__ == "($self, names)"
        reader = reader_of("a")
        assert not hasattr(reader, "__dict__")
        with pytest.raises(TypeError):
            hash(reader)
        with pytest.raises(TypeError):
            type("Sub", (PyReader,), {})
        for name in ("total_rows", "line_num"):
            with pytest.raises(AttributeError):
                setattr(reader, name, 5)


class TestFileObject:
    def test_read_is_called_once_without_arguments(self):
        calls = []

        class File:
            def read(self, *args, **kwargs):
                calls.append((args, kwargs))
                return "x,y\n"

        assert all_rows(PyReader(File())) == [["x", "y"]]
        assert calls == [((), {})]

    def test_read_failures_propagate_unchanged(self):
        failure = OSError("disk gone")

        class File:
            def read(self):
                raise failure

        with pytest.raises(OSError) as raised:
            PyReader(File())
        assert raised.value is failure
        with pytest.raises(AttributeError):
            PyReader(object())

    @pytest.mark.parametrize("file_obj, type_name", [
        (io.BytesIO(b"a,b"), "bytes"),
        (type("F", (), {"read": lambda self: None})(), "NoneType"),
    ])
    def test_read_must_give_str(self, file_obj, type_name):
        with pytest.raises(TypeError,
                           match=f"^'{type_name}' object cannot be converted to 'PyString'$"):
            PyReader(file_obj)

    def test_str_subclass_and_unencodable_text(self):
        class Text(str):
            pass

        class File:
            def __init__(self, text):
                self.text = text

            def read(self):
                return self.text

        assert all_rows(PyReader(File(Text("a,b")))) == [["a", "b"]]
        assert all_rows(PyReader(File(Text("é,日")))) == [["é", "日"]]
        # Each character width of str, with runs longer and shorter than 8.
        for text in ("Zürich,x\n" * 3, "東京,yy\n" * 5, "🎉,z,ü,日", "ascii,then,ü" * 4):
            assert all_rows(PyReader(File(text))) == [line.split(",") for line in text.splitlines()]
        for text in ("a,\ud800", "日本" * 9 + "\udfff", "🎉\udbff"):
            with pytest.raises(UnicodeEncodeError, match="surrogates not allowed"):
                PyReader(File(text))

    def test_strict_refuses_unequal_records(self):
        with pytest.raises(ValueError, match="^CSV parse error: .*2 fields"):
            reader_of("a,b\nc\n", strict=True)
        assert all_rows(reader_of("a,b\nc\n")) == [["a", "b"], ["c"]]

    def test_a_read_that_reads_with_another_reader(self):
        class File:
            def read(self):
                inner = reader_of("inner")
                next(inner)
                return inner[0] + ",outer"

        assert all_rows(PyReader(File())) == [["inner", "outer"]]


class TestCursor:
    def test_walk(self):
        reader = reader_of("a,b\nc,d")
        assert (reader.total_rows, reader.line_num) == (2, 0)
        # Before the first step the row operations read the first row.
        assert reader.to_list() == ["a", "b"]
        assert iter(reader) is reader
        assert next(reader) is reader and reader.line_num == 1 and reader[1] == "b"
        assert next(reader) is reader and reader.line_num == 2 and reader[0] == "c"
        for _ in range(2):
            with pytest.raises(StopIteration):
                next(reader)
        # Exhausted: the last row stays current.
        assert reader.line_num == 2 and reader.to_list() == ["c", "d"]

    def test_quoted_line_break_stays_in_one_row(self):
        reader = reader_of('"one\ntwo",x\r\nlast')
        assert reader.total_rows == 2
        assert all_rows(reader) == [["one\ntwo", "x"], ["last"]]

    @pytest.mark.parametrize("text", ["", "\n\r\n"])
    def test_no_rows(self, text):
        reader = reader_of(text)
        assert reader.total_rows == 0
        assert [row for row in reader] == [] and reader.fetch_many_lists() == []
        assert reader.line_num == 0
        # list() asks len() for a size hint, and len() is a row operation.
        with pytest.raises(IndexError):
            list(reader)
        reader.set_field_names(["a"])
        operations = [len, repr, reader.snapshot, reader.keys, reader.values, reader.items,
                      reader.to_list, lambda: reader[0], lambda: reader.get("a"),
                      lambda: "a" in reader, lambda: reader == [], lambda: reader != []]
        for operation in operations:
            with pytest.raises(IndexError, match="^index out of range$"):
                operation(reader) if operation in (len, repr) else operation()


class TestBatches:
    def test_default_size_and_continuation(self):
        reader = reader_of("".join(f"{i},x\n" for i in range(2500)))
        first = reader.fetch_many_lists()
        assert len(first) == 1000 and first[0] == ["0", "x"] and reader.line_num == 1000
        # The current row is untouched by batches; the cursor continues after them.
        assert reader[0] == "0"
        next(reader)
        assert reader[0] == "1000" and reader.line_num == 1001
        assert reader.fetch_many_lists(n=0) == []
        rest = reader.fetch_many_lists(2**64 - 1)
        assert [row[0] for row in rest] == [str(i) for i in range(1001, 2500)]
        assert reader.line_num == 2500 and reader.fetch_many_lists() == []

    def test_collector_state_is_restored(self):
        reader = reader_of("a\n" * 5000)
        assert gc.isenabled()
        reader.fetch_many_lists(10)
        assert gc.isenabled()
        gc.disable()
        try:
            reader.fetch_many_lists(10)
            assert not gc.isenabled()
            with pytest.raises(OverflowError):
                reader.fetch_many_lists(-1)
            assert not gc.isenabled()
        finally:
            gc.enable()

    def test_rows_are_independent_lists(self):
        rows = all_rows(reader_of("a,b\na,b"))
        assert rows == [["a", "b"], ["a", "b"]] and rows[0] is not rows[1]
        rows[0].append("c")
        assert rows[1] == ["a", "b"]

    @pytest.mark.parametrize("n, error, match", [
        (-1, OverflowError, ""),
        (2**64, OverflowError, ""),
        (1.5, TypeError, "argument 'n'"),
        ("3", TypeError, "argument 'n'"),
        (None, TypeError, "argument 'n'"),
    ])
    def test_bad_sizes(self, n, error, match):
        reader = reader_of("a\nb")
        with pytest.raises(error, match=match):
            reader.fetch_many_lists(n)
        assert reader.line_num == 0 and all_rows(reader) == [["a"], ["b"]]

    def test_index_like_size(self):
        assert reader_of("a\nb\nc").fetch_many_lists(Index(2)) == [["a"], ["b"]]
        assert reader_of("a\nb\nc").fetch_many_lists(True) == [["a"]]

    def test_a_failing_batch_changes_nothing(self):
        # "é" as delimiter splits the UTF-8 of "é" inside the second row.
        reader = reader_of("ok\naéb\n", delimiter="é")
        with pytest.raises(MemoryError, match="^alloc$"):
            reader.fetch_many_lists()
        assert reader.line_num == 0
        next(reader)
        assert reader.to_list() == ["ok"] and reader.line_num == 1
        with pytest.raises(MemoryError, match="^alloc$"):
            reader.fetch_many_lists()
        assert reader.line_num == 1 and reader.to_list() == ["ok"]


class TestFieldNames:
    def test_names_apply_to_the_reader_and_later_snapshots_only(self):
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
        assert reader.total_rows == 2 and reader.line_num == 2

    def test_names_may_be_empty_again(self):
        reader = reader_of("1")
        reader.set_field_names(["a"])
        reader.set_field_names([])
        with pytest.raises(AttributeError):
            reader.keys()

    @pytest.mark.parametrize("names, match", [
        ("ab", "Can't extract `str` to `Vec`"),
        (["a", 1], "item 1 must be str"),
        (5, "names"),
    ])
    def test_names_must_be_a_sequence_of_str(self, names, match):
        reader = reader_of("1")
        with pytest.raises(TypeError, match=match):
            reader.set_field_names(names)
        with pytest.raises(AttributeError):
            reader.keys()


class TestRowOperations:
    """Row's behaviour on the current row, with the reader's own wording."""

    def test_same_answers_as_a_snapshot(self):
        reader = reader_of("1,2,3\n")
        reader.set_field_names(["a", "b", "a"])
        snapshot = reader.snapshot()
        assert type(snapshot) is Row
        for ask in (len, repr, lambda r: r[-1], lambda r: r["a"], lambda r: r.get("b"),
                    lambda r: r.get("z", 0), lambda r: "b" in r, lambda r: r.keys(),
                    lambda r: r.values(), lambda r: r.items(), lambda r: r.to_list(),
                    lambda r: r == ["1", "2", "3"], lambda r: r != ["1", "2", "3"]):
            assert ask(reader) == ask(snapshot)

    def test_reader_wording(self):
        reader = reader_of("aéb", delimiter="é")
        with pytest.raises(TypeError, match=r"^argument 'idx': failed to extract enum "
                                            r"FieldIndex \('Int \| Str'\)\n- variant Int"):
            reader[None]
        for failing in (lambda: reader[1], reader.to_list, reader.values):
            with pytest.raises(MemoryError, match="^alloc$"):
                failing()
        assert reader == ["a", "\ufffdb"]

    def test_no_iteration_over_fields(self):
        reader = reader_of("a,b\nc")
        assert [r.to_list() for r in reader] == [["a", "b"], ["c"]]

    def test_ordering_and_equality(self):
        reader = reader_of("a")
        assert reader == ["a"] and not reader == ("a",) and not reader == reader
        with pytest.raises(TypeError):
            reader < ["a"]


class TestOverlappingCalls:
    """Row operations hold shared use, next/fetch_many_lists/set_field_names
    exclusive use, taken before any argument can run Python code."""

    def refusals(self, reader, callbacks):
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
        hook, outcomes = self.refusals(reader, [
            lambda: next(reader), lambda: reader.fetch_many_lists(1),
            lambda: reader.set_field_names(["x"]), lambda: reader[0],
            lambda: reader.line_num, lambda: reader.snapshot()])
        assert reader[Index(1, hook)] == "b"
        assert outcomes == ["Already borrowed"] * 3 + ["ran"] * 3
        assert reader.line_num == 0 and reader.total_rows == 2

    def test_size_hook_during_a_batch(self):
        reader = reader_of("a\nb")
        hook, outcomes = self.refusals(reader, [
            lambda: reader[0], lambda: reader.total_rows, lambda: reader.snapshot(),
            lambda: len(reader), lambda: next(reader)])
        assert reader.fetch_many_lists(Index(1, hook)) == [["a"]]
        assert outcomes == ["Already mutably borrowed"] * 4 + ["Already borrowed"]
        assert reader.line_num == 1

    def test_names_sequence_during_set_field_names(self):
        reader = reader_of("a")
        outcomes = []

        class Names:
            def __len__(self):
                return 1

            def __getitem__(self, index):
                if index > 0:
                    raise IndexError
                for callback in (reader.keys, lambda: reader.set_field_names([])):
                    try:
                        callback()
                    except RuntimeError as error:
                        outcomes.append(str(error))
                return "n"

        reader.set_field_names(Names())
        assert outcomes == ["Already mutably borrowed", "Already borrowed"]
        assert reader.keys() == ["n"]
