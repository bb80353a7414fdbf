"""writer(): the csv module's row writer over the core's PyWriter.

What the layer adds to PyWriter is what the csv module promises and the core
does differently: None is written as an empty field, a row of one empty field
as two quote characters (so it is not a blank line, which readers skip), rows
may be any iterable, QUOTE_NONE refuses a value it cannot write as it stands,
and writerow returns what the file's write returned.
"""

from collections.abc import Iterable
from itertools import repeat
from operator import contains
from typing import Any, Protocol

from brelt._core import PyWriter
from brelt._dialect import QUOTE_ALL, QUOTE_MINIMAL, QUOTE_NONE, QUOTE_NONNUMERIC, resolve_dialect
from brelt._error import Error


class SupportsWrite(Protocol):
    def write(self, text: str, /) -> Any: ...


class _Collect:
    """The file object PyWriter writes to: it keeps the text, which the layer
    then hands to the real file itself, so it sees what write() returns."""

    __slots__ = ("write",)

    def __init__(self, parts: list[str]) -> None:
        self.write = parts.append


def _is_lone_empty_field(row: Any) -> bool:
    return len(row) == 1 and isinstance(row[0], str) and not row[0]


def _as_row(row: Iterable[Any]) -> list[Any] | tuple[Any, ...]:
    if type(row) is not list and type(row) is not tuple:
        row = list(row)
    if None in row:
        row = ["" if value is None else value for value in row]
    return row


class Writer:
    """Writes rows of values as CSV to a file object; made by `writer`."""

    def __init__(self, f: SupportsWrite, dialect: Any, safe: bool) -> None:
        try:
            self._write = f.write
        except AttributeError:
            raise TypeError(f'the file object must have a "write" method, '
                            f"not {type(f).__name__}") from None
        self._dialect = dialect
        self._parts: list[str] = []
        self._core = PyWriter(_Collect(self._parts), dialect.delimiter, dialect.quotechar,
                              dialect.quoting, dialect.lineterminator, safe)
        self._unquoted = dialect.quoting == QUOTE_NONE
        # QUOTE_MINIMAL writes an empty field as nothing, so a row of one
        # would be a blank line; the csv module quotes it instead.
        self._lone_empty_field = (dialect.quotechar * 2 + dialect.lineterminator
                                  if dialect.quoting == QUOTE_MINIMAL else None)

    @property
    def dialect(self) -> Any:
        """The settings this writer writes with."""
        return self._dialect

    def writerow(self, row: Iterable[Any]) -> Any:
        """Writes one row with one call of the file's write and returns what
        that returned."""
        # _as_row inlined: this runs once per row.
        if type(row) is not list and type(row) is not tuple:
            row = list(row)
        if None in row:
            row = ["" if value is None else value for value in row]
        if len(row) == 1 and self._lone_empty_field is not None and _is_lone_empty_field(row):
            return self._write(self._lone_empty_field)
        if self._unquoted:
            self._check_unquoted([row])
        self._core.writerow(row)
        parts = self._parts
        return self._write(parts.pop()) if parts else None

    def writerows(self, rows: Iterable[Iterable[Any]]) -> None:
        """Writes every row with one call of the file's write."""
        if type(rows) is not list:
            rows = list(rows)
        # Checks that run in C over the whole batch; the rows are only
        # rebuilt in Python when one of them needs it.
        if not set(map(type, rows)) <= {list, tuple} or any(map(contains, rows, repeat(None))):
            rows = list(map(_as_row, rows))
        if self._unquoted:
            self._check_unquoted(rows)
        parts = self._parts
        try:
            if self._lone_empty_field is not None and 1 in map(len, rows):
                self._write_with_lone_empty_fields(rows)
            else:
                self._core.writerows(rows)
            text = "".join(parts)
        finally:
            parts.clear()  # a failing row leaves nothing to write
        if text:
            self._write(text)

    def _write_with_lone_empty_fields(self, rows: list[Any]) -> None:
        lone_empty_field = self._lone_empty_field
        assert lone_empty_field is not None  # only QUOTE_MINIMAL comes here
        start = 0
        for index, row in enumerate(rows):
            if _is_lone_empty_field(row):
                self._core.writerows(rows[start:index])
                self._parts.append(lone_empty_field)
                start = index + 1
        self._core.writerows(rows[start:])

    def _check_unquoted(self, rows: list[Any]) -> None:
        """QUOTE_NONE writes values as they stand; like the csv module, the
        layer refuses one that would break the line structure (PyWriter
        itself would write it)."""
        specials = (self._dialect.delimiter, self._dialect.quotechar, "\r", "\n")
        for row in rows:
            if _is_lone_empty_field(row):
                raise Error("a row of one empty field cannot be written with QUOTE_NONE: "
                            "it would be a blank line")
            for value in row:
                text = value if isinstance(value, str) else str(value)
                if any(special in text for special in specials):
                    raise Error(f"{text!r} would need escaping, which QUOTE_NONE cannot do "
                                "(brelt has no escape character)")


def writer(f: SupportsWrite, /, dialect: Any = None, *, safe: bool = False,
           **fmtparams: Any) -> Writer:
    """Returns a writer of CSV rows to the file object `f` (opened with
    newline=''). The keyword settings replace those of `dialect` (None: the
    csv module's defaults, those of "excel"); `safe` puts
    an apostrophe before values that spreadsheets would run as formulas."""
    if type(safe) is not bool:
        raise TypeError(f'"safe" must be True or False, not {safe!r}')
    settings = resolve_dialect(dialect, fmtparams)
    _refuse_unwritable(settings)
    return Writer(f, settings, safe)


def _refuse_unwritable(dialect: Any) -> None:
    """ValueError naming the first setting the core writer cannot honour."""
    for name in ("delimiter", "quotechar"):
        value = getattr(dialect, name)
        if value is None or not value.isascii():
            raise ValueError(f'"{name}" must be an ASCII character in brelt, not {value!r}')
    if dialect.escapechar is not None:
        raise ValueError('"escapechar" is not supported: brelt has no escape character '
                         "(quotes inside quoted fields are doubled)")
    if not dialect.doublequote:
        raise ValueError('"doublequote=False" is not supported: brelt always doubles '
                         "a quote character inside a quoted field")
    if dialect.quoting not in (QUOTE_MINIMAL, QUOTE_ALL, QUOTE_NONNUMERIC, QUOTE_NONE):
        raise ValueError(f'"quoting" {dialect.quoting} is not supported: brelt offers '
                         "QUOTE_MINIMAL, QUOTE_ALL, QUOTE_NONNUMERIC and QUOTE_NONE")
