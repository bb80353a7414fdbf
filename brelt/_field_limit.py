"""field_size_limit(): the csv module's limit on the characters of a field
the reader accepts, with its arguments and errors."""

from brelt import _core

_UNCHANGED = object()


def field_size_limit(new_limit: int = _UNCHANGED) -> int:  # type: ignore[assignment]
    """Returns the limit, first setting it to `new_limit` when given. A field
    longer than the limit makes the reader raise brelt.Error; the default is
    131072 characters."""
    if new_limit is _UNCHANGED:
        return _core._field_limit()
    if type(new_limit) is not int:
        raise TypeError("limit must be an integer")
    return _core._field_limit(new_limit)
