"""Time to the first row, total time and peak memory of reading a big file row
by row with brelt.reader and DictReader, beside the csv module's.

    PYTHONPATH=<repo> python bench/stream_memory.py [--gigabytes 1] [--dir /tmp] [--keep]

The file is the 50 MB mixed dataset of bench/datasets.py repeated (header
once) up to the size asked for, opened with newline="". Each (library,
reader) runs in its own child process, so one's peak does not hide
another's; the peak is the resident size's high-water mark above what the
process held just before opening the file. The budget: brelt's peak at most
32 MB above the csv module's. Not part of make bench: writing the file takes
a while.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import datasets  # noqa: E402

CHILD = r"""
import gc, sys, time
import brelt, csv

def kib(key):
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(key))

path, module, kind = sys.argv[1], sys.argv[2], sys.argv[3]
make = getattr(brelt if module == "brelt" else csv, kind)
gc.collect()
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
baseline = kib("VmRSS")
start = time.perf_counter()
with open(path, encoding="utf-8", newline="") as f:
    rows = make(f)
    next(rows)
    first = time.perf_counter() - start
    count = 1
    for _ in rows:
        count += 1
total = time.perf_counter() - start
print(first, total, (kib("VmHWM") - baseline) * 1024, count)
"""

BUDGET_ABOVE_CSV = 32 * 2**20


def write_file(path, target_bytes, cache):
    source = datasets.generated_files(cache, {"mixed": 50})["mixed"]
    with open(source, "rb") as f:
        header = f.readline()
        body = f.read()
    written = 0
    with open(path, "wb") as out:
        out.write(header)
        while written < target_bytes:
            out.write(body)
            written += len(body)
    return os.path.getsize(path)


def measure(path, module, kind):
    output = subprocess.run([sys.executable, "-c", CHILD, path, module, kind], check=True,
                            capture_output=True, text=True).stdout.split()
    first, total, peak = (float(v) for v in output[:3])
    return first, total, peak, int(output[3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--gigabytes", type=float, default=1.0)
    parser.add_argument("--dir", default=tempfile.gettempdir())
    parser.add_argument("--cache", default=os.path.join(os.path.dirname(__file__), "..",
                                                        "build", "bench-data"))
    parser.add_argument("--keep", action="store_true", help="keep the generated file")
    options = parser.parse_args()

    path = os.path.join(options.dir, f"brelt-stream-{os.getpid()}.csv")
    within = True
    try:
        size = write_file(path, int(options.gigabytes * 1e9), options.cache)
        print(f"## {size / 1e9:.2f} GB, Python {sys.version.split()[0]}\n")
        print("| reader | first row s | total s | peak MiB | rows |")
        print("|---|---:|---:|---:|---:|")
        for kind in ("reader", "DictReader"):
            peaks = {}
            for module in ("brelt", "csv"):
                first, total, peak, count = measure(path, module, kind)
                peaks[module] = peak
                print(f"| {module}.{kind} | {first:.4f} | {total:.1f} | {peak / 2**20:.1f} | "
                      f"{count:,} |")
            within &= peaks["brelt"] <= peaks["csv"] + BUDGET_ABOVE_CSV
    finally:
        if not options.keep and os.path.exists(path):
            os.remove(path)
    print(f"\nbrelt's peaks {'within' if within else 'OVER'} 32 MiB above the csv module's")
    return 0 if within else 1


if __name__ == "__main__":
    sys.exit(main())
