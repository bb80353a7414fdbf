"""brelt: fast CSV reading and writing for Python, with a C++ core.

The core's functions and classes (`read_csv`, `iter_csv`, `PyReader`,
`PyWriter`, `write_csv`, `sniff_delimiter`, `Row`, `RowIterator`), and on top of them the
API of the standard csv module (`reader`, `writer`, `DictReader`,
`DictWriter`, the QUOTE_* constants, `Dialect` and its subclasses, the
dialect registry, `Sniffer`, `Error`, `field_size_limit`), with `sniff` as
an extra; and
`plan_partitions` with its `PartitionPlan`, for reading a file in parts
(brelt.dask builds Dask collections on them).
"""

import sys

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
from brelt._dialect import (
    QUOTE_ALL,
    QUOTE_MINIMAL,
    QUOTE_NONE,
    QUOTE_NONNUMERIC,
    Dialect,
    excel,
    excel_tab,
    unix_dialect,
)
from brelt._dict import DictReader, DictWriter
from brelt._error import Error
from brelt._field_limit import field_size_limit
from brelt._partitions import PartitionPlan, plan_partitions
from brelt._reader import reader
from brelt._registry import get_dialect, list_dialects, register_dialect, unregister_dialect
from brelt._sniff import Sniffer, sniff
from brelt._writer import writer

if sys.version_info >= (3, 12):
    from brelt._dialect import QUOTE_NOTNULL, QUOTE_STRINGS

# The core's names in their registration order, then the csv module's, then
# the layer's extra.
__all__ = [
    "PyReader", "PyWriter", "Row", "RowIterator", "read_csv", "write_csv", "sniff_delimiter",
    "iter_csv",
    "QUOTE_MINIMAL", "QUOTE_ALL", "QUOTE_NONNUMERIC", "QUOTE_NONE",
    *(["QUOTE_STRINGS", "QUOTE_NOTNULL"] if sys.version_info >= (3, 12) else []),
    "Error", "Dialect", "excel", "excel_tab", "unix_dialect",
    "reader", "writer", "DictReader", "DictWriter",
    "register_dialect", "get_dialect", "list_dialects", "unregister_dialect", "Sniffer",
    "field_size_limit", "sniff",
    "plan_partitions", "PartitionPlan",
]
