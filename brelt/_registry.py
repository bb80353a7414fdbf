"""The dialect registry: names for dialects, kept by brelt itself (the csv
module's own registry is neither read nor changed).

Settings are checked by the running interpreter's ``_csv.Dialect``, whose
objects the registry holds: what it accepts, refuses and says in its messages
is then the csv module's on every Python version, by construction.
"""

from typing import Any

import _csv

from brelt._error import Error

_dialects: dict[str, _csv.Dialect] = {}
_SETTING_NAMES = {"delimiter", "quotechar", "escapechar", "doublequote", "skipinitialspace",
                  "lineterminator", "quoting", "strict"}


def settings_of(dialect: Any, fmtparams: dict[str, Any]) -> _csv.Dialect:
    """The checked settings of `dialect` (a registered name, or any object
    with the dialect attributes; those it lacks keep their defaults), each
    keyword of `fmtparams` replacing one. TypeError or ValueError with the
    csv module's message for a setting it refuses."""
    if isinstance(dialect, str):
        try:
            dialect = get_dialect(dialect)
        except Error:
            # The csv module refuses an unknown keyword before it looks the
            # name up; _csv.Dialect raises that TypeError, in its words.
            if not fmtparams.keys() <= _SETTING_NAMES:
                _csv.Dialect(**fmtparams)
            raise
    return _csv.Dialect(dialect, **fmtparams)


def register_dialect(name: str, dialect: Any = None, /, **fmtparams: Any) -> None:
    """Gives the settings of `dialect` and `fmtparams` the name `name`."""
    if not isinstance(name, str):
        raise TypeError("dialect name must be a string")
    _dialects[name] = settings_of(dialect, fmtparams)


def unregister_dialect(name: str) -> None:
    """Forgets the dialect named `name`; Error if there is none."""
    try:
        del _dialects[name]
    except KeyError:
        raise Error("unknown dialect") from None


def get_dialect(name: str) -> _csv.Dialect:
    """The settings registered as `name`; Error if there are none."""
    try:
        return _dialects[name]
    except KeyError:
        raise Error("unknown dialect") from None


def list_dialects() -> list[str]:
    """The registered names."""
    return list(_dialects)
