"""Reading throughput and memory against the csv module, on generated mixed rows.

    PYTHONPATH=<repo> python bench/reader_bench.py [--megabytes 50] [--runs 5] [--ascii]

Each comparison alternates the two sides (A B A B ...) and reports medians:
  PyReader, reading reader[0] and reader[3] per row   vs  csv.reader, row[0] and row[3]
  PyReader(...).fetch_many_lists(all rows)            vs  list(csv.reader(f))
Both include opening and reading the file. The rows are those of
writing_bench.py, whose words include non-ASCII ones, so file_obj.read()
gives a str of two bytes per character that must be encoded back to UTF-8;
--ascii drops those characters from the words, which shows the difference. The cyclic garbage collector stays
on, as in ordinary programs. Then: what snapshot() allocates with a warm pool,
and a reader's peak memory, measured in a fresh process.
"""

import argparse
import csv
import os
import statistics
import subprocess
import sys
import tempfile
import time

from brelt import PyReader
import writing_bench

# The peak of a fresh process while it builds one reader, to set against the
# table (text, one span per field and one entry per row) plus the str read()
# returns.
MEMORY_PROBE = r"""
import resource, sys
from brelt import PyReader
def peak_kib():
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
before = peak_kib()
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    reader = PyReader(f)
print(peak_kib() - before, reader.total_rows)
"""


def write_sample(path, megabytes, ascii_only):
    if ascii_only:
        writing_bench.WORDS = [word.encode("ascii", "ignore").decode().strip() or "x"
                               for word in writing_bench.WORDS]
    rows = writing_bench.generate_rows(megabytes)
    with open(path, "w", encoding="utf-8", newline="") as f:
        csv.writer(f).writerows(rows)
    return len(rows), sum(len(row) for row in rows)


def open_text(path):
    return open(path, encoding="utf-8", newline="")


def brelt_iterate(path):
    with open_text(path) as f:
        reader = PyReader(f)
    for _ in reader:
        reader[0]
        reader[3]


def csv_iterate(path):
    with open_text(path) as f:
        for row in csv.reader(f):
            row[0]
            row[3]


def brelt_batch(path):
    with open_text(path) as f:
        return PyReader(f).fetch_many_lists(10**9)


def csv_batch(path):
    with open_text(path) as f:
        return list(csv.reader(f))


def interleaved(runs, ours, theirs, path):
    ours_times, theirs_times = [], []
    for _ in range(runs):
        for run, times in ((ours, ours_times), (theirs, theirs_times)):
            start = time.perf_counter()
            result = run(path)
            times.append(time.perf_counter() - start)
            del result  # freed outside the timed region
    return ours_times, theirs_times


def report(label, size, ours_times, theirs_times):
    """Medians, and the best runs: fresh memory costs vary from run to run on
    some machines (virtual ones), and the reader touches far more of it."""
    mb = size / 1e6
    ours, theirs = statistics.median(ours_times), statistics.median(theirs_times)
    print(f"{label}: brelt {ours:.3f} s ({mb / ours:.0f} MB/s)  "
          f"csv {theirs:.3f} s ({mb / theirs:.0f} MB/s)  ratio {theirs / ours:.2f}x  "
          f"(best runs: {min(ours_times):.3f} s vs {min(theirs_times):.3f} s, "
          f"{min(theirs_times) / min(ours_times):.2f}x)")


def snapshot_allocations(path, loops=100_000):
    with open_text(path) as f:
        reader = PyReader(f)
    next(reader)
    for _ in range(1000):  # fill the pool
        del_me = reader.snapshot()
        del del_me
    blocks = sys.getallocatedblocks()
    start = time.perf_counter()
    for _ in range(loops):
        row = reader.snapshot()
        del row
    elapsed = time.perf_counter() - start
    delta = sys.getallocatedblocks() - blocks
    print(f"snapshot() with a warm pool: {elapsed / loops * 1e9:.0f} ns each, "
          f"{delta} blocks allocated over {loops:,} snapshot/del loops")


def peak_memory(path, rows, fields):
    text_bytes = os.path.getsize(path)
    with open_text(path) as f:
        str_bytes = sys.getsizeof(f.read())
    output = subprocess.run([sys.executable, "-c", MEMORY_PROBE, path], capture_output=True,
                            text=True, check=True, env=os.environ).stdout.split()
    peak_kib, total_rows = int(output[0]), int(output[1])
    # Stored text is at most the file's bytes (quotes and line ends are dropped).
    table = text_bytes + 8 * fields + 8 * rows
    print(f"peak memory of PyReader: {peak_kib / 1024:.0f} MiB for {total_rows:,} rows; "
          f"table bound {table / 2**20:.0f} MiB + read() str {str_bytes / 2**20:.0f} MiB "
          f"= {(table + str_bytes) / 2**20:.0f} MiB")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--megabytes", type=float, default=50)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--ascii", action="store_true", help="ASCII words only")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "mixed.csv")
        rows, fields = write_sample(path, args.megabytes, args.ascii)
        size = os.path.getsize(path)
        print(f"Python {sys.version.split()[0]}, {size / 1e6:.1f} MB "
              f"({'ASCII' if args.ascii else 'non-ASCII words'}), {rows:,} rows, "
              f"medians of {args.runs} interleaved runs")
        report("iterate, two fields per row", size,
               *interleaved(args.runs, brelt_iterate, csv_iterate, path))
        report("all rows as lists          ", size,
               *interleaved(args.runs, brelt_batch, csv_batch, path))
        snapshot_allocations(path)
        peak_memory(path, rows, fields)


if __name__ == "__main__":
    main()
