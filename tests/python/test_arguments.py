"""The binding layer's argument rules, seen through a function (read_csv, the
fastcall convention) and a constructor (PyWriter, the tuple convention); and,
through the test-only module _brelt_testing, its one error table and the
guard that keeps C++ exceptions out of the interpreter."""

import pytest

import brelt

try:
    import numpy
except ImportError:  # not on every interpreter here
    numpy = None
from brelt import PyWriter, read_csv
from hostile_values import Index

bt = pytest.importorskip("_brelt_testing")


class Str(str):
    pass


def raising():
    raise ZeroDivisionError("from __index__")


@pytest.fixture
def path(tmp_path):
    (tmp_path / "in.csv").write_text("a,b\n1,2\n")
    return str(tmp_path / "in.csv")


ACCEPTED = [  # read_csv's keyword arguments, and the rows they give
    ({"has_header": False, "max_rows": Index(1)}, [{"column_1": "a", "column_2": "b"}]),
    ({"skip_rows": Index(0), "max_rows": 2**64 - 1, "columns": ("a", Str("b"))},
     [{"a": 1, "b": 2}]),
    ({"columns": [], "encoding": None, "delimiter": Str(",")}, [{}]),
    ({"schema": type("Schema", (dict,), {})(a=str), "encoding": Str("utf-8")},
     [{"a": "1", "b": "2"}]),  # unnamed columns stay text
]
REFUSED = [  # a read_csv argument, values it refuses, the exception, its message's start
    ("has_header", (0, 1, None, "True", 1.0), TypeError,
     "read_csv() argument 'has_header' must be bool"),
    ("skip_rows", (-1, -2**70, 2**64, Index(-3)), OverflowError, ""),
    ("skip_rows", (1.0, "3", None, b"1"), TypeError, "read_csv() argument 'skip_rows'"),
    ("skip_rows", (Index(0, raising),), ZeroDivisionError, "from __index__"),
    ("encoding", (b"x", 1, ["a"]), TypeError, "read_csv() argument 'encoding' must be str"),
    ("encoding", ("a\ud800",), UnicodeEncodeError, ""),
    ("columns", ("ab", ["a", 1], 5, {"a": 1}, {"a"}), TypeError, "read_csv() argument 'columns'"),
    ("schema", ([], "a", [("a", 1)]), TypeError, "read_csv() argument 'schema' must be dict"),
    ("bogus", (1,), TypeError, "read_csv() got an unexpected keyword argument 'bogus'"),
    ("path", ("p",), TypeError, "read_csv() got multiple values for argument 'path'"),
]


@pytest.mark.parametrize("arguments, rows", ACCEPTED)
def test_accepted_arguments(path, arguments, rows):
    assert read_csv(path, **arguments) == rows


@pytest.mark.parametrize("name, value, error, message", [
    (name, value, error, message) for name, values, error, message in REFUSED for value in values])
def test_refused_arguments(path, name, value, error, message):
    with pytest.raises(error) as raised:
        read_csv(path, **{name: value})
    assert type(raised.value) is error and str(raised.value).startswith(message)


def test_binding_under_both_conventions(path):
    if numpy is not None:
        assert read_csv(path, has_header=numpy.bool_(False)) == read_csv(path, has_header=False)
    for call, message in (
            (lambda: read_csv(), r"^read_csv\(\) missing required argument 'path' \(pos 1\)$"),
            (lambda: read_csv(*[path] * 12), r"^read_csv\(\) takes at most 11 arguments \(12 given\)$"),
            (lambda: PyWriter(), r"^PyWriter\(\) missing required argument 'file_obj' \(pos 1\)$"),
            (lambda: PyWriter(1, 2, 3, 4, 5, 6, 7), r"^PyWriter\(\) takes at most 6 arguments"),
            (lambda: PyWriter(1, file_obj=1), "multiple values for argument 'file_obj'"),
            (lambda: PyWriter(1, bogus=1), "unexpected keyword argument 'bogus'")):
        with pytest.raises(TypeError, match=message):
            call()
    assert PyWriter(file_obj=1, safe=True, quoting=Index(1)) is not None


def test_cpp_exceptions_never_cross_into_the_interpreter():
    for what, error, message in (("broken invariant", SystemError, "internal error: broken"),
                                 ("bad_alloc", MemoryError, ""),
                                 ("int", SystemError, r"unknown C\+\+ exception")):
        with pytest.raises(error, match=message):
            bt.throw_cpp(what)
