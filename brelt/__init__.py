"""brelt: fast CSV reading and writing for Python, with a C++ core.

The core's functions and classes (`read_csv`, `iter_csv`, `PyReader`,
`PyWriter`, `write_csv`, `sniff_delimiter`, `Row`, `RowIterator`), and on top of them the
API of the standard csv module: `reader`, `writer`, `DictReader`,
`DictWriter`, the QUOTE_* constants, `Dialect`, `Error`, and `sniff`.
"""

from brelt._core import (
    PyReader,
    PyWriter,
    Row,
    RowIterator,
    iter_csv,
    read_csv,
    sniff_delimiter,
    write_csv,
)
from brelt._dialect import QUOTE_ALL, QUOTE_MINIMAL, QUOTE_NONE, QUOTE_NONNUMERIC, Dialect
from brelt._dict import DictReader, DictWriter
from brelt._error import Error
from brelt._reader import reader
from brelt._sniff import sniff
from brelt._writer import writer

# The core's names in their registration order, then the csv-style layer's.
__all__ = [
    "PyReader", "PyWriter", "Row", "RowIterator", "read_csv", "write_csv", "sniff_delimiter",
    "iter_csv",
    "reader", "writer", "DictReader", "DictWriter",
    "QUOTE_MINIMAL", "QUOTE_ALL", "QUOTE_NONNUMERIC", "QUOTE_NONE",
    "Dialect", "Error", "sniff",
]
