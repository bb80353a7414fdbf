"""reader(): the csv module's row reader, fed by the core's batches.

The core parses the whole input once, without the interpreter lock; rows then
come out as ``list[str]`` in batches of `BATCH_ROWS`, so iteration costs one
list per row and no Python call.
"""

from collections.abc import Iterable, Iterator
from itertools import chain
from operator import length_hint
from typing import Any, Protocol

from brelt._core import PyReader
from brelt._dialect import Dialect, resolve_dialect
from brelt._error import Error

BATCH_ROWS = 1000


class SupportsRead(Protocol):
    def read(self) -> str: ...


class _TextSource:
    """Hands the core the text to parse: a file object's whole read(), or the
    lines of any other iterable joined into one text."""

    __slots__ = ("source", "read_done")

    def __init__(self, source: Any) -> None:
        self.source = source
        self.read_done = False

    def read(self) -> str:
        read = getattr(self.source, "read", None)
        text = read() if read is not None else _join_lines(self.source)
        if not isinstance(text, str):
            raise TypeError(f"the file's read() returned {type(text).__name__}, not str: "
                            "open the file in text mode (newline='')")
        self.read_done = True
        return text


def _join_lines(lines: Iterable[str]) -> str:
    # The csv module ends a record at the end of each item: a line break goes
    # between an item that has none and the next one.
    parts = []
    needs_break = False
    for line in lines:
        if not isinstance(line, str):
            raise TypeError(f"the lines must be str, not {type(line).__name__}: "
                            "open the file in text mode (newline='')")
        if needs_break:
            parts.append("\n")
        parts.append(line)
        needs_break = not line.endswith("\n")
    return "".join(parts)


class Reader:
    """Rows of CSV text as ``list[str]``; made by `reader`."""

    def __init__(self, source: "SupportsRead | Iterable[str]", dialect: Dialect) -> None:
        if not hasattr(source, "read"):
            iter(source)  # the csv module's TypeError for what is not iterable
        text = _TextSource(source)
        try:
            self._core = PyReader(text, dialect.delimiter, '"', dialect.strict)
        except ValueError as error:
            # Only the parse's own failure is a CSV error; a closed file's
            # ValueError or a UnicodeEncodeError stays what it is.
            if not text.read_done or type(error) is not ValueError:
                raise
            raise Error(str(error)) from None
        self._dialect = dialect
        self._batch: Iterator[list[str]] = iter(())
        # Iterating a Reader means iterating this chain, which runs in C.
        self._rows = chain.from_iterable(self._batches())

    @property
    def dialect(self) -> Dialect:
        """The settings this reader reads with."""
        return self._dialect

    @property
    def line_num(self) -> int:
        """The number of records returned so far (a record spans several lines
        when a quoted field holds line breaks)."""
        return self._core.line_num - length_hint(self._batch)

    def _batches(self) -> Iterator[Iterator[list[str]]]:
        fetch = self._core.fetch_many_lists
        while batch := fetch(BATCH_ROWS):
            self._batch = iter(batch)
            yield self._batch

    def _take_batch(self) -> list[list[str]]:
        """The rows not yet returned, up to a batch of them ([] at the end);
        they count as returned."""
        rest = list(self._batch)
        return rest or self._core.fetch_many_lists(BATCH_ROWS)

    def __iter__(self) -> Iterator[list[str]]:
        # Not self: the chain's own __next__ runs in C, a Python one would
        # cost a call per row.
        return self._rows

    def __next__(self) -> list[str]:
        return next(self._rows)


def reader(f: "SupportsRead | Iterable[str]", dialect: Any = "excel", *,
           delimiter: str | None = None, quotechar: str | None = None,
           escapechar: str | None = None, doublequote: bool | None = None,
           skipinitialspace: bool | None = None, lineterminator: str | None = None,
           quoting: int | None = None, strict: bool | None = None) -> Reader:
    """Reads the CSV text of `f` (a file object, read whole at once, or an
    iterable of lines) and returns an iterator over its records as lists of
    str. Settings left None come from `dialect`; see the reference for those
    brelt does not offer."""
    overrides = {"delimiter": delimiter, "quotechar": quotechar, "escapechar": escapechar,
                 "doublequote": doublequote, "skipinitialspace": skipinitialspace,
                 "lineterminator": lineterminator, "quoting": quoting, "strict": strict}
    return Reader(f, resolve_dialect(dialect, overrides, reading=True))
