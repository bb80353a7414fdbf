"""Dialects of the csv-compatible layer: the quoting constants, the Dialect
class and its three named subclasses, and `resolve_dialect`, the one place
where a reader's or writer's settings are put together and checked.

Settings are checked by the running interpreter's own ``_csv.Dialect``
(see brelt._registry), so brelt accepts exactly what the csv module of that
interpreter accepts and refuses the rest with the same exception and message;
3.11 and 3.13 differ here, and both are followed.
"""

import csv
import sys
from typing import Any

import _csv

from brelt._error import Error
from brelt._registry import register_dialect, settings_of

QUOTE_MINIMAL = csv.QUOTE_MINIMAL
QUOTE_ALL = csv.QUOTE_ALL
QUOTE_NONNUMERIC = csv.QUOTE_NONNUMERIC
QUOTE_NONE = csv.QUOTE_NONE
if sys.version_info >= (3, 12):
    QUOTE_STRINGS = csv.QUOTE_STRINGS
    QUOTE_NOTNULL = csv.QUOTE_NOTNULL


class Dialect(csv.Dialect):
    """A set of CSV settings as class attributes: subclass it (as `excel`
    does) and pass the class or an instance as the `dialect` argument.

    Making an instance checks the settings and raises Error for a wrong type
    or length (ValueError for a line break or clashing characters), as
    ``csv.Dialect`` does, of which this is a subclass.
    """

    def _validate(self) -> None:
        try:
            _csv.Dialect(self)
        except TypeError as error:
            raise Error(str(error)) from None


class excel(Dialect):
    """The properties of a CSV file written by Excel (the default)."""

    delimiter = ","
    quotechar = '"'
    doublequote = True
    skipinitialspace = False
    lineterminator = "\r\n"
    quoting = QUOTE_MINIMAL


class excel_tab(excel):
    """Excel's tab-delimited files."""

    delimiter = "\t"


class unix_dialect(Dialect):
    """Files written on UNIX: every field quoted, lines ended by LF."""

    delimiter = ","
    quotechar = '"'
    doublequote = True
    skipinitialspace = False
    lineterminator = "\n"
    quoting = QUOTE_ALL


register_dialect("excel", excel)
register_dialect("excel-tab", excel_tab)
register_dialect("unix", unix_dialect)


def resolve_dialect(dialect: Any, overrides: dict[str, Any], *,
                    reading: bool = False) -> _csv.Dialect:
    """The settings of `dialect` (a registered name, or any object with the
    dialect attributes) with each keyword setting of `overrides` replacing
    one, as an object with the csv module's eight read-only attributes.

    A setting given as None counts as given, as in the csv module
    (``escapechar=None`` removes a dialect's escape character,
    ``delimiter=None`` is a TypeError). Raises what the csv module raises for
    the same arguments: TypeError or ValueError for a setting, Error for an
    unknown name.

    `reading=True` is for the reader that reads the whole text at once, until
    the dialect engine replaces it: its overrides use None for "not given",
    and it refuses, by name, the settings it cannot honour.
    """
    if reading:
        overrides = {name: value for name, value in overrides.items() if value is not None}
    resolved = settings_of(dialect, overrides)
    if reading:
        _refuse_unreadable(resolved)
    return resolved


def _refuse_unreadable(dialect: _csv.Dialect) -> None:
    """ValueError naming the first setting the whole-text reader cannot read
    with: it knows one dialect (an ASCII delimiter, the double quote doubled
    inside quoted fields, no escape character)."""
    delimiter = dialect.delimiter
    if not delimiter.isascii() or delimiter in "\r\n\"":
        raise ValueError(f'"delimiter" {delimiter!r} is not supported on reading: brelt reads '
                         "an ASCII delimiter other than CR, LF and the quote character")
    if dialect.quotechar != '"':
        raise ValueError(f'"quotechar" {dialect.quotechar!r} is not supported on reading: '
                         "brelt reads only the double quote as the quote character")
    if dialect.escapechar is not None:
        raise ValueError('"escapechar" is not supported on reading: brelt reads no escape '
                         "character (quotes inside quoted fields are doubled)")
    if not dialect.doublequote:
        raise ValueError('"doublequote=False" is not supported on reading: brelt reads a '
                         "doubled quote character inside a quoted field as one")
    if dialect.skipinitialspace:
        raise ValueError('"skipinitialspace=True" is not supported on reading: brelt keeps '
                         "the white space after a delimiter")
    if dialect.quoting not in (QUOTE_MINIMAL, QUOTE_ALL):
        raise ValueError(f'"quoting" {dialect.quoting} is not supported on reading: '
                         "brelt returns every field as text, quotes always quote")
