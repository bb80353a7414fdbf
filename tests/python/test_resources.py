"""Every entry point gives back what it takes, whether it succeeds or fails:
repeating a call leaves memory flat and no file descriptor open, and running
out of memory is an exception like any other.

Memory has three gauges, as available: Python allocations (tracemalloc;
catches objects kept alive by a lost reference), the C allocator's bytes in
use (glibc's mallinfo2; native allocations never freed, which tracemalloc does
not see) and the resident set size (coarse: anything else, such as mappings).
In debug builds of the interpreter the total reference count must stay flat
too. Under AddressSanitizer only tracemalloc counts: the sanitizer keeps freed
memory in quarantine and replaces the allocator's statistics."""

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
        "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks",
        "fordblks", "keepcost")]


def native_in_use():
    info = MALLINFO2()
    return info.uordblks + info.hblkhd


MALLINFO2 = None if SANITIZED else getattr(ctypes.CDLL(None), "mallinfo2", None)
if MALLINFO2 is not None:
    MALLINFO2.restype = MallInfo2


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
    refs = getattr(sys, "gettotalrefcount", lambda: 0)()
    native, resident = native_in_use() if MALLINFO2 else 0, rss()
    tracemalloc.start()
    try:
        run(operation, LOOPS)
        gc.collect()
        python = tracemalloc.get_traced_memory()[0]
    finally:
        tracemalloc.stop()
    return {"python": python, "native": native_in_use() - native if MALLINFO2 else 0,
            "rss": rss() - resident if not SANITIZED else 0,
            "refs": getattr(sys, "gettotalrefcount", lambda: 0)() - refs}


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    d = tmp_path_factory.mktemp("resources")
    rows = "".join(f"{i},{i / 3},name{i % 50},{'yes' if i % 2 else 'no'}\n" for i in range(100))
    big_row = b"1,2.5,text\n"
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
    reader = PyReader(io.StringIO("a,b,c\n" + "1,é,x\n" * 50))
    reader.set_field_names(["a", "b", "c"])
    for _ in reader:
        reader["b"], reader.get("z"), reader.items(), reader.snapshot().to_list()
    row = reader.snapshot()
    for bad in (lambda: row["missing"], lambda: row[5], lambda: row[None], lambda: row == [1]):
        run(bad, 1)
    list(iter(row))


def calls(f):
    """Every entry point, and the ways it can end."""
    records = [{"a": i, "b": "x,y", "c": None} for i in range(50)]
    rows = [["a", 1, None, "=2"]] * 50
    return {
        "read_csv": lambda: read_csv(f["table.csv"]),
        "read_csv typed and selected": lambda: read_csv(
            f["table.csv"], schema={"a": int, "b": "str"}, columns=["b", "a"], null_values=["1"]),
        "read_csv compressed": lambda: read_csv(f["table.csv.gz"]),
        "read_csv missing": lambda: read_csv(f["missing"]),
        "read_csv directory": lambda: read_csv(f["dir"]),
        "read_csv bad utf-16": lambda: read_csv(f["bad16.csv"]),
        "read_csv unknown label": lambda: read_csv(f["table.csv"], encoding="nope"),
        "read_csv strict": lambda: read_csv(f["ragged.csv"], strict=True),
        "read_csv unknown type": lambda: read_csv(f["table.csv"], schema={"a": "nope"}),
        "read_csv bad argument": lambda: read_csv(f["table.csv"], columns="a"),
        "read_csv big": lambda: read_csv(f["big.csv"], max_rows=3),
        "read_csv big strict": lambda: read_csv(f["big_ragged.csv"], strict=True),
        "read_csv big bad utf-16": lambda: read_csv(f["big_bad16.csv"]),
        "read_csv big label": lambda: read_csv(f["big.csv"], encoding="latin1", max_rows=1),
        "read_csv big compressed": lambda: read_csv(f["big.csv.gz"], max_rows=3),
        "iter_csv walk": lambda: list(iter_csv(f["table.csv"], batch_rows=7)),
        "iter_csv compressed": lambda: list(iter_csv(f["table.csv.gz"], batch_rows=30)),
        "iter_csv dropped early": lambda: next(iter_csv(f["table.csv"], batch_rows=5)),
        "iter_csv compressed dropped early": lambda: next(iter_csv(f["table.csv.gz"], batch_rows=5)),
        "iter_csv big dropped": lambda: next(iter_csv(f["big.csv"], batch_rows=5)),
        "iter_csv big compressed dropped": lambda: next(iter_csv(f["big.csv.gz"], batch_rows=5)),
        "iter_csv big strict": lambda: list(iter_csv(f["big_ragged.csv"], strict=True)),
        "iter_csv missing": lambda: iter_csv(f["missing"]),
        "sniff_delimiter": lambda: sniff_delimiter(f["table.csv"]),
        "sniff_delimiter missing": lambda: sniff_delimiter(f["missing"]),
        "sniff_delimiter directory": lambda: sniff_delimiter(f["dir"]),
        "sniff_delimiter bad utf-16": lambda: sniff_delimiter(f["bad16.csv"]),
        "sniff_delimiter big bad utf-16": lambda: sniff_delimiter(f["big_bad16.csv"]),
        "sniff_delimiter big compressed": lambda: sniff_delimiter(f["big.csv.gz"]),
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
        "DictWriter": lambda: brelt.DictWriter(io.StringIO(), ["a", "b", "c"], EXCEL).writerows(
            records),
        "reader": lambda: list(brelt.reader(io.StringIO("a,b\n" * 50), EXCEL)),
        "DictReader": lambda: list(brelt.DictReader(io.StringIO("a,b\n" * 50), dialect=EXCEL)),
        "write_csv": lambda: write_csv(f["out"], records),
        "write_csv compressed": lambda: write_csv(f["out"] + ".gz", records),
        "write_csv big full": lambda: write_csv("/dev/full", [{"a": "x" * 1000}] * 300),
        "write_csv full at close": lambda: write_csv("/dev/full", [{"a": 1}]),
        "write_csv directory": lambda: write_csv(f["dir"], [{"a": 1}]),
        "write_csv missing directory": lambda: write_csv(f["missing"] + "/x.csv", [{"a": 1}]),
        "write_csv later non-dict": lambda: write_csv(f["out"], [{"a": 1}, 2]),
        "write_csv raising value": lambda: write_csv(f["out"], [{"a": Unprintable()}]),
        "write_csv bad header": lambda: write_csv(f["out"], [{1: 1}]),
    }


# Bytes of growth allowed over LOOPS calls; a leak of one object or buffer
# per call goes past them.
LIMITS = {"python": 8 * 1024, "native": 4 * 1024, "rss": 8 << 20, "refs": LOOPS}
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
    path = sys.argv[1]
    text = open(path).read()
    rows = [["a", "b,c", str(i)] for i in range(50_000)]
    calls = {
        "read_csv": lambda: len(read_csv(path)),
        "PyReader": lambda: len(PyReader(io.StringIO(text)).fetch_many_lists(10**9)),
        "writerows": lambda: PyWriter(io.StringIO()).writerows(rows),
    }
    read_csv(path, max_rows=1)  # the worker pool exists before the limit
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    in_use = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
    outcomes = set()
    for megabytes in (4, 16, 48, 96):
        resource.setrlimit(resource.RLIMIT_AS, (in_use + megabytes * 2**20, hard))
        for call in calls.values():
            try:
                call()
                outcomes.add("ok")
            except (MemoryError, ValueError) as error:
                outcomes.add(type(error).__name__)
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    for call in calls.values():  # all work again once there is memory
        call()
    print(*sorted(outcomes))
"""


@pytest.mark.skipif(SANITIZED, reason="the sanitizer's allocator dies when memory runs out")
def test_running_out_of_memory_raises(tmp_path):
    path = tmp_path / "mid.csv"
    path.write_text("a,b,c\n" + "".join(f"{i},{i / 3},t{i % 100}\n" for i in range(100_000)))
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(OUT_OF_MEMORY), str(path)],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    assert "MemoryError" in result.stdout.split()
