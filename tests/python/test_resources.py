"""Every entry point gives back what it takes, whether it succeeds or fails:
repeating a call leaves memory flat and no file descriptor open, and running
out of memory is an exception like any other. Memory gauges: Python
allocations (tracemalloc), the C allocator's bytes in use (mallinfo2: native
allocations tracemalloc does not see), the resident set (anything else, such
as mappings), and in debug builds the total reference count. Under
AddressSanitizer, which quarantines freed memory, only tracemalloc counts."""

import contextlib
import ctypes
import gc
import gzip
import io
import os
import subprocess
import sys
import textwrap
import tracemalloc

import pytest

import brelt
from brelt._core import PyReader, PyWriter, iter_csv, read_csv, sniff_delimiter, write_csv
from hostile_values import Recording, Unprintable

SANITIZED = "asan" in os.environ.get("LD_PRELOAD", "")
LOOPS = 60 if SANITIZED else 200
RUN_BYTES = 4 << 20  # files are read in runs of this size
pytestmark = pytest.mark.skipif(not os.path.isdir("/proc/self/fd"), reason="needs /proc")


class MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in (
        "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks keepcost".split())]


MALLINFO2 = None if SANITIZED else getattr(ctypes.CDLL(None), "mallinfo2", None)
if MALLINFO2 is not None:
    MALLINFO2.restype = MallInfo2


def native_in_use():
    info = MALLINFO2() if MALLINFO2 else MallInfo2()
    return info.uordblks + info.hblkhd


def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def run(operation, times):
    for _ in range(times):
        with contextlib.suppress(Exception):
            operation()


def growth(operation):
    """Growth of each gauge over LOOPS calls, after half as many to warm up."""
    run(operation, LOOPS // 2)  # caches, pools, interned names and the like fill up
    gc.collect()
    refs = getattr(sys, "gettotalrefcount", lambda: 0)()
    native, resident = native_in_use(), rss()
    tracemalloc.start()
    try:
        run(operation, LOOPS)
        gc.collect()
        python = tracemalloc.get_traced_memory()[0]
    finally:
        tracemalloc.stop()
    return {"python": python, "native": native_in_use() - native,
            "rss": rss() - resident if not SANITIZED else 0,
            "refs": getattr(sys, "gettotalrefcount", lambda: 0)() - refs}


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    d = tmp_path_factory.mktemp("resources")
    rows = "".join(f"{i},{i / 3},name{i % 50},{'yes' if i % 2 else 'no'}\n" for i in range(20))
    big_row = b"1,2.5," + b"t" * 1000 + b"\n"  # few rows: cheap to read whole
    big = b"a,b,c\n" + big_row * (RUN_BYTES // len(big_row) + 1)  # more than one run
    contents = {
        "table.csv": ("a,b,c,d\n" + rows).encode(), "ragged.csv": b"a,b\n1,2\n3\n",
        "table.csv.gz": gzip.compress(("a,b,c,d\n" + rows).encode()),
        "bad16.csv": b"\xff\xfea\x00\x00\xd8",  # a lone surrogate in UTF-16LE
        "big.csv": big, "big.csv.gz": gzip.compress(big, compresslevel=1),
        "big_ragged.csv": big + b"1\n",
        "big_bad16.csv": b"\xff\xfe" + "a,b\n".encode("utf-16-le") * (RUN_BYTES // 8) + b"\x00\xdc",
    }
    paths = {"dir": str(d), "missing": str(d / "missing.csv"), "out": str(d / "out.csv")}
    for name, data in contents.items():
        (d / name).write_bytes(data)
        paths[name] = str(d / name)
    return paths


# The csv layer's dialects, made once: on 3.13 with PYTHONMALLOC=malloc (the
# sanitized run) tracemalloc counts growth for every _csv.Dialect the csv
# module makes, which is the interpreter's own and no leak; made each call,
# they are noise of a few KiB under the usual allocator too.
EXCEL = brelt.get_dialect("excel")
ESCAPING = brelt.writer(io.StringIO(), escapechar="\\").dialect
UNQUOTED = brelt.writer(io.StringIO(), quoting=brelt.QUOTE_NONE).dialect


def walk_reader():
    reader = PyReader(io.StringIO("a,b,c\n" + "1,é,x\n" * 20))
    reader.set_field_names(["a", "b", "c"])
    for _ in reader:
        reader["b"], reader.get("z"), reader.items(), reader.snapshot().to_list()
    row = reader.snapshot()
    for bad in (lambda: row["missing"], lambda: row[5], lambda: row[None], lambda: row == [1]):
        run(bad, 1)


READS = {  # each entry point that reads a file, and how it can end
    "read_csv": read_csv,
    "iter_csv": lambda path, **options: next(iter_csv(path, batch_rows=5, **options)),
    "iter_csv walk": lambda path, **options: list(iter_csv(path, batch_rows=7, **options)),
    "sniff_delimiter": lambda path, **options: sniff_delimiter(path),
}
FILES = ["table.csv", "table.csv.gz", "missing", "dir", "bad16.csv", "big.csv", "big.csv.gz",
         "big_bad16.csv", "big_ragged.csv"]
OPTIONS = [{"strict": True}, {"encoding": "latin1"}, {"encoding": "nope"}, {"schema": {"a": "no"}},
           {"schema": {"a": int, "b": "str"}, "columns": ["b", "a"], "null_values": ["1"]},
           {"columns": "a"}]


def calls(f):
    """Every entry point, and the ways it can end."""
    records = [{"a": i, "b": "x,y", "c": None} for i in range(20)]
    rows = [["a", 1, None, "=2"]] * 20
    found = {f"{name} {file}": lambda read=read, path=f[file]: read(path)
             for name, read in READS.items() for file in FILES}
    found.update({f"{name} {options}": lambda read=read, options=options: read(
        f["ragged.csv" if "strict" in options else "table.csv"], **options)
        for name, read in READS.items() if name != "sniff_delimiter" for options in OPTIONS})
    return found | {
        "PyReader walk": walk_reader,
        "PyReader strict": lambda: PyReader(io.StringIO("a,b\nc\n"), strict=True),
        "PyReader surrogate": lambda: PyReader(io.StringIO("a,\ud800")),
        "PyReader from file": lambda: PyReader(open(f["table.csv"], newline="")),
        "PyWriter": lambda: PyWriter(io.StringIO()).writerows(rows),
        "PyWriter raising value": lambda: PyWriter(io.StringIO()).writerow(["a", Unprintable()]),
        "PyWriter raising write": lambda: PyWriter(Recording(OSError())).writerows(rows),
        "PyWriter to file": lambda: PyWriter(open(f["out"], "w", newline="")).writerow(["x"]),
        "writer": lambda: brelt.writer(io.StringIO(), ESCAPING).writerows(rows + [["é,\ud800"]]),
        "writer raising value": lambda: brelt.writer(io.StringIO(), EXCEL).writerows(
            [["a"], ["b", Unprintable()]]),
        "writer refusing a row": lambda: brelt.writer(io.StringIO(), UNQUOTED).writerow(["a,b"]),
        "DictWriter": lambda: brelt.DictWriter(io.StringIO(), "abc", EXCEL).writerows(records),
        "reader": lambda: list(brelt.reader(io.StringIO("a,b\n" * 20), EXCEL)),
        "DictReader": lambda: list(brelt.DictReader(io.StringIO("a,b\n" * 20), dialect=EXCEL)),
        **{f"write_csv {name}": lambda path=path, data=data: write_csv(path, data)
           for name, path, data in write_calls(f, records)},
    }


def write_calls(f, records):
    return (("", f["out"], records), ("compressed", f["out"] + ".gz", records),
            ("big full", "/dev/full", [{"a": "x" * 1000}] * 300),
            ("full", "/dev/full", [{"a": 1}]), ("directory", f["dir"], [{"a": 1}]),
            ("missing directory", f["missing"] + "/x", [{"a": 1}]),
            ("later non-dict", f["out"], [{"a": 1}, 2]),
            ("raising value", f["out"], [{"a": Unprintable()}]), ("bad header", f["out"], [{1: 1}]))


# Bytes of growth allowed over LOOPS calls; a leak of one object or buffer
# per call goes past them.
LIMITS = {"python": 12 * 1024, "native": 4 * 1024, "rss": 8 << 20, "refs": LOOPS}
BIG = ("big", " to file", " from file")  # too slow to repeat LOOPS times


def test_memory_stays_flat(files):
    grown = {name: growth(call) for name, call in calls(files).items()
             if not any(word in name for word in BIG)}
    assert {name: g for name, g in grown.items()
            if any(g[gauge] > limit for gauge, limit in LIMITS.items())} == {}


def test_the_gauges_see_a_leak():
    kept = []
    assert growth(lambda: kept.append(bytearray(60)))["python"] > LIMITS["python"]
    if MALLINFO2:
        assert growth(lambda: kept.append(ctypes.create_string_buffer(600)))["native"] > \
            LIMITS["native"]


def test_no_call_leaves_a_descriptor_open(files):
    for name, call in calls(files).items():
        run(call, 1)  # warms up whatever the first call sets up
        before = sorted(os.listdir("/proc/self/fd"))
        run(call, 1)
        assert sorted(os.listdir("/proc/self/fd")) == before, name


OUT_OF_MEMORY = """
    import io, resource, sys
    from brelt._core import PyReader, PyWriter, read_csv
    path, rows = sys.argv[1], [["a", "b,c", str(i)] for i in range(50_000)]
    calls = [lambda: read_csv(path), lambda: PyWriter(io.StringIO()).writerows(rows),
             lambda: PyReader(io.StringIO(open(path).read())).fetch_many_lists(10**9)]
    read_csv(path, max_rows=1)  # the worker pool exists before the limit
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    in_use = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
    for megabytes in (4, 16, 48, 96):
        resource.setrlimit(resource.RLIMIT_AS, (in_use + megabytes * 2**20, hard))
        for call in calls:
            try:
                call()
            except (MemoryError, ValueError) as error:
                print(type(error).__name__)
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    [call() for call in calls]  # all work again once there is memory
"""


@pytest.mark.skipif(SANITIZED, reason="the sanitizer's allocator dies when memory runs out")
def test_running_out_of_memory_raises(tmp_path):
    path = tmp_path / "mid.csv"
    path.write_text("a,b,c\n" + "".join(f"{i},{i / 3},t{i % 100}\n" for i in range(100_000)))
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(OUT_OF_MEMORY), str(path)],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    assert "MemoryError" in result.stdout.split()
