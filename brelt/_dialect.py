"""Dialects of the csv-compatible layer: the quoting constants, the resolved
dialect object, and the one place where dialect settings are checked.

brelt reads one dialect only (``"`` quotes, doubled to escape, no escape
character), so settings the core cannot honour are refused here with an error
that names them, instead of being dropped.
"""

import csv
from dataclasses import dataclass, fields
from typing import Any

from brelt._error import Error

# The csv module's values, which PyWriter's quoting argument takes as they are.
QUOTE_MINIMAL = 0
QUOTE_ALL = 1
QUOTE_NONNUMERIC = 2
QUOTE_NONE = 3

_QUOTING_NAMES = {QUOTE_MINIMAL: "QUOTE_MINIMAL", QUOTE_ALL: "QUOTE_ALL",
                  QUOTE_NONNUMERIC: "QUOTE_NONNUMERIC", QUOTE_NONE: "QUOTE_NONE"}
# The csv module's later modes; the core would write them as QUOTE_MINIMAL.
_LATER_QUOTING_NAMES = {4: "QUOTE_STRINGS", 5: "QUOTE_NOTNULL"}


@dataclass(frozen=True)
class Dialect:
    """The settings of one reader or writer, read-only once made.

    ``Dialect(delimiter=";")`` may be passed as the ``dialect`` argument; so
    may the csv module's dialect classes, or any object with these attributes.
    """

    delimiter: str = ","
    quotechar: str = '"'
    escapechar: None = None
    doublequote: bool = True
    skipinitialspace: bool = False
    lineterminator: str = "\r\n"
    quoting: int = QUOTE_MINIMAL
    strict: bool = False

    def __post_init__(self) -> None:
        check_dialect(self, reading=False)


_SETTING_NAMES = tuple(field.name for field in fields(Dialect))


def resolve_dialect(dialect: Any, overrides: dict[str, Any], *,
                    reading: bool | None = None) -> Any:
    """The dialect that `dialect` (a name or an object with the attributes)
    gives once the keyword `overrides` that are not None replace its values;
    raises TypeError or ValueError naming the first setting brelt cannot
    honour.

    Without `reading`, for the reader on the dialect engine: the settings are
    checked as the running interpreter's csv module checks them (every
    keyword given counts, None included), and its dialect object is
    returned."""
    if reading is None:
        if isinstance(dialect, str) and dialect not in NAMED_DIALECTS:
            raise Error(f"unknown dialect {dialect!r}")
        if dialect is None:
            return csv.reader([], **overrides).dialect
        return csv.reader([], dialect, **overrides).dialect
    if isinstance(dialect, str):
        base = NAMED_DIALECTS.get(dialect)
        if base is None:
            raise Error(f"unknown dialect {dialect!r}: brelt knows "
                        f"{', '.join(map(repr, NAMED_DIALECTS))}; pass a brelt.Dialect for others")
    else:
        base = dialect
    settings = {}
    for name in _SETTING_NAMES:
        value = overrides.get(name)
        if value is None:
            value = getattr(base, name, getattr(Dialect, name))
        settings[name] = value
    # Read as truth values, as the csv module does (strict=1 is strict).
    for name in ("doublequote", "skipinitialspace", "strict"):
        settings[name] = bool(settings[name])
    resolved = object.__new__(Dialect)
    resolved.__dict__.update(settings)
    check_dialect(resolved, reading=reading)
    return resolved


def _one_character(name: str, value: Any) -> str:
    if not isinstance(value, str) or len(value) != 1:
        raise TypeError(f'"{name}" must be a 1-character string, not {value!r}')
    if value in "\r\n":
        raise ValueError(f'"{name}" cannot be a line break ({value!r})')
    if not value.isascii():
        # The core takes a setting's first UTF-8 byte; past ASCII that is
        # part of a character, not the character.
        raise ValueError(f'"{name}" must be an ASCII character in brelt, not {value!r}')
    return value


def check_dialect(dialect: Dialect, *, reading: bool) -> None:
    """Raises TypeError for a setting of the wrong type and ValueError for one
    brelt does not offer, naming the setting."""
    delimiter = _one_character("delimiter", dialect.delimiter)
    quotechar = _one_character("quotechar", dialect.quotechar)
    if delimiter == quotechar:
        raise ValueError(f'"delimiter" and "quotechar" are the same character ({delimiter!r})')
    if reading and quotechar != '"':
        raise ValueError(f'"quotechar" {quotechar!r} is not supported on reading: '
                         "brelt reads only the double quote as the quote character")
    if dialect.escapechar is not None:
        if not isinstance(dialect.escapechar, str):
            raise TypeError(f'"escapechar" must be a 1-character string or None, '
                            f"not {dialect.escapechar!r}")
        raise ValueError('"escapechar" is not supported: brelt has no escape character '
                         "(quotes inside quoted fields are doubled)")
    if not dialect.doublequote:
        raise ValueError('"doublequote=False" is not supported: brelt always doubles '
                         "a quote character inside a quoted field")
    if dialect.skipinitialspace:
        raise ValueError('"skipinitialspace=True" is not supported: brelt keeps the '
                         "white space after a delimiter")
    if not isinstance(dialect.lineterminator, str):
        raise TypeError(f'"lineterminator" must be a string, not {dialect.lineterminator!r}')
    quoting = dialect.quoting
    if type(quoting) is not int:  # bool is refused, as the csv module does
        raise TypeError(f'"quoting" must be an int, not {quoting!r}')
    if quoting in _LATER_QUOTING_NAMES:
        raise ValueError(f'"quoting" {_LATER_QUOTING_NAMES[quoting]} is not supported: brelt '
                         "offers QUOTE_MINIMAL, QUOTE_ALL, QUOTE_NONNUMERIC and QUOTE_NONE")
    if quoting not in _QUOTING_NAMES:
        raise TypeError(f'bad "quoting" value {quoting!r}')
    if reading and quoting not in (QUOTE_MINIMAL, QUOTE_ALL):
        raise ValueError(f'"quoting" {_QUOTING_NAMES[quoting]} is not supported on reading: '
                         "brelt returns every field as text, quotes always quote")


# The csv module's built-in dialect names. There is no registry to add more:
# pass a Dialect (or any object with the attributes) instead.
NAMED_DIALECTS = {
    "excel": Dialect(),
    "excel-tab": Dialect(delimiter="\t"),
    "unix": Dialect(lineterminator="\n", quoting=QUOTE_ALL),
}
