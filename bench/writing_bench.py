"""Writing throughput against the csv module, on generated mixed rows.

    PYTHONPATH=<repo> python bench/writing_bench.py [--megabytes 50] [--repeat 3]

Two comparisons, each reported as MB/s of CSV text and as a ratio:
  PyWriter.writerows(rows) into io.StringIO   vs  csv.writer(...).writerows(rows)
  write_csv(path, dicts)                       vs  csv.DictWriter writeheader + writerows
The cyclic garbage collector stays on, as in ordinary programs.
"""

import argparse
import csv
import io
import os
import random
import sys
import tempfile
import time

from brelt import PyWriter, write_csv

COLUMNS = ["id", "name", "city", "amount", "ratio", "date", "flag", "note"]
WORDS = ["alpha", "beta", "gamma", "delta", "Zürich", "São Paulo", "東京", "Ørsted",
         "north", "south", "east", "west", "river", "harbour", "station", "market"]


def generate_rows(megabytes, seed=7):
    """Lists of str: integers, decimals, words, dates, flags, empty fields, and
    a few values that need quoting (delimiters, quotes, line breaks)."""
    rng = random.Random(seed)
    rows, size = [], 0
    while size < megabytes * 1_000_000:
        note = rng.random()
        if note < 0.05:
            note = f'said "{rng.choice(WORDS)}"'
        elif note < 0.10:
            note = f"{rng.choice(WORDS)}, {rng.choice(WORDS)}"
        elif note < 0.12:
            note = f"line one\nline {rng.randrange(100)}"
        elif note < 0.40:
            note = ""
        else:
            note = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(1, 5)))
        row = [
            str(rng.randrange(10**9)),
            rng.choice(WORDS) + " " + rng.choice(WORDS),
            rng.choice(WORDS),
            f"{rng.uniform(-1e5, 1e5):.2f}",
            repr(rng.random()),
            f"20{rng.randrange(10, 25)}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}",
            rng.choice(["true", "false"]),
            note,
        ]
        rows.append(row)
        size += sum(len(v) for v in row) + len(row) + 1
    return rows


def timings(repeat, run):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return times


def report(label, output_bytes, ours, theirs):
    mb = output_bytes / 1e6
    print(f"{label}: {mb:.1f} MB  brelt {ours:.3f} s ({mb / ours:.0f} MB/s)  "
          f"csv {theirs:.3f} s ({mb / theirs:.0f} MB/s)  ratio {theirs / ours:.2f}x")


def csv_text(rows):
    out = io.StringIO()
    csv.writer(out).writerows(rows)
    return out.getvalue()


def bench_writerows(rows, repeat):
    def ours():
        PyWriter(io.StringIO()).writerows(rows)

    def theirs():
        csv.writer(io.StringIO()).writerows(rows)

    size = len(csv_text(rows).encode())
    # The first call also fills each non-ASCII str's cached UTF-8 form, which
    # later calls reuse.
    our_times = timings(repeat, ours)
    report("PyWriter.writerows -> StringIO", size, min(our_times), min(timings(repeat, theirs)))
    print(f"  (PyWriter first call on fresh strings: {our_times[0]:.3f} s)")


def bench_write_csv(rows, repeat, directory):
    dicts = [dict(zip(COLUMNS, row)) for row in rows]
    ours_path = os.path.join(directory, "brelt.csv")
    theirs_path = os.path.join(directory, "csv.csv")

    def ours():
        write_csv(ours_path, dicts)

    def theirs():
        with open(theirs_path, "w", newline="", encoding="utf-8") as f:
            writer = csv.DictWriter(f, fieldnames=COLUMNS)
            writer.writeheader()
            writer.writerows(dicts)

    ours_time, theirs_time = min(timings(repeat, ours)), min(timings(repeat, theirs))
    report("write_csv -> file             ", os.path.getsize(ours_path), ours_time, theirs_time)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--megabytes", type=float, default=50)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    print(f"Python {sys.version.split()[0]}, ~{args.megabytes:g} MB of mixed rows, "
          f"best of {args.repeat}")
    rows = generate_rows(args.megabytes)
    print(f"{len(rows):,} rows of {len(COLUMNS)} fields")
    bench_writerows(rows, args.repeat)
    with tempfile.TemporaryDirectory() as directory:
        bench_write_csv(rows, args.repeat, directory)


if __name__ == "__main__":
    main()
