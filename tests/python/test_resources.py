"""Files are released on every path: no call leaves a file descriptor open,
whether it succeeds or fails at any step, and iter_csv lets go of its file
when closed or dropped at any point. Running out of memory is an exception
like any other."""

import gzip
import os
import subprocess
import sys
import textwrap

import pytest

from brelt._core import PyReader, PyWriter, iter_csv, read_csv, sniff_delimiter, write_csv
from hostile_values import Unprintable

RUN_BYTES = 4 << 20  # the text is read in runs of this size

pytestmark = pytest.mark.skipif(not os.path.isdir("/proc/self/fd"), reason="needs /proc")


def open_descriptors():
    return sorted(os.listdir("/proc/self/fd"))


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    d = tmp_path_factory.mktemp("resources")
    paths = {}

    def put(name, contents):
        path = d / name
        path.write_bytes(contents)
        paths[name] = str(path)

    put("ok.csv", b"a,b\n1,x\n2,y\n")
    put("ragged.csv", b"a,b\n1\n")
    put("bad16.csv", b"\xff\xfea\x00\x00\xd8")  # a lone surrogate in UTF-16LE
    big_row = b"1,2.5,text\n"
    put("big.csv", b"a,b,c\n" + big_row * (RUN_BYTES // len(big_row) + 1))
    put("big_ragged.csv", b"a,b,c\n" + big_row * (RUN_BYTES // len(big_row)) + b"1\n")
    put("big_bad16.csv", b"\xff\xfe" + "a,b\n".encode("utf-16-le") * (RUN_BYTES // 8)
        + b"\x00\xdc")
    put("big.csv.gz", gzip.compress(b"a,b,c\n" + big_row * (RUN_BYTES // len(big_row) + 1),
                                    compresslevel=1))
    paths["dir"] = str(d)
    paths["missing"] = str(d / "missing.csv")
    paths["out"] = str(d / "out.csv")
    return paths


def failing(call):
    try:
        call()
    except Exception:
        return True
    return False


def calls(f):
    """Every way in which a call that touches a file can end."""
    return {
        "read_csv ok": lambda: read_csv(f["ok.csv"]),
        "read_csv missing": lambda: read_csv(f["missing"]),
        "read_csv directory": lambda: read_csv(f["dir"]),
        "read_csv bad utf-16": lambda: read_csv(f["bad16.csv"]),
        "read_csv unknown label": lambda: read_csv(f["ok.csv"], encoding="nope"),
        "read_csv strict": lambda: read_csv(f["ragged.csv"], strict=True),
        "read_csv unknown type": lambda: read_csv(f["ok.csv"], schema={"a": "complex"}),
        "read_csv big": lambda: read_csv(f["big.csv"], max_rows=3),
        "read_csv big strict": lambda: read_csv(f["big_ragged.csv"], strict=True),
        "read_csv big bad utf-16": lambda: read_csv(f["big_bad16.csv"]),
        "read_csv big label": lambda: read_csv(f["big.csv"], encoding="latin1", max_rows=1),
        "read_csv compressed": lambda: read_csv(f["big.csv.gz"], max_rows=3),
        "iter_csv dropped": lambda: next(iter_csv(f["big.csv"], batch_rows=5)),
        "iter_csv compressed dropped": lambda: next(iter_csv(f["big.csv.gz"], batch_rows=5)),
        "iter_csv strict": lambda: list(iter_csv(f["big_ragged.csv"], strict=True)),
        "iter_csv missing": lambda: iter_csv(f["missing"]),
        "sniff ok": lambda: sniff_delimiter(f["ok.csv"]),
        "sniff missing": lambda: sniff_delimiter(f["missing"]),
        "sniff directory": lambda: sniff_delimiter(f["dir"]),
        "sniff bad utf-16": lambda: sniff_delimiter(f["bad16.csv"]),
        "sniff big": lambda: sniff_delimiter(f["big.csv"]),
        "sniff big bad utf-16": lambda: sniff_delimiter(f["big_bad16.csv"]),
        "sniff compressed": lambda: sniff_delimiter(f["big.csv.gz"]),
        "write_csv ok": lambda: write_csv(f["out"], [{"a": 1}]),
        "write_csv empty": lambda: write_csv(f["out"], []),
        "write_csv full": lambda: write_csv("/dev/full", [{"a": "x" * 1000}] * 300),
        "write_csv full at close": lambda: write_csv("/dev/full", [{"a": 1}]),
        "write_csv directory": lambda: write_csv(f["dir"], [{"a": 1}]),
        "write_csv missing dir": lambda: write_csv(f["missing"] + "/x.csv", [{"a": 1}]),
        "write_csv later non-dict": lambda: write_csv(f["out"], [{"a": 1}, 5]),
        "write_csv raising value": lambda: write_csv(f["out"], [{"a": Unprintable()}]),
        "write_csv bad header": lambda: write_csv(f["out"], [{1: 1}]),
        "reader from file": lambda: PyReader(open(f["ok.csv"], newline="")),
        "writer to file": lambda: PyWriter(open(f["out"], "w", newline="")).writerow(["x"]),
    }


def test_no_call_leaves_a_descriptor_open(files):
    for name, call in calls(files).items():
        failing(call)  # warms up whatever the first call sets up
        before = open_descriptors()
        for _ in range(3):
            failing(call)
        assert open_descriptors() == before, name


OUT_OF_MEMORY = """
    import io, resource, sys
    from brelt._core import PyReader, PyWriter, read_csv
    path = sys.argv[1]
    text = open(path).read()
    rows = [["a", "b,c", str(i)] for i in range(100_000)]
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


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer's allocator dies when memory runs out")
def test_running_out_of_memory_raises(tmp_path):
    path = tmp_path / "mid.csv"
    path.write_text("a,b,c\n" + "".join(f"{i},{i / 3},t{i % 100}\n" for i in range(200_000)))
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(OUT_OF_MEMORY), str(path)],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    assert "MemoryError" in result.stdout.split()
