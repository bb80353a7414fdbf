"""read_csv: what the csv module and write_csv write reads back, at every
size and on every conversion path; a table of texts and options with the
values they give (types, nulls, encodings, schema, selection); the errors;
and the worker pool's size. Type inference, the null words, the decoders and
the tokenizer are proved in tests/core; here it is the Python objects made.
(The limits of a table: test_limits.py; files and iter_csv: test_files.py.)"""

import csv
import io
import os
import subprocess
import sys
import textwrap

import pytest
from hypothesis import given, settings, strategies as st

from brelt._core import read_csv, write_csv

# Unicode White_Space: what read_csv trims from every cell.
WHITE_SPACE = "".join(set("\t\n\v\f\r \x85\xa0\u1680\u2028\u2029\u202f\u205f\u3000") | {
    chr(c) for c in range(0x2000, 0x200B)})

cell = st.text(alphabet=st.sampled_from(list('ab,"\n\r é日\u00a0\u3000\x1c\u200b')), max_size=8)


@settings(max_examples=150)
@given(st.data())
def test_what_the_csv_module_writes_reads_back_trimmed(tmp_path_factory, data):
    width = data.draw(st.integers(1, 5))
    names = data.draw(st.lists(cell, min_size=width, max_size=width, unique=True))
    rows = data.draw(st.lists(st.lists(cell, min_size=width, max_size=width), max_size=30))
    buffer = io.StringIO()
    csv.writer(buffer).writerows([names, *rows])
    path = tmp_path_factory.mktemp("round") / "t.csv"
    path.write_text(buffer.getvalue(), encoding="utf-8", newline="")
    got = read_csv(str(path), delimiter=",", schema={n: str for n in names}, null_values=[])
    assert got == [{n: v.strip(WHITE_SPACE) for n, v in zip(names, row)} for row in rows]


def test_what_write_csv_writes_reads_back_typed(tmp_path):
    rows = [{"i": i, "f": i / 8, "b": i % 2 == 0, "s": f"s{i}", "n": None if i % 3 else i}
            for i in range(1000)]
    write_csv(tmp_path / "typed.csv", rows)
    assert read_csv(tmp_path / "typed.csv", null_values=["None"]) == rows
    # A lone surrogate sends the whole value through a slower encoder: every
    # UTF-8 length at its edges, beside two of them.
    value = "\ud800\x7f\x80\u07ff\u0800\uffff\U00010000\U0010ffff\udfff"
    write_csv(tmp_path / "lone.csv", [{"a": value}])
    assert (tmp_path / "lone.csv").read_text(encoding="utf-8") == (
        "a\n\ufffd" + value[1:-1] + "\ufffd\n")


def table_text(records, columns, late_words=None):
    """Records of mixed types, some short, with nulls and padding; and the
    rows read_csv gives for them."""
    names = [f"c{k}" for k in range(columns)]
    lines, expected = [",".join(names)], []
    for i in range(records):
        word = f"t{i % 7}" if late_words is None or i < late_words else f"late{i % 3}"
        typed = [i, i / 4, i % 3 != 0, word, None if i % 5 == 0 else -i][:columns]
        values = [str(i), f" {i / 4} ", "yes" if i % 3 else "no", word,
                  "NA" if i % 5 == 0 else str(-i)][:columns]
        if i % 11 == 0:  # a short record: the rest convert from empty text
            values, typed = values[:1], typed[:1] + [None] * (columns - 1)
        lines.append(",".join(values))
        expected.append(dict(zip(names, typed)))
    return "\n".join(lines) + "\n", expected


def test_pieces_of_a_large_file_do_not_show_in_the_result(write_file):
    """Large files are parsed about 2**18 cells at a time while earlier
    pieces become dicts; the string cache outlives the piece a text was
    first seen in, and record numbers and byte offsets run on."""
    text, expected = table_text(100_000, 4, late_words=70_000)  # two pieces
    path = write_file(text)
    assert read_csv(path) == expected
    assert read_csv(path, skip_rows=40_000, max_rows=50_000) == expected[40_000:90_000]
    assert read_csv(path, columns=["c2", "c0"]) == [
        {"c2": row["c2"], "c0": row["c0"]} for row in expected]
    with pytest.raises(ValueError) as raised:
        read_csv(write_file("a,b,c\n" + "1,2,3\n" * 100_000 + "4,5\n"), strict=True)
    assert str(raised.value) == (
        "CSV parse error: CSV error: record 100001 (byte: 600006): found record with 2 "
        "fields, but the previous record has 3 fields")
    columns = 300  # typed in several blocks
    line = ",".join(str(k) for k in range(columns)) + "\n"
    rows = read_csv(write_file(",".join(f"h{k}" for k in range(columns)) + "\n" + line * 2000))
    assert len(rows) == 2000 and rows[0] == rows[-1] == {f"h{k}": k for k in range(columns)}


def test_keys_and_repeated_texts_are_shared_objects_and_unique_texts_stay_right(write_file):
    rows = read_csv(write_file("name,v\n" + "same,1\n" * 300))
    assert all(a is b for a, b in zip(*(list(row) for row in rows[:2])))
    assert len({id(row["name"]) for row in rows}) == 1
    values = [f"v{i}" for i in range(1000)]  # past where the cache gives up
    assert [row["s"] for row in read_csv(write_file("s\n" + "\n".join(values)))] == values


INF = float("inf")


@pytest.mark.parametrize("data, options, expected", [
    ("a,b\n1,x\n", {}, [{"a": 1, "b": "x"}]), ("", {}, []), ("a,b", {}, []),
    ("a,b,c\n1,2,3,4,5\n1,2\n", {}, [{"a": 1, "b": 2, "c": 3}, {"a": 1, "b": 2, "c": None}]),
    ("a,b,a\n1,x,2.5\n", {}, [{"a": 2.5, "b": "x"}]),  # first position, last value
    ('a,b\n"x, ""y""\n z",日本 é\n', {}, [{"a": 'x, "y"\n z', "b": "日本 é"}]),
    # delimiter: given, only its first byte, or detected (from a sample cut in a character)
    ("a,b;c\n1,2;3\n", {"delimiter": ";"}, [{"a,b": "1,2", "c": 3}]),
    ("a|b\n1|2\n", {"delimiter": "||"}, [{"a": 1, "b": 2}]),
    ("a\tb\n1\t2\n", {}, [{"a": 1, "b": 2}]),
    ("ab;c\n" + "é" * 2100 + ";1\n", {}, [{"ab": "é" * 2100, "c": 1}]),
    # the text: marks, UTF-16, windows-1252 when not UTF-8, labels
    (b"\xef\xbb\xbfa,b\n1,2\n", {}, [{"a": 1, "b": 2}]),
    (b"\xff\xfe" + "a,名\n1,é\n".encode("utf-16-le"), {}, [{"a": 1, "名": "é"}]),
    (b"\xfe\xff" + "a,名\n1,é\n".encode("utf-16-be"), {}, [{"a": 1, "名": "é"}]),
    (b"a,b\n\xe9,\x80\n", {}, [{"a": "é", "b": "€"}]),
    ("a,b\nä,ø\n".encode("iso-8859-15"), {"encoding": "l9"}, [{"a": "ä", "b": "ø"}]),
    ("a\nx\n".encode("shift_jis"), {"encoding": " Shift_JIS "}, [{"a": "x"}]),
    (b"\xef\xbb\xbfa\n\xc3\xa9\n", {"encoding": "latin1"}, [{"a": "é"}]),  # the mark wins
    ("a\n1\n", {"encoding": "iso-2022-kr"}, []),  # the replacement decoder
    # nulls
    ("a\n\nNA\nnull\nNone\nna\n none \n", {}, [{"a": v} for v in [None, None, None, "na", "none"]]),
    ('a,b\n,1\n""\n', {}, [{"a": None, "b": 1}, {"a": None, "b": None}]),
    ("a,b\n,NA\nx\n", {"null_values": []}, [{"a": "", "b": "NA"}, {"a": "x", "b": ""}]),
    ('v\nNA\n""\n', {"null_values": ["NA"]}, [{"v": None}, {"v": ""}]),  # all null: text
    # types
    ("v\n1\n2.5\n", {}, [{"v": 1.0}, {"v": 2.5}]),
    ("v\nyes\nno\nTRUE\n", {}, [{"v": True}, {"v": False}, {"v": True}]),
    ("v\n 42 \n\u00a0-7\u3000\n+3\n", {}, [{"v": 42}, {"v": -7}, {"v": 3}]),
    ("v\ninf\n1e400\n-Infinity\n", {}, [{"v": INF}, {"v": INF}, {"v": -INF}]),
    ("v\n" + "1\n" * 1000 + "abc\n2\n", {"skip_rows": 999}, [{"v": 1}, {"v": "abc"}, {"v": 2}]),
    # schema
    ("a,b,c,d\n1,2,yes,3\n", {"schema": {"a": "INTEGER", "b": float, "c": bool, "d": str}},
     [{"a": 1, "b": 2.0, "c": True, "d": "3"}]),
    ("a,b\n1,2\n", {"schema": {"a": int}}, [{"a": 1, "b": "2"}]),
    ("a,b\n1,2\n", {"schema": {}}, [{"a": "1", "b": "2"}]),
    # selection and headerless names
    ("a,b,c\n1,x,2.5\n", {"columns": ["c", "zz", "a"]}, [{"c": 2.5, "a": 1}]),
    ("a,b,c\n1,x,2.5\n2,y,3\n", {"columns": ["zz"]}, [{}, {}]),
    ("a\n1\n2\n3\n", {"skip_rows": 1, "max_rows": 1}, [{"a": 2}]),
    ("a\n1\n2\n3\n", {"max_rows": 2**64 - 1}, [{"a": 1}, {"a": 2}, {"a": 3}]),
    ("1,x\n2,y,z\n", {"has_header": False}, [
        {"column_1": 1, "column_2": "x", "column_3": None},
        {"column_1": 2, "column_2": "y", "column_3": "z"}]),
    ("1,x\n2,y\n", {"has_header": False, "schema": {"column_1": str}},
     [{"column_1": "1", "column_2": "x"}, {"column_1": "2", "column_2": "y"}]),
    ("1,x\n2,y\n", {"has_header": False, "columns": ["column_2", "column_9", "column_01",
                                                     "column_1"]},
     [{"column_2": "x", "column_1": 1}, {"column_2": "y", "column_1": 2}]),
])
def test_values(write_file, data, options, expected):
    rows = read_csv(write_file(data), **options)
    assert rows == expected
    assert [[(k, type(v)) for k, v in row.items()] for row in rows] == [
        [(k, type(v)) for k, v in row.items()] for row in expected]


class Odd:
    __name__ = 3


def growing_schema():
    schema = {}

    class Grows:
        @property
        def __name__(self):
            schema["other"] = "int"
            return "int"
    schema["a"] = Grows()
    return schema


@pytest.mark.parametrize("options, error, message", [
    *[(options, (TypeError, OverflowError), "") for options in [
        {"has_header": 1}, {"strict": "yes"}, {"skip_rows": -1}, {"max_rows": 1.0},
        {"columns": "a"}, {"null_values": "NA"}, {"schema": [("a", int)]}, {"encoding": 8},
        {"delimiter": b","}, {"n_threads": -2}, {"has_header": None}, {"skip_rows": None},
        {"strict": None}, {"schema": {1: int}}, {"schema": {"a": 5}}, {"schema": {"a": Odd()}}]],
    ({"delimiter": ""}, ValueError, "delimiter"),
    ({"schema": {"a": "nope"}}, ValueError, "^Unknown type: nope$"),
    ({"schema": {"a": "Int64"}}, ValueError, "^Unknown type: Int64$"),
    ({"schema": {"a": list}}, ValueError, "^Unknown type: list$"),
    ({"schema": {"a": ""}}, ValueError, "^Unknown type: $"),
    ({"schema": growing_schema()}, RuntimeError, ""),
])
def test_arguments_are_checked_before_the_file_is_read(options, error, message):
    with pytest.raises(error, match=message):
        read_csv("/nonexistent/file.csv", **options)


@pytest.mark.parametrize("data, options, message", [
    (b"\xff\xfea\x00,", {}, "^Failed to decode UTF-16LE$"),
    ("a\n1\n", {"encoding": "no-such-thing"}, "^Unknown encoding: no-such-thing$"),
    ("a,b,c\n1,2\n", {"strict": True}, "^CSV parse error: .*record 1.*2 fields.* 3 fields$"),
])
def test_text_that_cannot_be_read(write_file, data, options, message):
    with pytest.raises(ValueError, match=message):
        read_csv(write_file(data), **options)


def test_file_errors_are_value_errors_with_the_os_code(tmp_path):
    with pytest.raises(ValueError, match=r"\(os error 2\)$"):
        read_csv(str(tmp_path / "missing.csv"))
    with pytest.raises(ValueError, match=r"\(os error 21\)$"):
        read_csv(str(tmp_path))
    with pytest.raises(ValueError, match="NUL byte"):
        read_csv("a\0b")


POOL_PROBE = """
    import os, sys, tempfile
    from brelt._core import read_csv
    path = os.path.join(tempfile.mkdtemp(), "big.csv")
    with open(path, "w") as f:
        f.write("a,b,c\\n" + "1,2.5,x\\n" * 5000)
    small = os.path.join(os.path.dirname(path), "small.csv")
    with open(small, "w") as f:
        f.write("a,b\\n1,2\\n")
    threads = lambda: len(os.listdir("/proc/self/task"))
    before = threads()
    for options in {calls}:
        read_csv(small if options.pop("small", False) else path, **options)
        print(threads() - before)
"""


@pytest.mark.parametrize("calls, environment, expected", [
    # The environment sets the size (workers beside the calling thread), and
    # later requests change nothing.
    ([{"n_threads": 0}, {"n_threads": 8}], {"RAYON_NUM_THREADS": "3"}, [2, 2]),
    ([{"small": True, "n_threads": 4}, {"n_threads": 2}], {}, [3, 3]),  # the first wins
    ([{"small": True, "n_threads": 2**64 - 1}, {}], {"RAYON_NUM_THREADS": "2"}, [0, 1]),
    ([{"small": True, "n_threads": 4, "max_rows": 0}], {}, [0]),  # nothing to convert
])
def test_the_worker_pool_size(calls, environment, expected):
    env = {k: v for k, v in os.environ.items() if not k.startswith("RAYON_")}
    result = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(POOL_PROBE.format(calls=calls))],
        env={**env, **environment}, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    assert [int(n) for n in result.stdout.split()] == expected
