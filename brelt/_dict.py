"""DictReader and DictWriter: the csv module's dict-shaped reader and writer,
on batches of rows rather than one row at a time."""

from collections.abc import Callable, Collection, Iterable, Iterator, Mapping, Sequence
from itertools import chain, islice
from operator import itemgetter, length_hint
from typing import Any

from brelt._core import Writer
from brelt._reader import Reader, SupportsRead, reader
from brelt._writer import SupportsWrite, writer

# DictWriter.writerows turns this many dicts into rows at a time.
_CHUNK_DICTS = 1000


def _dict_maker(fieldnames: Sequence[Any]) -> Callable[[Sequence[str]], dict[Any, str]]:
    """A function from a row of exactly len(fieldnames) fields to its dict.

    Compiled once per list of names, as a dict display with the names bound
    as constants: about twice as fast as dict(zip(fieldnames, row)). A name
    given twice keeps its first place and its last value, as with zip.
    """
    names = {f"_name{i}": name for i, name in enumerate(fieldnames)}
    body = ", ".join(f"_name{i}: row[{i}]" for i in range(len(fieldnames)))
    make: Callable[[Sequence[str]], dict[Any, str]] = eval(  # noqa: S307 (indexes only)
        f"lambda row: {{{body}}}", names)
    return make


class DictReader:
    """Rows of CSV text as dicts keyed by the field names.

    The names are `fieldnames` when given, else the first record. A longer
    record's extra fields go, as a list, under `restkey`; a shorter record's
    missing names get `restval`.
    """

    def __init__(self, f: "SupportsRead | Iterable[str]",
                 fieldnames: Iterable[Any] | None = None, restkey: Any = None,
                 restval: Any = None, dialect: Any = "excel", **fmtparams: Any) -> None:
        if fieldnames is not None and iter(fieldnames) is fieldnames:
            fieldnames = list(fieldnames)
        self._fieldnames: Sequence[Any] | None = fieldnames  # type: ignore[assignment]
        self.restkey = restkey
        self.restval = restval
        self.reader: Reader = reader(f, dialect, **fmtparams)
        self.dialect = dialect
        self._make: Callable[[Sequence[str]], dict[Any, str]] | None = None
        self._raw: list[list[str]] = []
        self._dicts: list[dict[Any, Any]] = []
        self._batch: Iterator[dict[Any, Any]] = iter(())
        self._rows = chain.from_iterable(self._batches())

    @property
    def fieldnames(self) -> Sequence[Any] | None:
        """The field names: as given, else the first record (read on first
        use), or None for an empty input."""
        if self._fieldnames is None:
            self._fieldnames = next(self.reader, None)
        return self._fieldnames

    @fieldnames.setter
    def fieldnames(self, value: Sequence[Any] | None) -> None:
        self._fieldnames = value
        self._make = None
        # The rest of the batch in hand is rebuilt under the new names; the
        # list is changed in place, where its iterator reads.
        remaining = length_hint(self._batch)
        if remaining and value is not None:
            start = len(self._dicts) - remaining
            self._dicts[start:] = self._to_dicts(self._raw[start:])

    @property
    def line_num(self) -> int:
        """The number of records read so far, the header included."""
        return self.reader.line_num - length_hint(self._batch)

    def _to_dicts(self, rows: list[list[str]]) -> list[dict[Any, Any]]:
        names = self.fieldnames
        assert names is not None
        width = len(names)
        if self._make is None:
            self._make = _dict_maker(names)
        if set(map(len, rows)) <= {width}:
            return list(map(self._make, rows))
        return [self._make(row) if len(row) == width else self._irregular_dict(names, row)
                for row in rows]

    def _irregular_dict(self, names: Sequence[Any], row: list[str]) -> dict[Any, Any]:
        d = dict(zip(names, row))
        if len(row) > len(names):
            d[self.restkey] = row[len(names):]
        else:
            for name in names[len(row):]:
                d[name] = self.restval
        return d

    def _batches(self) -> Iterator[Iterator[dict[Any, Any]]]:
        if self.fieldnames is None:
            return
        while raw := self.reader._take_batch():
            self._raw = raw
            self._dicts = self._to_dicts(raw)
            self._batch = iter(self._dicts)
            yield self._batch

    def __iter__(self) -> Iterator[dict[Any, Any]]:
        # Not self: the chain's own __next__ runs in C.
        return self._rows

    def __next__(self) -> dict[Any, Any]:
        return next(self._rows)


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
