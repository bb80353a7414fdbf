"""brelt.reader and DictReader against the running interpreter's csv module:
random texts dense in the characters that matter, random settings the csv
module accepts, the text given as a file (read in tiny blocks, so every
block edge is crossed), as lines and as one item. Rows, line_num after each
row, and the errors (type and message) must all be the csv module's, and the
readers must go on after an error as the csv module's do. Then the block
edges inside multi-byte characters, and memory bounded whatever the input
size. (A daemon thread inside a read at exit: test_concurrency.py.)"""

import contextlib
import csv
import io
import json
import os
import subprocess
import sys
import tempfile

import pytest
from hypothesis import assume, given, settings, strategies as st

import brelt
import brelt._reader
from hostile_values import Boom

SINGLED_OUT = st.sampled_from(',;"\'\\ \t\r\n\0éx€|')
TEXT = st.text(st.one_of(SINGLED_OUT, st.characters()), max_size=40)
# What a UTF-8 file can hold: no lone surrogates.
FILE_TEXT = st.text(st.one_of(SINGLED_OUT, st.characters(blacklist_categories=("Cs",))), max_size=40)
CHARACTERS = [",", ";", "\t", " ", '"', "'", "\\", "é", "€", "|", "\0"]
QUOTINGS = [csv.QUOTE_MINIMAL, csv.QUOTE_ALL, csv.QUOTE_NONNUMERIC, csv.QUOTE_NONE]
if sys.version_info >= (3, 12):
    QUOTINGS += [csv.QUOTE_STRINGS, csv.QUOTE_NOTNULL]

SETTINGS = st.fixed_dictionaries({}, optional={
    "delimiter": st.sampled_from(CHARACTERS + ["\r", "\n"]),
    "quotechar": st.sampled_from(CHARACTERS + [None]),
    "escapechar": st.sampled_from(CHARACTERS + [None]),
    "doublequote": st.booleans(),
    "skipinitialspace": st.booleans(),
    "strict": st.booleans(),
    "quoting": st.sampled_from(QUOTINGS),
})


def accepted(options, *dialect):
    try:
        csv.reader([], *dialect, **options)
    except (TypeError, ValueError):
        return False
    return True


def outcomes(reader, calls=None):
    """What each next() gives: a row, or an error, with line_num after it;
    `calls` calls at most, else until the end (which must come)."""
    seen = []
    for _ in range(calls or 200):
        try:
            seen.append(("row", next(reader), reader.line_num))
        except StopIteration:
            return seen
        except (csv.Error, brelt.Error, ValueError) as error:
            seen.append((type(error).__name__, str(error), reader.line_num))
    assert calls, f"no end after 200 calls: {seen[-3:]}"
    return seen


@contextlib.contextmanager
def block_size(size):
    saved = brelt._reader.BLOCK_SIZE
    brelt._reader.BLOCK_SIZE = size
    try:
        yield
    finally:
        brelt._reader.BLOCK_SIZE = saved


def sources(text):
    """Makers of the same input in each shape the readers take."""
    return [lambda: io.StringIO(text, newline=""),
            lambda: text.splitlines(keepends=True),
            lambda: [text],
            lambda: iter(text.split("\n"))]


@settings(max_examples=400)
@given(TEXT, SETTINGS, st.integers(1, 9))
def test_reader_reads_as_the_csv_module_reads(text, options, size):
    if not accepted(options):  # refused with the csv module's exception
        with pytest.raises(Exception) as theirs:
            csv.reader([], **options)
        with pytest.raises(type(theirs.value)):
            brelt.reader([], **options)
        return
    with block_size(size):
        for make in sources(text):
            assert outcomes(brelt.reader(make(), **options)) == outcomes(csv.reader(make(), **options))


FIELD_NAMES = st.sampled_from([None, ["a", "b"], ["x", "x", "y", "z"], []])


@settings(max_examples=150)
@given(TEXT, SETTINGS, FIELD_NAMES, st.booleans(), st.integers(1, 9))
def test_dict_reader_reads_as_the_csv_module_reads(text, options, fieldnames, as_iterator, size):
    assume(accepted(options, "excel"))
    options = {**options, "restkey": "+", "restval": "-"}
    # Names from an iterator are taken as a list (as the csv module does from 3.12).
    with block_size(size):
        for make in sources(text)[:2]:
            names = iter(fieldnames) if as_iterator and fieldnames else fieldnames
            ours = brelt.DictReader(make(), fieldnames=names, **options)
            theirs = csv.DictReader(make(), fieldnames=fieldnames, **options)
            assert outcomes(ours) == outcomes(theirs)
            assert ours.fieldnames == theirs.fieldnames


@settings(max_examples=60)
@given(FILE_TEXT, st.sampled_from(["", None, "\n", "\r"]), st.integers(1, 9), st.booleans())
def test_text_files_read_as_the_csv_module_reads_them(text, newline, size, header_first):
    """Real files, whose UTF-8 buffer the reader may read directly, in every
    newline mode; a first reader that returns one row leaves the file where
    the csv module's does, for the next reader."""
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "data.csv")
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)

        def read(module):
            with open(path, encoding="utf-8", newline=newline) as f:
                head = outcomes(module.reader(f), calls=1) if header_first else []
                return head, outcomes(module.reader(f))

        with block_size(size):
            ours = read(brelt)
        assert ours == read(csv)


class Lines:
    """An iterator over `items` that raises Boom where an item is an
    exception, and goes on after it (as a file object may)."""

    def __init__(self, items):
        self.items = iter(items)

    def __iter__(self):
        return self

    def __next__(self):
        item = next(self.items)
        if isinstance(item, Exception):
            raise item
        return item


ITEMS = st.lists(st.one_of(TEXT, st.just(b"bytes"), st.just(7), st.builds(Boom)), max_size=8)


@settings(max_examples=150)
@given(ITEMS, SETTINGS)
def test_hostile_lines_give_the_csv_module_errors_and_the_reader_goes_on(items, options):
    assume(accepted(options))

    def seen(reader):
        result = []
        for _ in range(50):
            try:
                result.append(outcomes(reader, calls=1))
            except Boom:
                result.append(("Boom", reader.line_num))
            if result[-1] == []:
                return result
        return result

    assert seen(brelt.reader(Lines(items), **options)) == seen(csv.reader(Lines(items), **options))


def test_a_file_whose_read_fails_midway_raises_and_reads_on():
    class Flaky(io.StringIO):
        calls = 0

        def read(self, size=-1):
            self.calls += 1
            if self.calls == 2:
                raise Boom("read")
            return b"bytes" if self.calls == 3 else super().read(size)

    with block_size(4):
        reader = brelt.reader(Flaky("a,b\nc,d\ne,f\n", newline=""))
    seen = []
    for _ in range(6):
        try:
            seen.append(next(reader))
        except (Boom, brelt.Error, StopIteration) as error:
            seen.append(type(error).__name__)
    assert seen == [["a", "b"], ["c", "d"], "Boom", "Error", ["e", "f"], "StopIteration"]


@pytest.mark.parametrize("size", [1, 2, 3, 5, 8])
def test_block_edges_inside_every_kind_of_character_and_line_end(size):
    """A multi-byte delimiter, quote and escape, CR LF and a quoted line break
    cut by every block edge, from a file read in blocks and its binary
    buffer."""
    text = 'a€"b€c"€d\\€e\r\n"x\r\ny"€z\r\n\r\nlast€1'
    options = {"delimiter": "€", "escapechar": "\\"}
    expected = outcomes(csv.reader(io.StringIO(text, newline=""), **options))
    with block_size(size), tempfile.TemporaryFile("w+", encoding="utf-8", newline="") as f:
        f.write(text)
        f.seek(0)
        assert outcomes(brelt.reader(f, **options)) == expected
        assert outcomes(brelt.reader(io.StringIO(text, newline=""), **options)) == expected


MEMORY_PEAK = """
import json, os, sys, tempfile
import brelt

def kib(key):
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(key))

def lines():
    for i in range(600_000):
        yield f'{i},some text,{i * 3.5},"quoted, with a comma"\\n'

def peak_of(rows):
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
    before = kib("VmRSS")
    count = sum(1 for _ in rows)
    return count, (kib("VmHWM") - before) // 1024

path = os.path.join(tempfile.mkdtemp(), "big.csv")
with open(path, "w", encoding="utf-8", newline="") as f:
    f.writelines(lines())
with open(path, encoding="utf-8", newline="") as f:
    print(json.dumps([peak_of(brelt.reader(lines())), peak_of(brelt.reader(f)),
                      os.path.getsize(path) >> 20]))
"""


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer keeps freed memory, so resident sizes say nothing")
def test_memory_stays_bounded_whatever_the_input_size():
    result = subprocess.run([sys.executable, "-c", MEMORY_PEAK], capture_output=True,
                            text=True, timeout=300)
    assert result.returncode == 0, result.stderr
    (lines_count, lines_peak), (file_count, file_peak), megabytes = json.loads(result.stdout)
    assert lines_count == file_count == 600_000 and megabytes > 25
    assert lines_peak < 16 and file_peak < 16, result.stdout


def test_dict_reader_subclasses_and_attributes_changed_midway_act_as_the_csv_module_s():
    """What the per-row code in C reads from the object: a redefined
    fieldnames property, names replaced or changed in place past a batch,
    restkey and restval."""
    def subclass(base):
        class Upper(base):
            @property
            def fieldnames(self):
                names = super().fieldnames
                return [name.upper() for name in names] if names else names
        return Upper

    text = "a,b,c\n1,2,3\n\n4,5\n6,7,8,9\n" + "".join(f"{i},{i},{i}\n" for i in range(1500))
    seen = []
    for module in (csv, brelt):
        made = subclass(module.DictReader)(io.StringIO(text), restval="-")
        rows = [next(made), next(made)]
        plain = module.DictReader(io.StringIO(text), restkey="+")
        rows += [plain.line_num, plain.fieldnames, plain.line_num, next(plain), plain.line_num]
        plain.fieldnames = ["p", "q", "r"]
        rows += [next(plain), next(plain), [next(plain) for _ in range(1000)]]
        plain.fieldnames[0] = "z"
        plain.restval = "?"
        rows += [list(plain), plain.line_num, list(made), made.line_num]
        seen.append(rows)
    assert seen[0] == seen[1]
