"""DictReader and DictWriter: the csv module's dict-shaped reader and
writer."""

from collections.abc import Collection, Iterable, Mapping
from operator import itemgetter
from types import GenericAlias
from typing import Any

from brelt._core import DictReaderBase
from brelt._reader import Reader, SupportsRead, reader
from brelt._writer import SupportsWrite, Writer, writer


class DictReader(DictReaderBase):
    """Rows of CSV text as dicts keyed by the field names, as the csv
    module's DictReader gives them.

    The names are `fieldnames` when given, else the first record. A longer
    record's extra fields go, as a list, under `restkey`; a shorter record's
    missing names get `restval`. Blank records are skipped. `line_num` is
    the reader's after the last row returned. Each row is made in C
    (DictReaderBase), the csv module's __next__ step for step.
    """

    def __init__(self, f: "SupportsRead | Iterable[str]",
                 fieldnames: Iterable[Any] | None = None, restkey: Any = None,
                 restval: Any = None, dialect: Any = "excel", *args: Any,
                 **kwds: Any) -> None:
        if fieldnames is not None and iter(fieldnames) is fieldnames:
            fieldnames = list(fieldnames)
        self._fieldnames = fieldnames
        self.restkey = restkey
        self.restval = restval
        self.reader: Reader = reader(f, dialect, *args, **kwds)
        self.dialect = dialect
        self.line_num = 0

    def __iter__(self) -> "DictReader":
        return self

    @property
    def fieldnames(self) -> Any:
        """The field names: as given, else the first record (read on first
        use), or None for an empty input."""
        if self._fieldnames is None:
            try:
                self._fieldnames = next(self.reader)
            except StopIteration:
                pass
        self.line_num = self.reader.line_num
        return self._fieldnames

    @fieldnames.setter
    def fieldnames(self, value: Any) -> None:
        self._fieldnames = value

    __class_getitem__ = classmethod(GenericAlias)


class DictWriter:
    """Writes dicts as CSV rows, one field per name of `fieldnames`.

    A missing key writes `restval`; a key outside `fieldnames` raises
    ValueError with ``extrasaction="raise"`` and is left out with "ignore".
    """

    def __init__(self, f: SupportsWrite, fieldnames: Iterable[Any], restval: Any = "",
                 extrasaction: str = "raise", dialect: Any = "excel", **fmtparams: Any) -> None:
        if fieldnames is not None and iter(fieldnames) is fieldnames:
            fieldnames = list(fieldnames)
        self.fieldnames: Collection[Any] = fieldnames  # type: ignore[assignment]
        self.restval = restval
        action = extrasaction.lower()
        if action not in ("raise", "ignore"):
            raise ValueError(f"extrasaction ({extrasaction}) must be 'raise' or 'ignore'")
        self.extrasaction = action
        self.writer: Writer = writer(f, dialect, **fmtparams)

    def writeheader(self) -> Any:
        """Writes the field names as a row; returns what the file's write
        returned."""
        return self.writer.writerow(list(self.fieldnames))

    def _to_row(self, rowdict: Mapping[Any, Any]) -> list[Any]:
        if self.extrasaction == "raise":
            wrong = rowdict.keys() - self.fieldnames
            if wrong:
                raise ValueError("dict contains fields not in fieldnames: "
                                 + ", ".join(map(repr, wrong)))
        return [rowdict.get(key, self.restval) for key in self.fieldnames]

    def writerow(self, rowdict: Mapping[Any, Any]) -> Any:
        """Writes one dict; returns what the file's write returned."""
        return self.writer.writerow(self._to_row(rowdict))

    def writerows(self, rowdicts: Iterable[Mapping[Any, Any]]) -> None:
        """Writes every dict with one call of the file's write."""
        if type(rowdicts) is not list:
            rowdicts = list(rowdicts)
        self.writer.writerows(self._fast_rows(rowdicts) or list(map(self._to_row, rowdicts)))

    def _fast_rows(self, rowdicts: list[Any]) -> list[Any] | None:
        """The rows, when every dict is a plain dict holding exactly the field
        names (checked in C: the sizes match and every name is found);
        otherwise None."""
        names = list(self.fieldnames)
        if not names or set(map(type, rowdicts)) != {dict}:
            return None
        if set(map(len, rowdicts)) != {len(set(names))}:
            return None
        getter = itemgetter(*names)
        try:
            rows = list(map(getter, rowdicts))
        except KeyError:
            return None
        return rows if len(names) > 1 else [[value] for value in rows]
