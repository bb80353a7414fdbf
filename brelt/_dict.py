"""DictReader and DictWriter: the csv module's dict-shaped reader and
writer."""

from collections.abc import Collection, Iterable, Iterator, Mapping
from itertools import islice
from operator import itemgetter
from types import GenericAlias
from typing import Any

from brelt._core import DictReaderBase, Writer
from brelt._reader import Reader, SupportsRead, reader
from brelt._writer import SupportsWrite, writer

# DictWriter.writerows turns this many dicts into rows at a time.
_CHUNK_DICTS = 1000


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
    """Writes dicts as CSV rows, one field per name of `fieldnames`, as the
    csv module's DictWriter does.

    A missing key writes `restval`; a key outside `fieldnames` raises
    ValueError with ``extrasaction="raise"`` and is left out with "ignore".
    """

    def __init__(self, f: SupportsWrite, fieldnames: Iterable[Any], restval: Any = "",
                 extrasaction: str = "raise", dialect: Any = "excel", *args: Any,
                 **kwds: Any) -> None:
        if fieldnames is not None and iter(fieldnames) is fieldnames:
            fieldnames = list(fieldnames)
        self.fieldnames: Collection[Any] = fieldnames  # type: ignore[assignment]
        self.restval = restval
        extrasaction = extrasaction.lower()
        if extrasaction not in ("raise", "ignore"):
            raise ValueError(f"extrasaction ({extrasaction}) must be 'raise' or 'ignore'")
        self.extrasaction = extrasaction
        self.writer: Writer = writer(f, dialect, *args, **kwds)

    def writeheader(self) -> Any:
        """Writes the field names as a row; returns what the file's write
        returned."""
        return self.writerow(dict(zip(self.fieldnames, self.fieldnames)))

    def _dict_to_list(self, rowdict: Mapping[Any, Any]) -> Iterator[Any]:
        if self.extrasaction == "raise":
            wrong_fields = rowdict.keys() - self.fieldnames
            if wrong_fields:
                raise ValueError("dict contains fields not in fieldnames: "
                                 + ", ".join([repr(x) for x in wrong_fields]))
        return (rowdict.get(key, self.restval) for key in self.fieldnames)

    def writerow(self, rowdict: Mapping[Any, Any]) -> Any:
        """Writes one dict; returns what the file's write returned."""
        return self.writer.writerow(self._dict_to_list(rowdict))

    def writerows(self, rowdicts: Iterable[Mapping[Any, Any]]) -> None:
        """Writes every dict; the text goes to the file in large pieces.

        The dicts are taken in chunks; a chunk of plain dicts that each hold
        exactly the field names becomes rows in C.
        """
        dicts = iter(rowdicts)
        while True:
            chunk: list[Any] = []
            try:
                chunk.extend(islice(dicts, _CHUNK_DICTS))
            finally:
                # The dicts taken before a failing iteration are written
                # first, as the csv module writes each before the next.
                if chunk:
                    self.writer.writerows(self._plain_rows(chunk)
                                          or map(self._dict_to_list, chunk))
            if len(chunk) < _CHUNK_DICTS:
                return

    def _plain_rows(self, dicts: list[Any]) -> list[Any] | None:
        """The rows of `dicts` when each is a plain dict whose keys are
        exactly the field names, all str (checked in C: the sizes match and
        every name is found); otherwise None, for the general path."""
        names = list(self.fieldnames) if self.fieldnames is not None else []
        if not names or set(map(type, names)) != {str} or set(map(type, dicts)) != {dict}:
            return None
        if set(map(len, dicts)) != {len(set(names))}:
            return None
        try:
            rows = list(map(itemgetter(*names), dicts))
        except KeyError:
            return None
        return rows if len(names) > 1 else [(value,) for value in rows]

    __class_getitem__ = classmethod(GenericAlias)
