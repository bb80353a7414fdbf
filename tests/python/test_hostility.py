"""Hostile callers. Random arguments of every type, in every position and by
keyword, for every function, constructor and method, including values whose
hooks raise, call back into the object under test or empty the containers
they came in: each call returns or raises an ordinary exception (never an
internal error), and the object stays usable. Then hooks aimed at one spot
each: the library answers with an ordinary exception or the documented
result, and a failed call writes nothing of its own."""

import copy
import gc
import io
import os
import pickle

import pytest
from hypothesis import given, settings, strategies as st

import brelt
from brelt._core import (PyReader, PyWriter, Row, RowIterator, Writer, iter_csv, read_csv,
                         sniff_delimiter, write_csv)
from hostile_values import (Arena, Boom, Calls, HostileDict, HostileStr, Index, Recording,
                            collect_containers, values)

# BRELT_HOSTILE_EXAMPLES runs longer sessions than make test's.
EXAMPLES = settings(max_examples=int(os.environ.get("BRELT_HOSTILE_EXAMPLES", "40")))


@pytest.fixture(scope="module", autouse=True)
def scratch(tmp_path_factory):
    """Runs in a directory of its own, where random paths stay, with the
    worker pool already sized (no random n_threads can ask for a big one)."""
    previous = os.getcwd()
    os.chdir(tmp_path_factory.mktemp("hostile"))
    for name, text in (("sample.csv", b"a,b,c\n1,2.5,x\n3,,yes\n"),
                       ("wide.csv", b"a,b\n" + b"1,x\n" * 600),
                       ("utf16.csv", "a;b\n1;2\n".encode("utf-16"))):
        with open(name, "wb") as f:
            f.write(text)
    os.mkdir("folder")
    read_csv("wide.csv", n_threads=2)
    yield
    os.chdir(previous)


def call(data, function, names, plausible, required=0):
    """Calls function with random arguments (a random set of the parameters
    gets values of any kind, the others values it could use; the required
    ones always, by position or keyword; one call in eight has a surplus,
    unknown or twice-given argument) and returns its result or exception;
    fails on an internal error."""
    wild = data.draw(st.sets(st.sampled_from(names)) if names else st.just(set()), label="wild")

    def value(name):
        if name in wild or not plausible.get(name):
            drawn = data.draw(values, label=name)  # a str path stays in the directory
            return drawn.replace("/", "_") if name == "path" and isinstance(drawn, str) else drawn
        # A copy: hostile hooks may empty the containers of the call.
        return copy.deepcopy(data.draw(st.sampled_from(plausible[name]), label=name))

    positional = data.draw(st.integers(required, len(names)), label="positional")
    args = [value(name) for name in names[:positional]]
    kwargs = {name: value(name) for name in names[positional:]
              if names.index(name) < required or data.draw(st.booleans())}
    shape = data.draw(st.sampled_from(["right"] * 7 + ["surplus", "unknown", "twice"]))
    if shape == "surplus":
        args, kwargs = args + [None] * (len(names) - len(args)) + [data.draw(values)], {}
    elif shape == "unknown":
        kwargs["bogus"] = None
    elif shape == "twice" and args:
        kwargs[names[0]] = args[0]
    collect_containers((args, kwargs))
    try:
        outcome = function(*args, **kwargs)
    except SystemError as error:
        raise AssertionError(f"internal error from {function}: {error!r}") from error
    except Exception as error:  # an ordinary failure is an answer
        outcome = error
    assert Arena.internal_errors == [], Arena.internal_errors
    return outcome


READ_CSV = {
    "path": ["sample.csv", "wide.csv", "utf16.csv", "folder", "missing.csv", "a\0b", ""],
    "delimiter": [",", ";", "é", "", None], "has_header": [True, False],
    "schema": [{"a": int}, {"a": "float", "b": str, "c": "bool"}, {}, None],
    "skip_rows": [0, 1, 2**64 - 1], "max_rows": [None, 0, 1], "columns": [["a"], ("c", "a"), []],
    "null_values": [["x"], [], None], "encoding": [None, "latin1", "utf-16le", "bogus"],
    "strict": [True, False], "n_threads": [None, 0, 1, 2],
}
WRITE_CSV = {
    "path": ["out.csv", "out.csv.gz", "/dev/full", "folder", "missing/out.csv", "a\0b", ""],
    "data": [[{"a": 1, "b": "x,y"}], [], [{"a": 1}, 5], [{1: 2}], [{"a": "=1"}] * 3],
    "delimiter": [",", ";", "", "é"], "safe": [True, False], "strict": [True, False],
}
READER = {
    "file_obj": [io.StringIO("a,b\n1,2\n3\n"), io.StringIO(""), io.StringIO("é;日\n\"q\"\"\",x")],
    "delimiter": [",", ";", "", "é"], "quotechar": ['"', "'", ""], "strict": [True, False],
    "safe": [True, False],
}
WRITER = {
    "file_obj": [io.StringIO()], "delimiter": [",", ";", "", "é", "\n"],
    "quotechar": ['"', "'", "", ","], "quoting": [0, 1, 2, 3, 4, -1, 2**32, 2**63],
    "lineterminator": ["\r\n", "\n", "", "é"], "safe": [True, False],
}

FUNCTIONS = {  # name: (function, its parameters' plausible values, required count)
    "read_csv": (read_csv, READ_CSV, 1),
    "iter_csv": (lambda *a, **k: list(iter_csv(*a, **k)),
                 {**READ_CSV, "batch_rows": [1, 3, 10_000, 0]}, 1),
    "sniff_delimiter": (sniff_delimiter, {"path": READ_CSV["path"]}, 1),
    "write_csv": (write_csv, WRITE_CSV, 2),
    "PyReader": (PyReader, READER, 1),
    "PyWriter": (PyWriter, WRITER, 1),
    "writer": (brelt.writer, {"f": [io.StringIO()], "dialect": [None, "unix"],
                              "quoting": [0, 3], "safe": [True]}, 1),
    "reader": (brelt.reader, {"csvfile": [["a,b", "1"]], "dialect": [None, "excel-tab"],
                              "strict": [True]}, 1),
}


@pytest.mark.parametrize("name", FUNCTIONS)
@EXAMPLES
@given(data=st.data())
def test_functions_and_constructors(name, data):
    function, plausible, required = FUNCTIONS[name]
    Arena.reset()
    made = call(data, function, list(plausible), plausible, required)
    if isinstance(made, (PyReader, PyWriter, Writer)):  # usable, or fails in an ordinary way
        Arena.reset(made)
        reading = isinstance(made, PyReader)
        call(data, made.fetch_many_lists if reading else made.writerow, ["n" if reading else "row"], {})


# Each method with its parameters and the values it could use. Dunder entries
# take their operand as one positional argument.
ROW_METHODS = {
    "get": (["key", "default"], {"key": ["a", "b", "z", ""], "default": [None, 0]}),
    "to_list": ([], {}), "keys": ([], {}), "values": ([], {}), "items": ([], {}),
    "__getitem__": (["idx"], {"idx": [0, 1, -1, -4, 3, 2**63, "a", "z"]}),
    "__contains__": (["key"], {"key": ["a", "z"]}),
    "__eq__": (["other"], {"other": [["1", "2", "3"], ["1"], [], "x"]}),
    "__ne__": (["other"], {"other": [["1", "2", "3"], []]}), "__lt__": (["other"], {}),
    "__len__": ([], {}), "__repr__": ([], {}), "__iter__": ([], {}),
}
READER_METHODS = dict(ROW_METHODS, snapshot=([], {}), __next__=([], {}),
                      fetch_many_lists=(["n"], {"n": [0, 1, 1000, 2**64 - 1]}),
                      set_field_names=(["names"], {"names": [["x", "y"], ("a", "a"), [], ["é"]]}))
CSV_WRITER_METHODS = {
    "writerow": (["row"], {"row": [["a", 1, None], ("x",), [], "abc", ["=1", "b,c"]]}),
    "writerows": (["rows"], {"rows": [[["a", 1]], [], [["x"], ("y", 2)], [["é"]] * 3]}),
}


def fresh_reader(names=None, text="a,b,c\n1,2,3\n4,5\n"):
    reader = PyReader(io.StringIO(text))
    if names is not None:
        reader.set_field_names(names)
    return reader


def last_call_works(target):
    """No call leaves the object marked in use."""
    if isinstance(target, PyReader):
        target.fetch_many_lists()
        return target.total_rows == target.line_num == 3
    if isinstance(target, Row):
        return target.to_list() == ["a", "b", "c"]
    target.writerow(["last"])
    return True


OBJECTS = {  # name: (make the object, its methods)
    "PyReader": (lambda: fresh_reader(), READER_METHODS),
    "PyReader named": (lambda: fresh_reader(["a", "b", "c"]), READER_METHODS),
    "Row": (lambda: fresh_reader().snapshot(), ROW_METHODS),
    "Row named": (lambda: fresh_reader(["a", "b", "c"]).snapshot(), ROW_METHODS),
    "PyWriter": (lambda: PyWriter(io.StringIO()), dict(CSV_WRITER_METHODS, __del__=([], {}))),
    "writer": (lambda: brelt.writer(io.StringIO(), quoting=3, escapechar="\\"),
               CSV_WRITER_METHODS),
    "writer non-ASCII": (lambda: brelt.writer(io.StringIO(), delimiter="é", quoting=2),
                         CSV_WRITER_METHODS),
}


@pytest.mark.parametrize("name", OBJECTS)
@EXAMPLES
@given(data=st.data())
def test_methods(name, data):
    make, methods = OBJECTS[name]
    target = make()
    for _ in range(data.draw(st.integers(1, 3), label="calls")):
        method = data.draw(st.sampled_from(sorted(methods)), label="method")
        names, plausible = methods[method]
        # Every parameter is required but get's default and fetch_many_lists's n.
        required = {"get": 1, "fetch_many_lists": 0}.get(method, len(names))
        Arena.reset(target)
        outcome = call(data, getattr(target, method), names, plausible, required)
        if method == "__iter__" and not isinstance(outcome, Exception):
            list(outcome)
    Arena.reset()
    assert last_call_works(target)


def test_objects_refuse_other_kinds_copies_and_construction():
    reader = fresh_reader(["a"])
    row = reader.snapshot()
    objects = [reader, PyWriter(io.StringIO()), row, iter(row), brelt.writer(io.StringIO())]
    for cls in (PyReader, PyWriter, Row, RowIterator, Writer):
        own = [name for name in vars(cls) if callable(getattr(cls, name))]
        assert own
        for name in own:
            for other in objects + [5, None, "a,b"]:
                if not isinstance(other, cls):
                    with pytest.raises(TypeError):
                        getattr(cls, name)(other)
    for obj in objects:
        for copy_with in (copy.copy, copy.deepcopy, pickle.dumps):
            with pytest.raises(TypeError):
                copy_with(obj)
    for cls in (Row, RowIterator):
        for args, kwargs in (((), {}), ((1,), {}), ((), {"x": 1})):
            with pytest.raises(TypeError):
                cls(*args, **kwargs)


# Aimed at one spot.

def fail(*_):
    raise Boom("hostile hook")


# PyWriter's failed call writes nothing; writer's writes the rows before the
# failure, as the csv module's does.
@pytest.mark.parametrize("make, before", [(PyWriter, ""), (brelt.writer, "a\r\n" * 2)])
def test_writer_callbacks(make, before):
    f = Recording()
    writer = make(f)
    # A value that calls back into its writer fails the call.
    for callback in (lambda: writer.writerow(["x"]), lambda: writer.writerows([["x"]])):
        with pytest.raises(RuntimeError, match="^Already borrowed$"):
            writer.writerow(["a", Calls(callback)])
        with pytest.raises(RuntimeError, match="^Already borrowed$"):
            writer.writerows([["a"], [Calls(callback)]])
    row = ["a"]
    row.append(row)
    writer.writerow(row)
    writer.writerow([HostileStr("x"), HostileStr("é")])  # read without their hooks
    assert "".join(f.calls) == before + "a,\"['a', [...]]\"\r\n" "x,é\r\n"

    class Holder:  # its write drops the last reference to the writer
        def write(self, text):
            self.writer = None
            gc.collect()
            self.got = text

    holder = Holder()
    holder.writer = make(holder)
    holder.writer.writerow(["a", "b"])
    assert holder.got == "a,b\r\n"


def test_pywriter_rows_changed_while_converting():
    f = Recording()
    writer = PyWriter(f)
    # Rows are taken by index up to the length at the start; one replaced
    # meanwhile by a non-row fails the call.
    rows = []
    rows.extend([[Calls(lambda: rows.__setitem__(slice(None), [["new"]] * 5))], ["old"], ["old"]])
    writer.writerows(rows)
    for replacement, error in ((5, TypeError), (HostileDict(a=1), (Boom, TypeError))):
        rows = []
        rows.extend([["a", Calls(lambda: rows.__setitem__(1, replacement))], ["b"]])
        with pytest.raises(error):
            writer.writerows(rows)
    assert f.calls == ["v\r\nnew\r\nnew\r\n"]


def test_pywriter_settings_and_files_with_hooks():
    f = Recording()
    PyWriter(f, delimiter=HostileStr(";"), lineterminator=HostileStr("\n")).writerow(["x", "y"])
    assert f.calls == ["x;y\n"]
    for file_obj, error in ((type("NotCallable", (), {"write": 5})(), TypeError),
                            (type("Raising", (), {"write": property(fail)})(), Boom)):
        writer = PyWriter(file_obj)
        for method in (lambda: writer.writerow(["a"]), lambda: writer.writerows([["a"]]),
                       writer.__del__):
            with pytest.raises(error):
                method()


def test_write_csv_values_that_change_their_data(tmp_path):
    path = tmp_path / "out.csv"
    record, first = {}, {}
    record.update(a=Calls(record.clear), b=1, c=2)  # empties its own dict
    first.update(a=Calls(lambda: first.update(z=9)), b=1)  # adds a key to the header's dict
    write_csv(str(path), [first, record, HostileDict(b=3)])  # whose hooks are never called
    assert path.read_text() == "a,b\nv,1\nv,\n,3\n"
    inner = Calls(lambda: write_csv(str(path), [{"inner": 1}]))  # writes the same file meanwhile
    write_csv(str(path), [{"a": inner}, {"a": 2}])
    assert path.read_text().startswith("a\n")
    data = []  # the rows are those the list holds at the start, while they last
    data.extend([{"a": Calls(lambda: data.__delitem__(slice(1, None)), "s")}, {"a": "gone"}])
    write_csv(str(path), data)
    assert path.read_text() == "a\ns\n"
    data = []
    data.extend([{"a": Calls(lambda: data.append({"a": "late"}), "g")}, {"a": "b"}])
    write_csv(str(path), data)
    assert path.read_text() == "a\ng\nb\n"


def test_readers_use_arguments_without_their_hooks(tmp_path):
    class File:
        def read(self):
            return HostileStr("a,b\nc,é\n")

    assert PyReader(File()).fetch_many_lists() == [["a", "b"], ["c", "é"]]
    with pytest.raises(Boom):
        PyReader(type("Raising", (), {"read": property(fail)})())
    reader = fresh_reader(["a", "b"], "1,2\n")
    row = reader.snapshot()
    fallback = HostileDict()
    for target in (reader, row):
        assert target[HostileStr("b")] == "2" and HostileStr("a") in target
        assert target.get(HostileStr("z"), fallback) is fallback
        assert target == [HostileStr("1"), HostileStr("2")]
    fields = iter(row)
    reader.set_field_names([HostileStr("x"), HostileStr("y")])
    assert reader["y"] == "2"
    del reader, row  # rows and iterators outlive their reader
    gc.collect()
    assert list(fields) == ["1", "2"]
    path = tmp_path / "in.csv"
    path.write_text("a,b\n1,NA\n")
    assert read_csv(str(path), schema={HostileStr("a"): str}, columns=[HostileStr("a"), "b"],
                    null_values=[HostileStr("NA")], encoding=HostileStr("utf-8"),
                    delimiter=HostileStr(",")) == [{"a": "1", "b": None}]
    with pytest.raises(TypeError, match="a type must be a class or str"):
        read_csv(str(path), schema={"a": type("Nameless", (), {"__name__": property(fail)})()})


def test_index_hooks_that_misbehave_or_read_too(tmp_path):
    reader = fresh_reader()
    for index, error in ((Index("1"), TypeError), (Index(0, fail), Boom)):
        with pytest.raises(error):
            reader.fetch_many_lists(index)
    assert reader.line_num == 0
    path = tmp_path / "in.csv"
    path.write_text("a\n1\n2\n3\n")
    nested = type("Nested", (), {"__index__": lambda self: len(read_csv(str(path)))})()
    assert read_csv(str(path), skip_rows=nested, max_rows=nested) == []
    assert len(read_csv(str(path), max_rows=nested, n_threads=nested)) == 3


def test_hooks_that_recurse_end_in_recursion_error():
    class DeepValue:
        def __str__(self):
            PyWriter(Recording()).writerows([["a", DeepValue()]])
            return "x"

    class DeepFile:
        def read(self):
            PyReader(DeepFile())
            return "a"

    with pytest.raises(RecursionError):
        PyWriter(Recording()).writerow([DeepValue()])
    with pytest.raises(RecursionError):
        PyReader(DeepFile())
