"""brelt against the csv module and pandas, on generated and real tables.

    PYTHONPATH=<repo> python bench/run.py [--quick] [--repeat 5] [--only TASK ...]

Everything runs in this interpreter; each task's libraries are timed
interleaved, and ratios are peer time / brelt time (above 1: brelt is
faster). The cyclic garbage collector stays on, as in ordinary programs.
Peak memory is measured per (task, library) on the mixed dataset in a fresh
process. Results print as Markdown tables and can be saved as JSON."""

import argparse
import json
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import datasets  # noqa: E402
import harness  # noqa: E402
import tasks  # noqa: E402

FULL_SIZES = {"mixed": 50, "quoted20": 20, "numeric200": 20, "narrow2": 20}
QUICK_SIZES = {name: 2 for name in FULL_SIZES}
DEFAULT_CACHE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build",
                             "bench-data")


def megabytes(path):
    return os.path.getsize(path) / 1e6


def run_task(task, files, repeat, scratch):
    """{dataset: {library: Timing}} for one task."""
    results = {}
    for dataset, path in files.items():
        ctx = tasks.Context(path, scratch)
        runs = {library: make(ctx) for library, make in task.libraries.items()}
        results[dataset] = harness.interleaved(runs, repeat)
        del ctx, runs
    return results


def print_task(task, files, results):
    peers = [library for library in task.libraries if library != tasks.BRELT]
    print(f"\n### {task.name}: {task.what}\n")
    print("| dataset | MB | brelt s (min–max) | " +
          " | ".join(f"{peer} s | ratio" for peer in peers) + " |")
    print("|---|---:|---:|" + "---:|---:|" * len(peers))
    for dataset, timings in results.items():
        ours = timings[tasks.BRELT]
        cells = [f"{timings[peer].median:.4g} | **{timings[peer].median / ours.median:.2f}x**"
                 for peer in peers]
        print(f"| {dataset} | {megabytes(files[dataset]):.1f} | {ours.median:.4g} "
              f"({ours.spread()}) | " + " | ".join(cells) + " |")


def sniff_report(repeat, scratch):
    corpus = datasets.sniff_corpus()
    paths = []
    for i, (text, _) in enumerate(corpus):
        path = os.path.join(scratch, f"sniff-{i}.csv")
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        paths.append(path)
    runs = tasks.sniff_runs(paths)
    timings = harness.interleaved(runs, repeat)
    expected = [delimiter for _, delimiter in corpus]
    tricky = [i % 2 == 1 for i in range(len(corpus))]
    print(f"\n### sniff: the delimiter of {len(paths)} small files "
          "(every other one with quoted fields holding other candidates)\n")
    print("| library | s per file | ratio | right (all) | right (quoted candidates) |")
    print("|---|---:|---:|---:|---:|")
    report = {}
    for library, run in runs.items():
        guesses = run()
        right = [g == e for g, e in zip(guesses, expected)]
        hard = sum(r for r, t in zip(right, tricky) if t)
        ratio = timings[library].median / timings[tasks.BRELT].median
        print(f"| {library} | {timings[library].median / len(paths) * 1e6:.1f} µs | {ratio:.2f}x "
              f"| {sum(right)}/{len(right)} | {hard}/{sum(tricky)} |")
        report[library] = {"seconds": timings[library].seconds, "right": sum(right),
                           "right_quoted": hard}
    return report


def snapshot_report(path, loops=100_000):
    """What Row snapshots cost once the row pool is warm."""
    import brelt
    with open(path, encoding="utf-8", newline="") as f:
        reader = brelt.PyReader(f)
    next(reader)
    for _ in range(1000):
        row = reader.snapshot()
        del row
    blocks = sys.getallocatedblocks()
    start = time.perf_counter()
    for _ in range(loops):
        row = reader.snapshot()
        del row
    elapsed = time.perf_counter() - start
    grown = sys.getallocatedblocks() - blocks
    print(f"\nsnapshot() with a warm pool: {elapsed / loops * 1e9:.0f} ns each; "
          f"{grown} blocks allocated over {loops:,} snapshot/del loops")
    return {"ns": elapsed / loops * 1e9, "blocks": grown}


def memory_report(selected, path):
    """Peak memory of each (task, library) on one dataset, each in a fresh process."""
    size = os.path.getsize(path)
    print(f"\n### peak memory on {os.path.basename(path)} ({size / 2**20:.0f} MiB), "
          "each in a fresh process\n")
    print("| task | library | peak MiB | retained MiB | peak − retained, × file |")
    print("|---|---|---:|---:|---:|")
    report = {}
    for task in selected:
        for library in task.libraries:
            measured = harness.peak_in_subprocess(task.name, library, path)
            if measured is None:
                print(f"| {task.name} | {library} | failed | | |")
                continue
            peak, retained = measured
            report[f"{task.name}/{library}"] = measured
            print(f"| {task.name} | {library} | {peak / 2**20:.0f} | {retained / 2**20:.0f} | "
                  f"{(peak - retained) / size:.2f} |")
    return report


def probe(task_name, library, path):
    """Child side of the memory measurement: set up, then measure one call."""
    with tempfile.TemporaryDirectory() as scratch:
        ctx = tasks.Context(path, scratch)
        run = tasks.TASKS_BY_NAME[task_name].libraries[library](ctx)
        print(json.dumps(harness.measure_peak(run)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="2 MB datasets, 3 runs")
    parser.add_argument("--repeat", type=int, help="timed runs per library (default 5)")
    parser.add_argument("--only", nargs="+", help="task names, 'sniff' and 'memory'")
    parser.add_argument("--cache", default=DEFAULT_CACHE, help="where datasets are kept")
    parser.add_argument("--no-vega", action="store_true", help="generated datasets only")
    parser.add_argument("--json", help="also save the results here")
    parser.add_argument("--probe", nargs=3, metavar=("TASK", "LIBRARY", "PATH"),
                        help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.probe:
        probe(*args.probe)
        return

    repeat = args.repeat or (3 if args.quick else 5)
    only = set(args.only or [t.name for t in tasks.TASKS] + ["sniff", "memory"])
    os.makedirs(args.cache, exist_ok=True)
    files = datasets.generated_files(args.cache, QUICK_SIZES if args.quick else FULL_SIZES)
    if not args.no_vega:
        files.update(datasets.vega_files(args.cache))
    print(f"## Python {sys.version.split()[0]} ({sys.executable}), "
          f"pandas {tasks.pandas.__version__ if tasks.pandas else 'not installed'}; "
          f"medians of {repeat} interleaved runs\n")
    selected = [task for task in tasks.TASKS if task.name in only]
    saved = {"python": sys.version, "repeat": repeat, "tasks": {}}
    with tempfile.TemporaryDirectory() as scratch:
        for task in selected:
            results = run_task(task, files, repeat, scratch)
            print_task(task, files, results)
            saved["tasks"][task.name] = {
                dataset: {library: timing.seconds for library, timing in timings.items()}
                for dataset, timings in results.items()}
        if "sniff" in only:
            saved["sniff"] = sniff_report(repeat, scratch)
    if "iterate" in only:
        saved["snapshot"] = snapshot_report(files["mixed"])
    if "memory" in only:
        saved["memory"] = memory_report(selected, files["mixed"])
    if args.json:
        with open(args.json, "w") as f:
            json.dump(saved, f, indent=1)


if __name__ == "__main__":
    main()
