"""read_csv against the csv module, on generated mixed rows.

    PYTHONPATH=<repo> python bench/read_csv_bench.py [--megabytes 50] [--repeat 5]

Runs are interleaved (brelt, peer, brelt, peer, ...) and the medians compared:
  read_csv(path)                 vs  list(csv.DictReader(f))          (untyped)
  read_csv(path)                 vs  csv.DictReader + a typing pass    (same values)
The cyclic garbage collector stays on, as in ordinary programs. The size of
the worker pool is fixed per process, so one and two threads are compared in
child processes.
"""

import argparse
import csv
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from writing_bench import COLUMNS, generate_rows  # noqa: E402

from brelt import read_csv  # noqa: E402


def typed(text):
    """What read_csv makes of a cell, in plain Python (the peer's typing pass)."""
    t = text.strip()
    if t in ("", "NA", "null", "None"):
        return None
    try:
        return int(t)
    except ValueError:
        pass
    try:
        return float(t)
    except ValueError:
        pass
    lowered = t.lower()
    if lowered in ("true", "yes"):
        return True
    if lowered in ("false", "no"):
        return False
    return t


def interleaved(repeat, tasks):
    times = {name: [] for name in tasks}
    for _ in range(repeat):
        for name, run in tasks.items():
            start = time.perf_counter()
            run()
            times[name].append(time.perf_counter() - start)
    return {name: statistics.median(values) for name, values in times.items()}


def child_time(path, threads, repeat):
    code = (f"import time, statistics; from brelt import read_csv\n"
            f"read_csv({path!r}, n_threads={threads})\n"
            f"t = []\n"
            f"for _ in range({repeat}):\n"
            f"    s = time.perf_counter(); read_csv({path!r}); t.append(time.perf_counter() - s)\n"
            f"print(statistics.median(t))")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    return float(out.stdout)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--megabytes", type=float, default=50)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    rows = generate_rows(args.megabytes)
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "mixed.csv")
        with open(path, "w", newline="", encoding="utf-8") as f:
            writer = csv.writer(f)
            writer.writerow(COLUMNS)
            writer.writerows(rows)
        del rows
        size = os.path.getsize(path) / 1e6
        print(f"Python {sys.version.split()[0]}, {size:.1f} MB mixed file, "
              f"median of {args.repeat}, interleaved")

        def dict_reader():
            with open(path, newline="", encoding="utf-8") as f:
                return list(csv.DictReader(f))

        def dict_reader_typed():
            with open(path, newline="", encoding="utf-8") as f:
                return [{k: typed(v) for k, v in row.items()} for row in csv.DictReader(f)]

        medians = interleaved(args.repeat, {
            "read_csv": lambda: read_csv(path),
            "DictReader": dict_reader,
            "DictReader+typing": dict_reader_typed,
        })
        ours = medians["read_csv"]
        print(f"read_csv            {ours:7.3f} s  {size / ours:6.1f} MB/s")
        for peer in ("DictReader", "DictReader+typing"):
            print(f"{peer:<19} {medians[peer]:7.3f} s  ratio {medians[peer] / ours:.2f}x")

        one, two = child_time(path, 1, args.repeat), child_time(path, 2, args.repeat)
        print(f"read_csv 1 thread {one:.3f} s, 2 threads {two:.3f} s: {one / two:.2f}x")


if __name__ == "__main__":
    main()
