"""What is timed: each task is brelt's way of doing a job beside the ways
Python users do it today (the csv module; pandas where it is installed).

A task's libraries are factories: given a Context they do their setup (load
rows, pick fields) and return the zero-argument callable that is measured."""

import csv
import functools
import io
import os

import brelt

try:
    import pandas
except ImportError:  # the suite runs without it, minus the pandas peers
    pandas = None

BRELT = "brelt"


class Context:
    """One dataset file and what the writing tasks need from it, loaded once."""

    def __init__(self, path, scratch):
        self.path = path
        self.scratch = scratch

    def open(self):
        return open(self.path, encoding="utf-8", newline="")

    @functools.cached_property
    def header(self):
        with self.open() as f:
            return next(csv.reader(f))

    @functools.cached_property
    def rows(self):
        with self.open() as f:
            return list(csv.reader(f))[1:]

    @functools.cached_property
    def text_dicts(self):
        with self.open() as f:
            return list(csv.DictReader(f))

    @functools.cached_property
    def dicts(self):
        # Typed values, as a program would write back what it read.
        return brelt.read_csv(self.path)

    def output(self, name):
        return os.path.join(self.scratch, name + ".csv")


def typed(text):
    """What read_csv makes of a cell, in plain Python: the typing pass a csv
    module user would write to get the same values."""
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


# ---- read_csv: a whole file as a list of dicts ----

def read_brelt(ctx):
    return lambda: brelt.read_csv(ctx.path)


def read_dictreader(ctx):
    def run():
        with ctx.open() as f:
            return list(csv.DictReader(f))
    return run


def read_dictreader_typed(ctx):
    def run():
        with ctx.open() as f:
            return [{k: typed(v) for k, v in row.items()} for row in csv.DictReader(f)]
    return run


def read_pandas_records(ctx):
    return lambda: pandas.read_csv(ctx.path).to_dict("records")


def read_pandas_frame(ctx):
    return lambda: pandas.read_csv(ctx.path)


# ---- streaming: two fields of every row ----

def _two_fields(ctx):
    return 0, min(3, len(ctx.header) - 1)


def iterate_brelt(ctx):
    a, b = _two_fields(ctx)

    def run():
        with ctx.open() as f:
            reader = brelt.PyReader(f)
        for _ in reader:
            reader[a]
            reader[b]
    return run


def iterate_csv(ctx):
    a, b = _two_fields(ctx)

    def run():
        with ctx.open() as f:
            for row in csv.reader(f):
                row[a]
                row[b]
    return run


def fetch_brelt(ctx):
    def run():
        with ctx.open() as f:
            return brelt.PyReader(f).fetch_many_lists(2**62)
    return run


def fetch_csv(ctx):
    def run():
        with ctx.open() as f:
            return list(csv.reader(f))
    return run


# ---- the csv module's API: brelt.reader and DictReader against the csv module's ----

def rows_of(module, kind):
    """Every row of the file through module.reader or module.DictReader, one
    by one, as a program reads them; nothing kept."""
    def factory(ctx):
        def run():
            with ctx.open() as f:
                for _ in getattr(module, kind)(f):
                    pass
        return run
    return factory


# ---- writing ----

def writerows_brelt(ctx):
    rows = ctx.rows
    return lambda: brelt.PyWriter(io.StringIO()).writerows(rows)


def writerows_csv(ctx):
    rows = ctx.rows
    return lambda: csv.writer(io.StringIO()).writerows(rows)


def writer_writerows_brelt(ctx):
    rows = ctx.rows
    return lambda: brelt.writer(io.StringIO()).writerows(rows)


def writer_writerow_brelt(ctx):
    rows = ctx.rows

    def run():
        writerow = brelt.writer(io.StringIO()).writerow
        for row in rows:
            writerow(row)
    return run


def writer_writerow_csv(ctx):
    rows = ctx.rows

    def run():
        writerow = csv.writer(io.StringIO()).writerow
        for row in rows:
            writerow(row)
    return run


def dictwriter_brelt(ctx):
    dicts, header = ctx.text_dicts, ctx.header
    return lambda: brelt.DictWriter(io.StringIO(), header).writerows(dicts)


def dictwriter_csv(ctx):
    dicts, header = ctx.text_dicts, ctx.header
    return lambda: csv.DictWriter(io.StringIO(), header).writerows(dicts)


def write_csv_brelt(ctx):
    dicts, out = ctx.dicts, ctx.output("brelt")
    return lambda: brelt.write_csv(out, dicts)


def write_csv_dictwriter(ctx):
    dicts, out, header = ctx.dicts, ctx.output("dictwriter"), ctx.header

    def run():
        with open(out, "w", encoding="utf-8", newline="") as f:
            writer = csv.DictWriter(f, fieldnames=header)
            writer.writeheader()
            writer.writerows(dicts)
    return run


def write_csv_pandas(ctx):
    dicts, out = ctx.dicts, ctx.output("pandas")
    return lambda: pandas.DataFrame(dicts).to_csv(out, index=False)


class Task:
    def __init__(self, name, what, libraries, targets):
        self.name = name
        self.what = what
        self.libraries = libraries  # {library: factory}, brelt first
        self.targets = targets  # {peer: ratio the brief asks brelt to reach}


def _available(libraries):
    return {name: make for name, make in libraries.items()
            if pandas is not None or not name.startswith("pandas")}


TASKS = [
    Task("read_csv", "a file into a list of typed dicts", _available({
        BRELT: read_brelt,
        "csv.DictReader": read_dictreader,
        "DictReader+typing": read_dictreader_typed,
        "pandas read+to_dict": read_pandas_records,
        "pandas read_csv": read_pandas_frame,
    }), {"csv.DictReader": 4.0, "pandas read+to_dict": 2.0}),
    Task("iterate", "stream the rows, reading two fields of each", {
        BRELT: iterate_brelt,
        "csv.reader": iterate_csv,
    }, {"csv.reader": 3.0}),
    Task("fetch_all", "every row as a list of str", {
        BRELT: fetch_brelt,
        "list(csv.reader)": fetch_csv,
    }, {"list(csv.reader)": 1.5}),
    Task("csv_reader", "brelt.reader: every row, one by one", {
        BRELT: rows_of(brelt, "reader"),
        "csv.reader": rows_of(csv, "reader"),
    }, {"csv.reader": 3.0}),
    Task("csv_dictreader", "brelt.DictReader: every row, one by one", {
        BRELT: rows_of(brelt, "DictReader"),
        "csv.DictReader": rows_of(csv, "DictReader"),
    }, {"csv.DictReader": 3.0}),
    Task("writerows", "PyWriter: lists of str to CSV text (StringIO)", {
        BRELT: writerows_brelt,
        "csv.writer": writerows_csv,
    }, {"csv.writer": 2.0}),
    Task("writer.writerows", "brelt.writer, the csv module's text: lists of str (StringIO)", {
        BRELT: writer_writerows_brelt,
        "csv.writer": writerows_csv,
    }, {"csv.writer": 2.0}),
    Task("writer.writerow", "the same, one writerow call per row", {
        BRELT: writer_writerow_brelt,
        "csv.writer": writer_writerow_csv,
    }, {"csv.writer": 1.0}),
    Task("DictWriter.writerows", "dicts of str to CSV text (StringIO)", {
        BRELT: dictwriter_brelt,
        "csv.DictWriter": dictwriter_csv,
    }, {}),
    Task("write_csv", "typed dicts to a CSV file", _available({
        BRELT: write_csv_brelt,
        "csv.DictWriter": write_csv_dictwriter,
        "pandas to_csv": write_csv_pandas,
    }), {"csv.DictWriter": 3.0}),
]

TASKS_BY_NAME = {task.name: task for task in TASKS}


def sniff_runs(paths):
    """Both delimiter guessers over every file; a guess that raises is None."""

    def ours():
        return [brelt.sniff_delimiter(path) for path in paths]

    def theirs():
        guesses = []
        for path in paths:
            with open(path, encoding="utf-8", newline="") as f:
                sample = f.read(4096)
            try:
                guesses.append(csv.Sniffer().sniff(sample).delimiter)
            except csv.Error:
                guesses.append(None)
        return guesses

    return {BRELT: ours, "csv.Sniffer": theirs}
