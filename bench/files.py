"""Compressed files, batched reads and sniffing, on the 50 MB mixed dataset.

    PYTHONPATH=<repo> python bench/files.py [--repeat 5] [--decompress-speed BINARY]

- read_csv of the file gzipped and zstd-compressed against read_csv of the
  plain file, and against pandas.read_csv(path).to_dict("records") on the
  same compressed file (where pandas can read it);
- iter_csv over the plain and the gzipped file (every batch consumed)
  against read_csv of the same file;
- sniff_delimiter on the 50 MB file, on its gzip and on a small file;
- with --decompress-speed (bench/decompress_speed.cpp), the MB/s of content
  each format gives through brelt's reader beside its system tool.

Timings are interleaved in this interpreter (bench/harness.py), with the
cyclic collector on; ratios are the other time over the first one's."""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import datasets  # noqa: E402
import harness  # noqa: E402

import brelt  # noqa: E402

try:
    import pandas
except ImportError:
    pandas = None

DEFAULT_CACHE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build",
                             "bench-data")
SMALL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples",
                     "airports.csv")
# Each format at its tool's default level.
TOOLS = {"gz": ["gzip"], "zst": ["zstd", "-q"], "bz2": ["bzip2"], "xz": ["xz"]}


def compressed_copies(path):
    """{extension: path} of the file compressed by each format's tool, made once."""
    copies = {}
    for extension, tool in TOOLS.items():
        target = f"{path}.{extension}"
        if shutil.which(tool[0]) is None:
            continue
        if not os.path.exists(target):
            with open(target + ".part", "wb") as out:
                subprocess.run([*tool, "-c", path], stdout=out, check=True)
            os.replace(target + ".part", target)
        copies[extension] = target
    return copies


def consume(batches):
    for _ in batches:
        pass


def table(title, header, rows):
    print(f"\n### {title}\n")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    for row in rows:
        print("| " + " | ".join(row) + " |")


def reads(plain, copies, repeat):
    runs = {
        "read_csv plain": lambda: brelt.read_csv(plain),
        "iter_csv plain": lambda: consume(brelt.iter_csv(plain)),
    }
    for extension in ("gz", "zst"):
        if extension in copies:
            path = copies[extension]
            runs[f"read_csv .{extension}"] = lambda path=path: brelt.read_csv(path)
    if "gz" in copies:
        runs["iter_csv .gz"] = lambda: consume(brelt.iter_csv(copies["gz"]))
    if pandas is not None:
        runs["pandas plain"] = lambda: pandas.read_csv(plain).to_dict("records")
        runs["pandas .gz"] = lambda: pandas.read_csv(copies["gz"]).to_dict("records")
    timings = harness.interleaved(runs, repeat)
    base = timings["read_csv plain"].median
    rows = [[name, f"{t.median:.3f} ({t.spread()})", f"{t.median / base:.2f}x"]
            for name, t in timings.items()]
    table(f"reading {os.path.basename(plain)} ({os.path.getsize(plain) / 1e6:.0f} MB), "
          f"medians of {repeat} interleaved runs", ["read", "s (min–max)", "÷ read_csv plain"],
          rows)
    if pandas is not None:
        ratio = timings["pandas .gz"].median / timings["read_csv .gz"].median
        print(f"\npandas.read_csv(.gz).to_dict('records') / read_csv(.gz): **{ratio:.2f}x**")
    return timings


def sniffing(plain, copies, repeat):
    runs = {"small file": lambda: brelt.sniff_delimiter(SMALL),
            "50 MB file": lambda: brelt.sniff_delimiter(plain)}
    if "gz" in copies:
        runs["50 MB file, gzip"] = lambda: brelt.sniff_delimiter(copies["gz"])
    timings = harness.interleaved(runs, repeat)
    table("sniff_delimiter", ["file", "µs (median)"],
          [[name, f"{t.median * 1e6:.0f}"] for name, t in timings.items()])


def decompressors(binary, copies, repeat):
    """brelt's reader (the C++ tool, median of `repeat` passes) beside the
    format's own tool, both writing nowhere, in MB of content per second."""
    measured = subprocess.run([binary, str(repeat), *copies.values()], check=True,
                              capture_output=True, text=True).stdout.split("\n")
    ours = {}
    for line in filter(None, measured):
        path, _, content_mb, speed = line.split()
        ours[path] = (float(content_mb), float(speed))
    rows = []
    for extension, path in copies.items():
        content_mb, speed = ours[path]
        seconds = []
        for _ in range(repeat):
            start = time.perf_counter()
            subprocess.run([*TOOLS[extension], "-d", "-c", path], stdout=subprocess.DEVNULL,
                           check=True)
            seconds.append(time.perf_counter() - start)
        tool = content_mb / sorted(seconds)[len(seconds) // 2]
        rows.append([extension, f"{os.path.getsize(path) / 1e6:.1f}", f"{speed:.0f}",
                     f"{tool:.0f}", f"{speed / tool:.2f}x"])
    table("decompressing, MB of content per second", [
        "format", "file MB", "brelt reader", f"{'/'.join(t[0] for t in TOOLS.values())} -dc",
        "ratio"], rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--cache", default=DEFAULT_CACHE)
    parser.add_argument("--decompress-speed", help="the brelt_decompress_speed binary")
    parser.add_argument("--megabytes", type=float, default=50)
    args = parser.parse_args()
    os.makedirs(args.cache, exist_ok=True)
    plain = datasets.generated_files(args.cache, {"mixed": args.megabytes})["mixed"]
    copies = compressed_copies(plain)
    print(f"## Python {sys.version.split()[0]}, pandas "
          f"{pandas.__version__ if pandas else 'not installed'}")
    reads(plain, copies, args.repeat)
    sniffing(plain, copies, args.repeat)
    if args.decompress_speed:
        decompressors(args.decompress_speed, copies, args.repeat)


if __name__ == "__main__":
    main()
