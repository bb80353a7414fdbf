"""DictReader and DictWriter: the csv module's dict-shaped reader and
writer."""

from collections.abc import Callable, Collection, Iterable, Iterator, Mapping, Sequence
from operator import itemgetter
from types import GenericAlias
from typing import Any

from brelt._reader import Reader, SupportsRead, reader
from brelt._writer import SupportsWrite, Writer, writer


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
    missing names get `restval`. Blank records are skipped. `line_num` is
    the reader's after the last row returned, as in the csv module.
    """

    def __init__(self, f: "SupportsRead | Iterable[str]",
                 fieldnames: Iterable[Any] | None = None, restkey: Any = None,
                 restval: Any = None, dialect: Any = "excel", *args: Any,
                 **kwds: Any) -> None:
        if fieldnames is not None and iter(fieldnames) is fieldnames:
            fieldnames = list(fieldnames)
        self._fieldnames: Any = fieldnames
        self.restkey = restkey
        self.restval = restval
        self.reader: Reader = reader(f, dialect, *args, **kwds)
        self.dialect = dialect
        self.line_num = 0
        # A compiled dict maker for the names object `_names`, while it holds
        # what `_names_copy` holds (a list may change in place).
        self._make: Callable[[Sequence[Any]], dict[Any, Any]] | None = None
        self._names: Any = None
        self._names_copy: Any = None

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

    def __next__(self) -> dict[Any, Any]:
        if self.line_num == 0:
            self.fieldnames  # read for its effect: the header row
        reader = self.reader
        row = next(reader)
        self.line_num = reader.line_num
        while row == []:
            row = next(reader)
        names = self.fieldnames
        if len(row) == len(names):
            make = self._make
            if make is None or names is not self._names or names != self._names_copy:
                make = self._dict_maker_for(names)
            if make is not None:
                return make(row)
        d = dict(zip(names, row))
        width = len(names)
        if width < len(row):
            d[self.restkey] = row[width:]
        else:
            for key in names[len(row):]:
                d[key] = self.restval
        return d

    def _dict_maker_for(self, names: Any) -> Callable[[Sequence[Any]], dict[Any, Any]] | None:
        """A maker for `names` when it is a list or a tuple, else None."""
        if type(names) is list:
            copy = names.copy()
        elif type(names) is tuple:
            copy = names
        else:
            return None
        self._make = _dict_maker(names)
        self._names, self._names_copy = names, copy
        return self._make

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
