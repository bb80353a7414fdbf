"""A short tour of brelt on a CSV file: python -m brelt.demo [FILE]."""

import argparse
import pathlib
import sys

import brelt

SAMPLE = pathlib.Path(__file__).resolve().parent.parent / "examples" / "airports.csv"


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
    return 0


if __name__ == "__main__":
    sys.exit(main())
