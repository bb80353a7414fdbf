"""Repeating any call, whether it succeeds or fails, leaves memory flat.

Three gauges, as available: Python allocations (tracemalloc; catches objects
kept alive by a lost reference), the C allocator's bytes in use (glibc's
mallinfo2; catches native allocations never freed, which tracemalloc does not
see) and the resident set size (coarse, catches anything else, such as
mappings). sys.gettotalrefcount exists only in debug builds of the
interpreter; where it does, the total reference count must stay flat too.
Under AddressSanitizer only tracemalloc counts: the sanitizer keeps freed
memory in quarantine and replaces the allocator's statistics.
"""

import ctypes
import gc
import gzip
import io
import os
import sys
import tracemalloc

import pytest

import brelt
from brelt._core import PyReader, PyWriter, iter_csv, read_csv, sniff_delimiter, write_csv
from hostile_values import Unprintable

SANITIZED = "asan" in os.environ.get("LD_PRELOAD", "")
LOOPS = 60 if SANITIZED else 300


class MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in (
        "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks",
        "fordblks", "keepcost")]


def _native_gauge():
    try:
        mallinfo2 = ctypes.CDLL(None).mallinfo2
    except (OSError, AttributeError):
        return None
    mallinfo2.restype = MallInfo2

    def in_use():
        info = mallinfo2()
        return info.uordblks + info.hblkhd

    return in_use


native_in_use = None if SANITIZED else _native_gauge()


def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def run(operation, times):
    for _ in range(times):
        try:
            operation()
        except Exception:
            pass


def growth(operation):
    """Growth of each gauge over LOOPS calls, after as many to warm up."""
    run(operation, LOOPS)  # caches, pools, interned names and the like fill up
    gc.collect()
    refs = sys.gettotalrefcount() if hasattr(sys, "gettotalrefcount") else None
    native, resident = native_in_use() if native_in_use else 0, rss()
    tracemalloc.start()
    try:
        run(operation, LOOPS)
        gc.collect()
        python = tracemalloc.get_traced_memory()[0]
    finally:
        tracemalloc.stop()
    return {
        "python": python,
        "native": native_in_use() - native if native_in_use else 0,
        "rss": rss() - resident if not SANITIZED else 0,
        "refs": sys.gettotalrefcount() - refs if refs is not None else 0,
    }


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    d = tmp_path_factory.mktemp("leaks")
    rows = "".join(f"{i},{i / 3},name{i % 50},{'yes' if i % 2 else 'no'}\n" for i in range(600))
    paths = {"table": d / "table.csv", "ragged": d / "ragged.csv", "big": d / "big.csv",
             "out": d / "out.csv", "missing": d / "missing.csv"}
    paths["table"].write_text("a,b,c,d\n" + rows)
    paths["ragged"].write_text("a,b\n1,2\n3\n")
    paths["big"].write_text("a,b\n" + "1,2\n" * 600_000)  # more than one run, not all read
    paths["packed"] = d / "table.csv.gz"
    paths["packed"].write_bytes(gzip.compress(paths["table"].read_bytes()))
    return {name: str(path) for name, path in paths.items()}


# The csv layer's dialects, made once: on 3.13 with PYTHONMALLOC=malloc (the
# sanitized run) tracemalloc counts growth for every _csv.Dialect the csv
# module makes, which is the interpreter's own and no leak (none with its
# usual allocator); made once, the gauge sees only brelt's writer.
EXCEL = brelt.get_dialect("excel")
ESCAPING = brelt.writer(io.StringIO(), escapechar="\\").dialect
UNQUOTED = brelt.writer(io.StringIO(), quoting=brelt.QUOTE_NONE).dialect


class FailingFile:
    def write(self, text):
        raise OSError("disk full")


TEXT = "a,b,c\n" + "1,é,x\n" * 200


def walk_reader():
    reader = PyReader(io.StringIO(TEXT))
    reader.set_field_names(["a", "b", "c"])
    for _ in reader:
        reader["b"], reader.get("z"), reader.items(), reader.snapshot().to_list()
    reader.fetch_many_lists()


def row_failures():
    row = PyReader(io.StringIO("a,b\n")).snapshot()
    for bad in (lambda: row["missing"], lambda: row[5], lambda: row[None], lambda: row.keys(),
                lambda: row == [1]):
        try:
            bad()
        except Exception:
            pass
    list(iter(row))


def operations(f):
    big_records = [{"a": i, "b": "x,y", "c": None} for i in range(200)]
    rows = [["a", 1, None, "=2"]] * 200
    return {
        "read_csv": lambda: read_csv(f["table"]),
        "read_csv typed and selected": lambda: read_csv(
            f["table"], schema={"a": int, "b": "str"}, columns=["b", "a"], null_values=["1"]),
        "read_csv big": lambda: read_csv(f["big"], max_rows=10),
        "read_csv compressed": lambda: read_csv(f["packed"]),
        "iter_csv walk": lambda: list(iter_csv(f["table"], batch_rows=7)),
        "iter_csv dropped early": lambda: next(iter_csv(f["big"], batch_rows=10)),
        "iter_csv compressed": lambda: list(iter_csv(f["packed"], batch_rows=100)),
        "write_csv compressed": lambda: write_csv(f["out"] + ".gz", big_records),
        "read_csv missing": lambda: read_csv(f["missing"]),
        "read_csv strict": lambda: read_csv(f["ragged"], strict=True),
        "read_csv unknown type": lambda: read_csv(f["table"], schema={"a": "nope"}),
        "read_csv bad argument": lambda: read_csv(f["table"], columns="a"),
        "sniff_delimiter": lambda: sniff_delimiter(f["table"]),
        "sniff_delimiter missing": lambda: sniff_delimiter(f["missing"]),
        "PyReader walk": walk_reader,
        "PyReader strict": lambda: PyReader(io.StringIO("a,b\nc\n"), strict=True),
        "PyReader surrogate": lambda: PyReader(io.StringIO("a,\ud800")),
        "Row failures": row_failures,
        "PyWriter": lambda: PyWriter(io.StringIO()).writerows(rows),
        "PyWriter raising value": lambda: PyWriter(io.StringIO()).writerow(["a", Unprintable()]),
        "PyWriter raising write": lambda: PyWriter(FailingFile()).writerows(rows),
        "writer": lambda: brelt.writer(io.StringIO(), ESCAPING).writerows(rows + [["é,\ud800"]]),
        "writer raising value": lambda: brelt.writer(io.StringIO(), EXCEL).writerows(
            [["a"], ["b", Unprintable()]]),
        "writer refusing a row": lambda: brelt.writer(io.StringIO(), UNQUOTED).writerow(["a,b"]),
        "DictWriter": lambda: brelt.DictWriter(io.StringIO(), ["a", "b", "c"], EXCEL).writerows(
            big_records),
        "write_csv": lambda: write_csv(f["out"], big_records),
        "write_csv full": lambda: write_csv("/dev/full", big_records),
        "write_csv later non-dict": lambda: write_csv(f["out"], [{"a": 1}, 2]),
    }


# Bytes of growth allowed over LOOPS calls; a leak of one object or buffer
# per call goes past them.
PYTHON_LIMIT = 16 * 1024
NATIVE_LIMIT = 16 * 1024
RSS_LIMIT = 8 * 1024 * 1024


def test_memory_stays_flat(files):
    grown = {name: growth(op) for name, op in operations(files).items()}
    leaking = {name: g for name, g in grown.items()
               if g["python"] > PYTHON_LIMIT or g["native"] > NATIVE_LIMIT
               or g["rss"] > RSS_LIMIT or g["refs"] > LOOPS}
    assert leaking == {}


def test_the_gauges_see_a_leak(files):
    kept = []
    assert growth(lambda: kept.append(bytearray(300)))["python"] > PYTHON_LIMIT
    if native_in_use:
        buffers = []
        grown = growth(lambda: buffers.append(ctypes.create_string_buffer(600)))
        assert grown["native"] > NATIVE_LIMIT
