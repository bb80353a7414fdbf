"""Hostile objects aimed at one spot each: hooks that raise, call back into
the object in use, drop its last reference or change the container being
read. The library answers with an ordinary exception or the documented
result, and a failed call writes nothing of its own. (test_writer.py,
test_write_csv.py, test_reader.py and test_row.py hold the cases their own
features suggest; these are the ones they leave out.)"""

import gc
import io

import pytest

from brelt._core import PyReader, PyWriter, read_csv, write_csv
from hostile_values import Boom, Calls, HostileDict, HostileStr, Recording


def fail(*_):
    raise Boom("hostile hook")


def reader_of(text, names=None):
    reader = PyReader(io.StringIO(text))
    if names is not None:
        reader.set_field_names(names)
    return reader


class TestWriter:
    def test_a_value_that_calls_back_into_its_writer_fails_the_call(self):
        f = Recording()
        writer = PyWriter(f)
        for call in (lambda: writer.writerow(["x"]), lambda: writer.writerows([["x"]]),
                     writer.__del__):
            with pytest.raises(RuntimeError, match="^Already borrowed$"):
                writer.writerow(["a", Calls(call)])
            with pytest.raises(RuntimeError, match="^Already borrowed$"):
                writer.writerows([["a"], [Calls(call)]])
        writer.writerow(["ok"])
        assert f.calls == ["ok\r\n"]

    @pytest.mark.parametrize("replacement, error", [(5, TypeError), (None, TypeError),
                                                    (HostileDict(a=1), Boom)])
    def test_a_later_row_replaced_while_converting(self, replacement, error):
        rows = []
        rows.extend([["a", Calls(lambda: rows.__setitem__(1, replacement))], ["b"]])
        f = Recording()
        with pytest.raises(error):
            PyWriter(f).writerows(rows)
        assert f.calls == []

    def test_rows_cleared_and_refilled_while_converting(self):
        rows = []

        def swap():
            rows[:] = [["new"]] * 5

        rows.extend([[Calls(swap)], ["old"], ["old"]])
        f = Recording()
        PyWriter(f).writerows(rows)
        # Rows are taken by index, up to the length at the start.
        assert f.calls == ["v\r\nnew\r\nnew\r\n"]

    def test_a_sequence_whose_length_lies(self):
        class Liar:
            def __len__(self):
                return 3

            def __getitem__(self, index):
                if index >= 1:
                    raise IndexError(index)
                return "only"

        f = Recording()
        with pytest.raises(IndexError):
            PyWriter(f).writerow(Liar())
        assert f.calls == []

    def test_a_row_that_holds_itself(self):
        row = ["a"]
        row.append(row)
        f = Recording()
        PyWriter(f).writerows([row])
        assert f.calls == ['a,"[\'a\', [...]]"\r\n']

    def test_write_that_drops_the_last_reference_to_the_writer(self):
        class Holder:
            def write(self, text):
                self.writer = None
                gc.collect()
                self.got = text

        holder = Holder()
        holder.writer = PyWriter(holder)
        holder.writer.writerow(["a", "b"])
        assert holder.got == "a,b\r\n"

    @pytest.mark.parametrize("file_obj, error", [
        (type("NotCallable", (), {"write": 5})(), TypeError),
        (type("Raising", (), {"write": property(fail)})(), Boom),
        (object(), AttributeError),
    ])
    def test_write_that_cannot_be_called(self, file_obj, error):
        writer = PyWriter(file_obj)
        for call in (lambda: writer.writerow(["a"]), lambda: writer.writerows([["a"]]),
                     writer.__del__):
            with pytest.raises(error):
                call()

    def test_text_of_str_subclasses_is_read_without_their_hooks(self):
        f = Recording()
        PyWriter(f, delimiter=HostileStr(";"), lineterminator=HostileStr("\n")).writerow(
            [HostileStr("x"), HostileStr("é")])
        assert f.calls == ["x;é\n"]


class TestWriteCsv:
    def test_a_value_that_empties_its_own_dict(self, tmp_path):
        record = {}
        record.update(a=Calls(record.clear), b=1, c=2)
        path = tmp_path / "out.csv"
        write_csv(str(path), [record, {"a": 3, "b": 4, "c": 5}])
        assert path.read_text() == "a,b,c\nv,,\n3,4,5\n"

    def test_a_value_that_changes_the_first_dicts_keys(self, tmp_path):
        first = {}
        first.update(a=Calls(lambda: first.update(z=9)), b=1)
        path = tmp_path / "out.csv"
        write_csv(str(path), [first])
        assert path.read_text() == "a,b\nv,1\n"

    def test_a_value_that_writes_the_same_file_meanwhile(self, tmp_path):
        path = str(tmp_path / "out.csv")
        inner = lambda: write_csv(path, [{"inner": 1}])  # noqa: E731
        write_csv(path, [{"a": Calls(inner)}, {"a": 2}])
        assert open(path).read().startswith("a\n")

    def test_dict_subclass_hooks_are_never_called(self, tmp_path):
        path = tmp_path / "out.csv"
        write_csv(str(path), [HostileDict(a=1, b=2), HostileDict(b=3)])
        assert path.read_text() == "a,b\n1,2\n,3\n"


class TestReader:
    def test_read_returning_a_str_subclass_with_hooks_that_raise(self):
        class File:
            def read(self):
                return HostileStr("a,b\nc,é\n")

        assert PyReader(File()).fetch_many_lists() == [["a", "b"], ["c", "é"]]

    def test_read_that_is_a_raising_property(self):
        class File:
            @property
            def read(self):
                raise Boom("no read")

        with pytest.raises(Boom):
            PyReader(File())

    def test_keys_and_defaults_are_used_without_their_hooks(self):
        reader = reader_of("1,2\n", ["a", "b"])
        row = reader.snapshot()
        fallback = HostileDict()
        for target in (reader, row):
            assert target[HostileStr("b")] == "2"
            assert HostileStr("a") in target
            assert target.get(HostileStr("z"), fallback) is fallback
            assert target == [HostileStr("1"), HostileStr("2")]
        reader.set_field_names([HostileStr("x"), HostileStr("y")])
        assert reader["y"] == "2"

    @pytest.mark.parametrize("index, error", [
        (type("NotInt", (), {"__index__": lambda self: "1"})(), TypeError),
        (type("Raising", (), {"__index__": fail})(), Boom),
    ])
    def test_index_hooks_that_misbehave(self, index, error):
        reader = reader_of("a\nb\n")
        with pytest.raises(error):
            reader.fetch_many_lists(index)
        assert reader.line_num == 0

    def test_rows_and_iterators_outlive_their_reader(self):
        reader = reader_of("a,b\n", ["x", "y"])
        row = reader.snapshot()
        fields = iter(row)
        reader.set_field_names(["p", "q"])
        del reader, row
        gc.collect()
        assert list(fields) == ["a", "b"]


class TestReadCsv:
    def test_hooks_of_str_subclass_arguments_are_not_called(self, write_file):
        path = write_file("a,b\n1,NA\n")
        got = read_csv(path, schema={HostileStr("a"): str}, columns=[HostileStr("a"), "b"],
                       null_values=[HostileStr("NA")], encoding=HostileStr("utf-8"),
                       delimiter=HostileStr(","))
        assert got == [{"a": "1", "b": None}]

    def test_a_schema_value_whose_name_lookup_raises_must_be_a_str(self, write_file):
        class Nameless:
            @property
            def __name__(self):
                raise Boom("name")

        with pytest.raises(TypeError, match="a type must be a class or str"):
            read_csv(write_file("a\n1\n"), schema={"a": Nameless()})

    def test_an_index_hook_that_reads_too(self, write_file):
        path = write_file("a\n1\n2\n3\n")

        class Nested:
            def __index__(self):
                return len(read_csv(path))

        assert read_csv(path, skip_rows=Nested(), max_rows=Nested()) == []
        assert read_csv(path, max_rows=Nested(), n_threads=Nested()) == [
            {"a": 1}, {"a": 2}, {"a": 3}]


class TestRecursion:
    """Hooks that recurse through the library end in RecursionError, not in a
    stack overflow."""

    def test_values_whose_str_writes_again(self):
        class Deep:
            def __str__(self):
                PyWriter(Recording()).writerows([["a", Deep()]])
                return "x"

        with pytest.raises(RecursionError):
            PyWriter(Recording()).writerow([Deep()])

    def test_files_whose_read_reads_again(self):
        class Deep:
            def read(self):
                PyReader(Deep())
                return "a"

        with pytest.raises(RecursionError):
            PyReader(Deep())
