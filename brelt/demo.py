"""The tour of brelt on a CSV file, every step timed against the csv module:
python -m brelt.demo [FILE]. Without FILE it runs on the bundled sample."""

import argparse
import csv
import gzip
import io
import pathlib
import sys
import tempfile
import time
from collections.abc import Callable
from typing import Any, NamedTuple

import brelt

SAMPLE = pathlib.Path(__file__).resolve().parent.parent / "examples" / "airports.csv"


class Step(NamedTuple):
    name: str
    brelt_seconds: float
    csv_seconds: float
    result: str


def best_time(function: Callable[[], Any], runs: int) -> tuple[float, Any]:
    """The shortest of `runs` timings, and the last result."""
    best, result = float("inf"), None
    for _ in range(runs):
        start = time.perf_counter()
        result = function()
        best = min(best, time.perf_counter() - start)
    return best, result


def verdict(same: bool) -> str:
    return "identical" if same else "DIFFERENT"


def timed(name: str, ours: Callable[[], Any], theirs: Callable[[], Any], runs: int,
          judge: Callable[[Any, Any], str]) -> Step:
    brelt_seconds, our_result = best_time(ours, runs)
    csv_seconds, their_result = best_time(theirs, runs)
    return Step(name, brelt_seconds, csv_seconds, judge(our_result, their_result))


def tour(path: pathlib.Path, workdir: pathlib.Path, runs: int) -> list[Step]:
    text = path.read_text(encoding="utf-8", errors="replace")

    def open_text(file: pathlib.Path) -> io.TextIOWrapper:
        return open(file, encoding="utf-8", errors="replace", newline="")

    steps = [timed("sniff the delimiter", lambda: brelt.sniff(path),
                   lambda: csv.Sniffer().sniff(text[:65536], ",;\t|:").delimiter, runs,
                   lambda ours, theirs: f"{ours!r}, csv module {theirs!r}")]
    delimiter = brelt.sniff(path)

    def read_typed() -> list[dict[str, Any]]:
        return brelt.read_csv(str(path), delimiter=delimiter)

    def read_dicts() -> list[dict[str, str]]:
        with open_text(path) as f:
            return list(csv.DictReader(f, delimiter=delimiter))

    def describe_types(ours: list[dict[str, Any]], theirs: list[dict[str, str]]) -> str:
        types = " ".join(type(value).__name__ for value in ours[0].values()) if ours else "-"
        return f"{len(ours):,} dicts, columns {types} (csv module: {len(theirs):,}, all str)"

    steps.append(timed("read_csv, typed dicts", read_typed, read_dicts, runs, describe_types))

    # The same file gzipped: read by its content, decompressed as it is parsed.
    packed = workdir / (path.name + ".gz")
    packed.write_bytes(gzip.compress(path.read_bytes(), compresslevel=6))
    typed = read_typed()

    def read_gzip_dicts() -> list[dict[str, str]]:
        with gzip.open(packed, "rt", encoding="utf-8", errors="replace", newline="") as f:
            return list(csv.DictReader(f, delimiter=delimiter))

    steps.append(timed("read_csv, gzip file", lambda: brelt.read_csv(packed, delimiter=delimiter),
                       read_gzip_dicts, runs,
                       lambda ours, theirs: f"{packed.stat().st_size:,} bytes, "
                                            f"{verdict(ours == typed)} to the plain file's"))

    # Batches of typed dicts, a batch or two in memory at a time.
    def read_batches() -> list[list[dict[str, Any]]]:
        return list(brelt.iter_csv(path, delimiter=delimiter, batch_rows=1000))

    steps.append(timed("iter_csv, batches", read_batches, read_dicts, runs,
                       lambda ours, theirs: f"{len(ours):,} batches of up to 1,000, rows "
                                            f"{verdict(sum(ours, []) == typed)} to read_csv's"))

    def stream(make: Callable[..., Any]) -> Callable[[], list[list[str]]]:
        def read() -> list[list[str]]:
            with open_text(path) as f:
                return list(make(f, delimiter=delimiter))
        return read

    steps.append(timed("reader, stream rows", stream(brelt.reader), stream(csv.reader), runs,
                       lambda ours, theirs: f"{len(ours):,} rows, {verdict(ours == theirs)}"))
    rows = stream(csv.reader)()
    header, records = (rows[0], rows[1:]) if rows else ([], [])
    dicts = [dict(zip(header, record)) for record in records]

    def write_rows(make: Callable[..., Any]) -> Callable[[], str]:
        def write() -> str:
            out = io.StringIO(newline="")
            make(out, delimiter=delimiter).writerows(rows)
            return out.getvalue()
        return write

    steps.append(timed("writer, write rows", write_rows(brelt.writer), write_rows(csv.writer),
                       runs, lambda ours, theirs: f"text {verdict(ours == theirs)}"))

    ours_file, theirs_file = workdir / "brelt.csv", workdir / "csv.csv"

    def write_csv() -> None:
        brelt.write_csv(str(ours_file), dicts, delimiter=delimiter, safe=False)

    def write_dicts() -> None:
        with open(theirs_file, "w", encoding="utf-8", newline="") as f:
            writer = csv.DictWriter(f, header, delimiter=delimiter)
            writer.writeheader()
            writer.writerows(dicts)

    steps.append(timed("write_csv, write dicts", write_csv, write_dicts, runs,
                       lambda ours, theirs: f"{len(dicts):,} dicts"))

    def read_back(make: Callable[..., Any], file: pathlib.Path) -> Callable[[], list[Any]]:
        def read() -> list[Any]:
            with open_text(file) as f:
                return list(make(f, delimiter=delimiter))
        return read

    unique_header = len(set(header)) == len(header)
    steps.append(timed("DictReader, read back", read_back(brelt.DictReader, ours_file),
                       read_back(csv.DictReader, theirs_file), runs,
                       lambda ours, theirs: "both files " + verdict(
                           ours == theirs == dicts or not unique_header)))
    return steps


def print_table(steps: list[Step]) -> None:
    print(f"{'step':<24}{'brelt':>10}{'csv':>10}{'speed-up':>10}  result")
    for step in steps:
        speed_up = step.csv_seconds / step.brelt_seconds if step.brelt_seconds else float("inf")
        print(f"{step.name:<24}{step.brelt_seconds * 1e3:>8.2f}ms{step.csv_seconds * 1e3:>8.2f}ms"
              f"{speed_up:>9.1f}x  {step.result}")


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="python -m brelt.demo", description=__doc__)
    parser.add_argument("file", nargs="?", help="CSV file (default: the bundled airports sample)")
    parser.add_argument("--runs", type=int, default=5, help="timings per step; the best counts")
    args = parser.parse_args(argv)
    path = pathlib.Path(args.file) if args.file else SAMPLE
    if not path.is_file():
        parser.error(f"no such file: {path}")

    print(f"file: {path} ({path.stat().st_size:,} bytes); best of {args.runs} runs per step")
    with tempfile.TemporaryDirectory() as directory:
        steps = tour(path, pathlib.Path(directory), max(1, args.runs))
    print_table(steps)
    return 1 if any("DIFFERENT" in step.result for step in steps) else 0


if __name__ == "__main__":
    sys.exit(main())
