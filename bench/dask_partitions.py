"""brelt.dask.read_csv(...).count() against dask.dataframe.read_csv on one big
file, both on a two-process distributed.LocalCluster with the same block size,
and brelt.read_csv on one process; plus the time to plan the partitions.

    PYTHONPATH=<repo>:<build>/python /usr/bin/python3 bench/dask_partitions.py \
        [--gigabytes 1] [--blocksize 64MiB] [--repeat 3] [--dir build/bench-data]

Runs on the system Python, which has Debian's Dask. The file (the mixed rows
of big_file_memory.py) quotes some fields but holds no quoted line break, so
Dask's split at line breaks is right too and both read the same rows. Runs
are interleaved; medians and the spread are printed. Not part of the test
suite: it writes a 1 GB file and takes minutes.
"""

import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from big_file_memory import write_file  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--gigabytes", type=float, default=1.0)
    parser.add_argument("--blocksize", default="64MiB")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--dir", default="build/bench-data")
    args = parser.parse_args()

    import dask.dataframe
    import dask.utils
    import distributed

    import brelt
    import brelt.dask

    os.makedirs(args.dir, exist_ok=True)
    path = os.path.join(args.dir, f"dask-mixed-{args.gigabytes:g}GB.csv")
    if not os.path.exists(path):
        write_file(path + ".part", int(args.gigabytes * 1e9))
        os.replace(path + ".part", path)
    size = os.path.getsize(path)
    blocksize = dask.utils.parse_bytes(args.blocksize)

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster):
        runs = {
            "brelt.plan_partitions": lambda: len(brelt.plan_partitions(
                path, partition_bytes=blocksize)),
            "brelt.dask.read_csv().count()": lambda: brelt.dask.read_csv(
                path, blocksize=blocksize).count().compute(),
            "dask.dataframe.read_csv(), len": lambda: len(dask.dataframe.read_csv(
                path, blocksize=blocksize)),
            "brelt.read_csv, one process": lambda: len(brelt.read_csv(path)),
        }
        seconds = {name: [] for name in runs}
        counts = {}
        for _ in range(args.repeat):
            for name, run in runs.items():
                start = time.perf_counter()
                counts[name] = run()
                seconds[name].append(time.perf_counter() - start)

    print(f"{path}: {size / 1e9:.2f} GB, block size {blocksize} bytes, "
          f"{counts['brelt.plan_partitions']} partitions, {args.repeat} interleaved runs")
    rows = {name: count for name, count in counts.items() if name != "brelt.plan_partitions"}
    assert len(set(rows.values())) == 1, rows
    base = statistics.median(seconds["brelt.dask.read_csv().count()"])
    for name, values in seconds.items():
        median = statistics.median(values)
        print(f"  {name:34} {median:8.2f} s  ({min(values):.2f}–{max(values):.2f})"
              f"  {size / median / 1e9:6.2f} GB/s  {median / base:5.2f}x brelt.dask")


if __name__ == "__main__":
    main()
