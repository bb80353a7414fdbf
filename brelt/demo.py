"""A short tour of brelt on a CSV file: python -m brelt.demo [FILE]."""

import argparse
import csv
import io
import pathlib
import sys
import tempfile

import brelt

SAMPLE = pathlib.Path(__file__).resolve().parent.parent / "examples" / "airports.csv"


def read_rows(text, delimiter):
    return list(csv.reader(io.StringIO(text, newline=""), delimiter=delimiter))


def verdict(same):
    return "identical" if same else "DIFFERENT"


def check_writers(path, delimiter):
    """Writes the file's records back out with both writers and reads them
    back; returns True when every record comes back identical."""
    text = path.read_text(encoding="utf-8", errors="replace")
    rows = read_rows(text, delimiter)
    ok = True

    out = io.StringIO(newline="")
    brelt.PyWriter(out, delimiter=delimiter).writerows(rows)
    same = read_rows(out.getvalue(), delimiter) == rows
    print(f"PyWriter:  {len(rows):,} records written, read back {verdict(same)}")
    ok &= same

    header, records = (rows[0], rows[1:]) if rows else ([], [])
    if len(set(header)) != len(header) or any(len(r) != len(header) for r in records):
        print("write_csv: skipped (the header repeats a name or the records are ragged)")
        return ok
    with tempfile.TemporaryDirectory() as directory:
        copy = pathlib.Path(directory) / "copy.csv"
        brelt.write_csv(str(copy), [dict(zip(header, r)) for r in records],
                        delimiter=delimiter, safe=False)
        written = copy.read_text(encoding="utf-8")
        read_back = brelt.read_csv(str(copy), delimiter=delimiter,
                                   schema=dict.fromkeys(header, str), null_values=[])
    # No dicts, no header: write_csv then leaves an empty file.
    same = read_rows(written, delimiter) == ([header] + records if records else [])
    same &= read_back == as_text_dicts(header, records)
    print(f"write_csv: {len(records):,} dicts written, read back {verdict(same)}")
    return ok and same


# What read_csv trims from every value: Unicode's White_Space characters.
WHITE_SPACE = "\t\n\v\f\r \x85\xa0\u1680\u2028\u2029\u202f\u205f\u3000" + "".join(
    chr(c) for c in range(0x2000, 0x200B))


def as_text_dicts(header, records):
    """The dicts read_csv gives with every column typed str and no nulls."""
    width = len(header)
    return [dict(zip(header, [v.strip(WHITE_SPACE) for v in r[:width]] + [""] * (width - len(r))))
            for r in records]


def check_read_csv(path, delimiter):
    """Reads the file with types, then as plain text, which must match the csv
    module's reading; returns True when it does."""
    text = path.read_text(encoding="utf-8", errors="replace")
    rows = read_rows(text, delimiter)
    header, records = (rows[0], rows[1:]) if rows else ([], [])
    typed = brelt.read_csv(str(path))
    types = ", ".join(f"{k} {type(v).__name__}" for k, v in typed[0].items()) if typed else ""
    print(f"read_csv:  {len(typed):,} dicts; first row's types: {types}")
    if len(set(header)) != len(header):
        print("read_csv:  text check skipped (the header repeats a name)")
        return True
    plain = brelt.read_csv(str(path), delimiter=delimiter, schema=dict.fromkeys(header, str),
                           null_values=[])
    same = plain == as_text_dicts(header, records)
    print(f"read_csv:  as text, every value {verdict(same)} to the csv module's")
    return same


def check_reader(path, delimiter):
    """Streams the file through PyReader, reading two fields per row; returns
    True when they match the csv module's reading."""
    text = path.read_text(encoding="utf-8", errors="replace")
    expected = [(row[0], row[1] if len(row) > 1 else None) for row in read_rows(text, delimiter)]
    with open(path, encoding="utf-8", errors="replace", newline="") as f:
        reader = brelt.PyReader(f, delimiter=delimiter)
    seen = [(reader[0], reader[1] if len(reader) > 1 else None) for _ in reader]
    same = seen == expected
    print(f"PyReader:  {reader.line_num:,} rows streamed, two fields each {verdict(same)}")
    return same


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python -m brelt.demo", description=__doc__)
    parser.add_argument("file", nargs="?", help="CSV file (default: the bundled airports sample)")
    args = parser.parse_args(argv)

    path = pathlib.Path(args.file) if args.file else SAMPLE
    if not path.is_file():
        parser.error(f"no such file: {path}")

    delimiter = brelt.sniff_delimiter(str(path))
    print(f"file:      {path}")
    print(f"size:      {path.stat().st_size:,} bytes")
    print(f"delimiter: {delimiter!r}")
    ok = check_read_csv(path, delimiter)
    ok &= check_reader(path, delimiter)
    return 0 if check_writers(path, delimiter) and ok else 1


if __name__ == "__main__":
    sys.exit(main())
