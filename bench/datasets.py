"""The benchmark inputs: CSV files generated deterministically, the real public
tables of the npm package vega-datasets (fetched once into a cache), and a
set of small files with known delimiters for the sniffing comparison."""

import csv
import io
import os
import random
import shutil
import subprocess
import tarfile
import tempfile

VEGA_PACKAGE = "vega-datasets@3.2.1"
# Its tables of 100 KB and more: enough rows for a per-file timing to mean something.
VEGA_MIN_BYTES = 100_000

MIXED_COLUMNS = ["id", "name", "city", "amount", "ratio", "date", "flag", "note"]
WORDS = ["alpha", "beta", "gamma", "delta", "Zürich", "São Paulo", "東京", "Ørsted",
         "north", "south", "east", "west", "river", "harbour", "station", "market"]


def _fill(megabytes, make_row):
    rows, size = [], 0
    while size < megabytes * 1_000_000:
        row = make_row()
        rows.append(row)
        size += sum(len(v) for v in row) + len(row) + 1
    return rows


def mixed_rows(megabytes, seed=7):
    """Integers, decimals, words (some non-ASCII), dates, flags, empty fields,
    and a few notes that need quoting."""
    rng = random.Random(seed)

    def note():
        pick = rng.random()
        if pick < 0.05:
            return f'said "{rng.choice(WORDS)}"'
        if pick < 0.10:
            return f"{rng.choice(WORDS)}, {rng.choice(WORDS)}"
        if pick < 0.12:
            return f"line one\nline {rng.randrange(100)}"
        if pick < 0.40:
            return ""
        return " ".join(rng.choice(WORDS) for _ in range(rng.randrange(1, 5)))

    return MIXED_COLUMNS, _fill(megabytes, lambda: [
        str(rng.randrange(10**9)),
        rng.choice(WORDS) + " " + rng.choice(WORDS),
        rng.choice(WORDS),
        f"{rng.uniform(-1e5, 1e5):.2f}",
        repr(rng.random()),
        f"20{rng.randrange(10, 25)}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}",
        rng.choice(["true", "false"]),
        note(),
    ])


def quoted_rows(megabytes, seed=8):
    """Six text columns; one field in five holds a delimiter, a quote or a line
    break and so is written quoted."""
    rng = random.Random(seed)
    special = ["Smith, John", 'said "hi" twice', "two\nlines", "a, b, and c", 'x "y", z']

    def field():
        if rng.random() < 0.2:
            return rng.choice(special)
        return f"plain{rng.randrange(10_000)}"

    return [f"t{k}" for k in range(6)], _fill(megabytes, lambda: [field() for _ in range(6)])


def numeric_rows(megabytes, seed=9, columns=200):
    """200 numeric columns: integers and decimals alternating."""
    rng = random.Random(seed)

    def row():
        return [str(rng.randrange(100_000)) if k % 2 else f"{rng.uniform(-1e3, 1e3):.3f}"
                for k in range(columns)]

    return [f"c{k}" for k in range(columns)], _fill(megabytes, row)


def narrow_rows(megabytes, seed=10):
    """Two columns, many rows: a key and a short word."""
    rng = random.Random(seed)
    return ["key", "word"], _fill(megabytes, lambda: [str(rng.randrange(10**6)),
                                                      rng.choice(WORDS[8:])])


GENERATED = {
    "mixed": mixed_rows,
    "quoted20": quoted_rows,
    "numeric200": numeric_rows,
    "narrow2": narrow_rows,
}


def write_table(path, header, rows):
    with open(path, "w", encoding="utf-8", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(header)
        writer.writerows(rows)


def generated_files(directory, sizes):
    """{name: path} of the generated datasets, written once per size."""
    paths = {}
    for name, megabytes in sizes.items():
        path = os.path.join(directory, f"{name}-{megabytes:g}MB.csv")
        if not os.path.exists(path):
            header, rows = GENERATED[name](megabytes)
            write_table(path + ".part", header, rows)
            os.replace(path + ".part", path)
        paths[name] = path
    return paths


def vega_files(cache):
    """{name: path} of the vega-datasets tables; empty, with a message, when the
    package cannot be fetched (offline, no npm)."""
    target = os.path.join(cache, "vega-datasets")
    if not os.path.isdir(target):
        if shutil.which("npm") is None:
            print("vega-datasets: skipped (npm is not installed)")
            return {}
        with tempfile.TemporaryDirectory() as scratch:
            try:
                subprocess.run(["npm", "pack", VEGA_PACKAGE, "--pack-destination", scratch],
                               check=True, capture_output=True, timeout=120)
            except (subprocess.SubprocessError, OSError) as error:
                print(f"vega-datasets: skipped (cannot fetch {VEGA_PACKAGE}: {error})")
                return {}
            archive = next(name for name in os.listdir(scratch) if name.endswith(".tgz"))
            with tarfile.open(os.path.join(scratch, archive)) as tar:
                members = [m for m in tar.getmembers()
                           if m.isfile() and m.name.startswith("package/data/")
                           and m.name.endswith(".csv")]
                os.makedirs(target + ".part", exist_ok=True)
                for member in members:
                    with tar.extractfile(member) as source, open(
                            os.path.join(target + ".part", os.path.basename(member.name)),
                            "wb") as out:
                        shutil.copyfileobj(source, out)
            os.replace(target + ".part", target)
    paths = {}
    for name in sorted(os.listdir(target)):
        path = os.path.join(target, name)
        if os.path.getsize(path) >= VEGA_MIN_BYTES:
            paths["vega/" + name[:-4]] = path
    return paths


def sniff_corpus(count=200, seed=11):
    """(text, delimiter) pairs: small tables with a known delimiter. Every
    other one quotes its text fields, and those hold the other candidate
    delimiters (and sometimes their own)."""
    rng = random.Random(seed)
    delimiters = [",", ";", "\t", "|", ":"]
    texts = []
    for i in range(count):
        delimiter = delimiters[i % len(delimiters)]
        tricky = i % 2 == 1
        others = [d for d in delimiters if d != delimiter]
        columns = rng.randrange(2, 8)
        out = io.StringIO()
        writer = csv.writer(out, delimiter=delimiter, lineterminator="\n",
                            quoting=csv.QUOTE_NONNUMERIC if tricky else csv.QUOTE_MINIMAL)
        writer.writerow([f"col{k}" for k in range(columns)])
        for _ in range(rng.randrange(5, 60)):
            row = []
            for _ in range(columns):
                if rng.random() < 0.4:
                    row.append(rng.randrange(1000))
                elif tricky:
                    glue = rng.choice(others + [delimiter])
                    row.append(glue.join(rng.choice(WORDS[8:]) for _ in range(3)))
                else:
                    row.append(rng.choice(WORDS[8:]))
            writer.writerow(row)
        texts.append((out.getvalue(), delimiter))
    return texts
