"""Time and peak memory of read_csv, PyReader and iter_csv on one big
generated file.

    PYTHONPATH=<repo> python bench/big_file_memory.py [--gigabytes 2] [--dir /tmp] [--keep]
                                                      [--only iter_csv ...]

The budget: the peak resident memory of read_csv, above what the process held
before the call, is at most the size of the result plus 1.5 times the file
size. iter_csv, which walks the file a batch at a time (10,000 rows, every
batch consumed and dropped), must stay within two batches (their size measured
as below) plus 64 MB, whatever the file's size. The result's size is the sum of sys.getsizeof over the list, its dicts
and every distinct value object (shared keys and cached strings once). For
PyReader the same bound is reported with the reader's table (text plus 8
bytes per field and per row) as its result, plus the str that file.read()
returns, which the reader needs by design.

Each reader runs in its own child process, so one's peak does not hide the
other's. Not part of the test suite: writing and reading a 2 GB file takes
minutes and several gigabytes of memory.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

COLUMNS = ["id", "amount", "ratio", "active", "city", "note"]
CITIES = ["Zürich", "Lyon", "Porto", "Kraków", "Oslo", "Tokyo", "Québec", "Austin"]


def write_file(path, target_bytes):
    """Mixed typed rows (ints, floats, booleans, repeated and unique text,
    nulls, some quoted) until the file reaches target_bytes."""
    written = 0
    row = 0
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(",".join(COLUMNS) + "\n")
        while written < target_bytes:
            lines = []
            for i in range(row, row + 10_000):
                note = "NA" if i % 17 == 0 else (f'"say ""hi"", {i}"' if i % 5 == 0 else f"n{i}")
                lines.append(f"{i},{i * 7 % 100_003},{i / 64},{'true' if i % 3 else 'false'},"
                             f"{CITIES[i % len(CITIES)]},{note}\n")
            block = "".join(lines)
            f.write(block)
            written += len(block.encode())
            row += 10_000
    return os.path.getsize(path), row


# Runs in the child: prints "seconds peak_bytes baseline_bytes result_bytes rows".
# Peak and baseline are resident sizes (VmHWM, VmRSS); mapped pages of the
# input count while they are resident.
CHILD = r"""
import gc, io, sys, time
from brelt._core import PyReader, iter_csv, read_csv

def kib(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1]) * 1024

def deep_size(rows):
    seen = set()
    total = sys.getsizeof(rows)
    for record in rows:
        total += sys.getsizeof(record)
        for value in record.values():
            if id(value) not in seen:
                seen.add(id(value))
                total += sys.getsizeof(value)
    for key in (rows[0] if rows else {}):
        total += sys.getsizeof(key)
    return total

path, which = sys.argv[1], sys.argv[2]
gc.collect()
baseline = kib("VmRSS")
start = time.perf_counter()
if which == "read_csv":
    rows = read_csv(path)
    seconds = time.perf_counter() - start
    peak = kib("VmHWM")  # before the walk below adds its own memory
    count, result = len(rows), deep_size(rows)
elif which == "iter_csv":
    count = batch_size = 0
    for batch in iter_csv(path):
        count += len(batch)
        if not batch_size:
            batch_size = deep_size(batch)
    seconds = time.perf_counter() - start
    peak = kib("VmHWM")
    result = batch_size  # one batch
else:
    with open(path, newline="", encoding="utf-8") as f:
        reader = PyReader(f)
    count = fields = 0
    while batch := reader.fetch_many_lists(10_000):
        count += len(batch)
        fields += sum(len(row) for row in batch)
    seconds = time.perf_counter() - start
    peak = kib("VmHWM")
    # The table: its text (at most the input) and 8 bytes per field and per row.
    import os
    result = os.path.getsize(path) + 8 * (fields + count)
print(seconds, peak, baseline, result, count)
"""


def measure(path, which):
    output = subprocess.run([sys.executable, "-c", CHILD, path, which], check=True,
                            capture_output=True, text=True).stdout.split()
    seconds, peak, baseline, result = (float(v) for v in output[:4])
    return seconds, peak - baseline, result, int(output[4])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--gigabytes", type=float, default=2.0)
    parser.add_argument("--dir", default=tempfile.gettempdir())
    parser.add_argument("--keep", action="store_true", help="keep the generated file")
    parser.add_argument("--only", nargs="+", choices=["read_csv", "PyReader", "iter_csv"],
                        default=["read_csv", "PyReader", "iter_csv"])
    options = parser.parse_args()

    path = os.path.join(options.dir, f"brelt-big-{os.getpid()}.csv")
    try:
        start = time.perf_counter()
        size, rows = write_file(path, int(options.gigabytes * 1e9))
        print(f"file: {size / 1e9:.3f} GB, {rows:,} rows, written in "
              f"{time.perf_counter() - start:.1f} s")
        within = True
        for which in options.only:
            seconds, peak, result, count = measure(path, which)
            if which == "iter_csv":
                budget = 2 * result + 64e6
            else:
                # PyReader also holds the str that file.read() returned.
                held = size if which == "PyReader" else 0
                budget = result + held + 1.5 * size
            ok = peak <= budget
            within &= ok
            what = "a batch" if which == "iter_csv" else "result"
            print(f"{which:9} {seconds:7.1f} s  {count:,} rows  peak +{peak / 1e6:,.0f} MB  "
                  f"{what} {result / 1e6:,.0f} MB  budget {budget / 1e6:,.0f} MB  "
                  f"{'within' if ok else 'OVER'}")
    finally:
        if not options.keep and os.path.exists(path):
            os.remove(path)
    return 0 if within else 1


if __name__ == "__main__":
    sys.exit(main())
