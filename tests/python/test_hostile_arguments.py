"""Random arguments of every type, in every position and by keyword, for every
function, constructor and method of brelt._core, including values whose hooks
raise, call back into the object under test or empty the containers they came
in. Each call returns or raises an ordinary exception: never a crash, never an
internal error (SystemError), and the object stays usable afterwards."""

import copy
import io
import os
import pickle

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import brelt
from brelt._core import (PyReader, PyWriter, Row, RowIterator, Writer, iter_csv, read_csv,
                         sniff_delimiter, write_csv)
from hostile_values import Arena, collect_containers, values

# BRELT_HOSTILE_EXAMPLES runs longer sessions than CI's.
EXAMPLES = settings(max_examples=int(os.environ.get("BRELT_HOSTILE_EXAMPLES", "150")),
                    deadline=None,
                    suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])


@pytest.fixture(scope="module", autouse=True)
def scratch(tmp_path_factory):
    """Runs the module in its own directory, so random relative paths stay
    there, with the worker pool already sized, so no random n_threads can ask
    for a big one (only the first request counts)."""
    directory = tmp_path_factory.mktemp("hostile")
    previous = os.getcwd()
    os.chdir(directory)
    with open("sample.csv", "w") as f:
        f.write("a,b,c\n1,2.5,x\n3,,yes\n")
    with open("wide.csv", "w") as f:
        f.write("a,b\n" + "1,x\n" * 600)
    with open("utf16.csv", "wb") as f:
        f.write("a;b\n1;2\n".encode("utf-16"))
    os.mkdir("folder")
    read_csv("wide.csv", n_threads=2)
    yield directory
    os.chdir(previous)


def local(path):
    """A random str path kept inside the scratch directory."""
    return path.replace("/", "_") if isinstance(path, str) else path


def call(data, function, names, plausible, required=0, local_paths=()):
    """Calls function with random arguments and returns its result or the
    exception it raised; fails on an internal error. A random set of the
    parameters gets values of any kind, the others values the callee could
    use; the required ones are always passed, positionally or by keyword.
    One call in eight has a wrong shape: one argument too many, an unknown
    keyword or a parameter given twice."""
    wild = data.draw(st.sets(st.sampled_from(names)) if names else st.just(set()), label="wild")

    def value(name):
        choices = plausible.get(name, ())
        if name in wild or not choices:
            return data.draw(values, label=name)
        # A copy: hostile hooks may empty the containers of the call.
        return copy.deepcopy(data.draw(st.sampled_from(choices), label=name))

    positional = data.draw(st.integers(required, len(names)), label="positional")
    args = [value(name) for name in names[:positional]]
    kwargs = {name: value(name) for name in names[positional:]
              if names.index(name) < required or data.draw(st.booleans())}
    shape = data.draw(st.sampled_from(["right"] * 7 + ["surplus", "unknown", "twice"]),
                      label="shape")
    if shape == "surplus":
        args += [None] * (len(names) - len(args)) + [data.draw(values, label="surplus")]
        kwargs = {}
    elif shape == "unknown":
        kwargs["bogus"] = None
    elif shape == "twice" and args:
        kwargs[names[0]] = args[0]
    for index, name in enumerate(names):
        if name in local_paths:
            if index < len(args):
                args[index] = local(args[index])
            elif name in kwargs:
                kwargs[name] = local(kwargs[name])
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
    "delimiter": [",", ";", "é", "", None],
    "has_header": [True, False],
    "schema": [{"a": int}, {"a": "float", "b": str, "c": "bool"}, {}, None],
    "skip_rows": [0, 1, 2**64 - 1],
    "max_rows": [None, 0, 1],
    "columns": [["a"], ("c", "a"), [], None],
    "null_values": [["x"], [], None],
    "encoding": [None, "latin1", "utf-16le", "bogus"],
    "strict": [True, False],
    "n_threads": [None, 0, 1, 2],
}


@EXAMPLES
@given(st.data())
def test_read_csv(data):
    Arena.reset()
    outcome = call(data, read_csv, list(READ_CSV), READ_CSV, 1, {"path"})
    assert isinstance(outcome, (list, Exception))


def read_batches(*args, **kwargs):
    return list(iter_csv(*args, **kwargs))


@EXAMPLES
@given(st.data())
def test_iter_csv(data):
    Arena.reset()
    options = {**READ_CSV, "batch_rows": [1, 3, 10_000, 0]}
    outcome = call(data, read_batches, list(options), options, 1, {"path"})
    assert isinstance(outcome, (list, Exception))


@EXAMPLES
@given(st.data())
def test_sniff_delimiter(data):
    Arena.reset()
    outcome = call(data, sniff_delimiter, ["path"], {"path": READ_CSV["path"]}, 1, {"path"})
    assert outcome in (",", ";", "\t", "|", ":") or isinstance(outcome, Exception)


WRITE_CSV = {
    "path": ["out.csv", "/dev/full", ".", "folder", "missing/out.csv", "a\0b", ""],
    "data": [[{"a": 1, "b": "x,y"}], [], [{"a": 1}, 5], [{1: 2}], [{"a": "=1"}] * 3],
    "delimiter": [",", ";", "", "é"],
    "safe": [True, False],
    "strict": [True, False],
}


@EXAMPLES
@given(st.data())
def test_write_csv(data):
    Arena.reset()
    call(data, write_csv, list(WRITE_CSV), WRITE_CSV, 2, {"path"})
    # Whatever the data, the file that was written can be read back.
    if os.path.exists("out.csv"):
        with open("out.csv", newline="", errors="replace") as f:
            PyReader(f)
        os.remove("out.csv")


READER = {
    "file_obj": [io.StringIO("a,b\n1,2\n3\n"), io.StringIO(""), io.StringIO("é;日\n\"q\"\"\",x")],
    "delimiter": [",", ";", "", "é"],
    "quotechar": ['"', "'", ""],
    "strict": [True, False],
    "safe": [True, False],
}


def fresh_reader(names=None, text="a,b,c\n1,2,3\n4,5\n"):
    reader = PyReader(io.StringIO(text))
    if names is not None:
        reader.set_field_names(names)
    return reader


@EXAMPLES
@given(st.data())
def test_reader_constructor(data):
    Arena.reset()
    outcome = call(data, PyReader, list(READER), READER, 1)
    if isinstance(outcome, PyReader):
        # A delimiter cut from a wider character leaves fields that are not
        # UTF-8, which fail as MemoryError("alloc").
        call(data, outcome.fetch_many_lists, [], {})


# Each method with its parameters and the values it could use. Dunder entries
# take their operand as one positional argument.
ROW_METHODS = {
    "get": (["key", "default"], {"key": ["a", "b", "z", ""], "default": [None, 0]}),
    "to_list": ([], {}),
    "keys": ([], {}),
    "values": ([], {}),
    "items": ([], {}),
    "__getitem__": (["idx"], {"idx": [0, 1, -1, -4, 3, 2**63, "a", "z"]}),
    "__contains__": (["key"], {"key": ["a", "z"]}),
    "__eq__": (["other"], {"other": [["1", "2", "3"], ["1"], [], "x"]}),
    "__ne__": (["other"], {"other": [["1", "2", "3"], []]}),
    "__lt__": (["other"], {"other": [["1"]]}),
    "__len__": ([], {}),
    "__repr__": ([], {}),
    "__iter__": ([], {}),
}
READER_METHODS = dict(ROW_METHODS, **{
    "snapshot": ([], {}),
    "fetch_many_lists": (["n"], {"n": [0, 1, 1000, 2**64 - 1]}),
    "set_field_names": (["names"], {"names": [["x", "y"], ("a", "a"), [], ["é"]]}),
    "__next__": ([], {}),
})


def exercise(data, target, methods):
    name = data.draw(st.sampled_from(sorted(methods)), label="method")
    names, plausible = methods[name]
    # Every parameter is required but get's default and fetch_many_lists's n.
    required = {"get": 1, "fetch_many_lists": 0}.get(name, len(names))
    Arena.reset(target)
    outcome = call(data, getattr(target, name), names, plausible, required)
    if name == "__iter__" and not isinstance(outcome, Exception):
        list(outcome)
    return outcome


@EXAMPLES
@given(st.data(), st.sampled_from([None, ["a", "b", "c"], ["a"]]))
def test_reader_methods(data, names):
    reader = fresh_reader(names)
    for _ in range(data.draw(st.integers(1, 3), label="calls")):
        exercise(data, reader, READER_METHODS)
    Arena.reset()
    # No call leaves the reader marked in use.
    reader.fetch_many_lists()
    assert reader.total_rows == reader.line_num == 3


@EXAMPLES
@given(st.data(), st.sampled_from([None, ["a", "b", "c"]]))
def test_row_methods(data, names):
    reader = fresh_reader(names)
    row = reader.snapshot()
    for _ in range(data.draw(st.integers(1, 3), label="calls")):
        exercise(data, row, ROW_METHODS)
    assert row.to_list() == ["a", "b", "c"]


@pytest.mark.parametrize("cls", [Row, RowIterator])
def test_classes_without_constructor(cls):
    for args, kwargs in (((), {}), ((1,), {}), ((), {"x": 1})):
        with pytest.raises(TypeError):
            cls(*args, **kwargs)


WRITER = {
    "file_obj": [io.StringIO()],
    "delimiter": [",", ";", "", "é", "\n"],
    "quotechar": ['"', "'", "", ","],
    "quoting": [0, 1, 2, 3, 4, -1, 2**32, 2**63],
    "lineterminator": ["\r\n", "\n", "", "é"],
    "safe": [True, False],
}
WRITER_METHODS = {
    "writerow": (["row"], {"row": [["a", 1, None], ("x",), [], "abc", ["=1", "b,c"]]}),
    "writerows": (["rows"], {"rows": [[["a", 1]], [], [["x"], ("y", 2)], [["é"]] * 3]}),
    "__del__": ([], {}),
}


@EXAMPLES
@given(st.data())
def test_writer_constructor(data):
    Arena.reset()
    outcome = call(data, PyWriter, list(WRITER), WRITER, 1)
    if isinstance(outcome, PyWriter):
        # Its file_obj may be anything, so this may fail, but never internally.
        Arena.reset(outcome)
        call(data, outcome.writerow, ["row"], {"row": [["after"]]}, 1)


@EXAMPLES
@given(st.data())
def test_writer_methods(data):
    f = io.StringIO()
    writer = PyWriter(f)
    for _ in range(data.draw(st.integers(1, 3), label="calls")):
        exercise(data, writer, WRITER_METHODS)
    Arena.reset()
    # No call leaves the writer in use.
    writer.writerow(["last"])
    assert f.getvalue().endswith("last\r\n")


@EXAMPLES
@given(st.data(), st.sampled_from([{}, {"quoting": 3, "escapechar": "\\"},
                                   {"delimiter": "\u00e9", "quoting": 2}]))
def test_csv_layer_writer_methods(data, settings):
    f = io.StringIO()
    writer = brelt.writer(f, **settings)
    for _ in range(data.draw(st.integers(1, 3), label="calls")):
        exercise(data, writer, {name: WRITER_METHODS[name] for name in ("writerow", "writerows")})
    Arena.reset()
    # No call leaves the writer in use.
    writer.writerow(["last"])
    assert f.getvalue().endswith(("last\r\n", '"last"\r\n'))


def test_methods_called_on_the_wrong_kind_of_object():
    reader = fresh_reader(["a"])
    row = reader.snapshot()
    objects = [reader, PyWriter(io.StringIO()), row, iter(row), brelt.writer(io.StringIO()), 5,
               None, "a,b"]
    for cls in (PyReader, PyWriter, Row, RowIterator, Writer):
        own = [name for name in vars(cls) if callable(getattr(cls, name))]
        assert own
        for name in own:
            for other in objects:
                if not isinstance(other, cls):
                    with pytest.raises(TypeError):
                        getattr(cls, name)(other)


@pytest.mark.parametrize("copy_with", [copy.copy, copy.deepcopy, pickle.dumps])
def test_copies_and_pickles_are_refused(copy_with):
    row = fresh_reader().snapshot()
    for obj in (fresh_reader(), PyWriter(io.StringIO()), row, iter(row),
                brelt.writer(io.StringIO())):
        with pytest.raises(TypeError):
            copy_with(obj)
