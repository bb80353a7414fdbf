"""Guessing a dialect: `Sniffer`, the csv module's, and `sniff()`, brelt's
faster guess of the delimiter alone."""

import csv
import os
import tempfile
from typing import Any

from brelt._core import sniff_delimiter
from brelt._dialect import Dialect
from brelt._error import Error

_SETTING_NAMES = ("delimiter", "quotechar", "escapechar", "doublequote", "skipinitialspace",
                  "lineterminator", "quoting")


class Sniffer(csv.Sniffer):
    """Guesses the dialect of a sample of CSV text, and whether it starts
    with a header.

    The guessing is the csv module's own, inherited, so the answers are the
    csv module's; the dialects come back as subclasses of brelt.Dialect, and
    a sample it cannot judge raises brelt.Error.
    """

    def sniff(self, sample: str, delimiters: str | None = None) -> type[Dialect]:
        """The dialect class of `sample`, its delimiter one of `delimiters`
        when given. Error when no delimiter can be found."""
        try:
            found = super().sniff(sample, delimiters)
        except csv.Error as error:
            if isinstance(error, Error):
                raise
            raise Error(*error.args) from None
        settings: dict[str, Any] = {name: getattr(found, name) for name in _SETTING_NAMES}
        return type("dialect", (Dialect,), {"_name": "sniffed", **settings})

# The core judges the first 20 lines (split at LF) and nothing after them.
SNIFFED_LINES = 20


def sniff(path_or_text: "str | os.PathLike[str]") -> str:
    """Returns the delimiter of a CSV file, named by a path, or of CSV text.

    A path object is a path. A str is a path when it names an existing file
    and holds no line break; any other str is the CSV text itself.
    """
    if isinstance(path_or_text, os.PathLike):
        return sniff_delimiter(os.fspath(path_or_text))
    if not isinstance(path_or_text, str):
        raise TypeError(f"sniff() takes a path or a str of CSV text, "
                        f"not {type(path_or_text).__name__}")
    text = path_or_text
    if "\n" not in text and "\r" not in text and os.path.isfile(text):
        return sniff_delimiter(text)
    # The core sniffs files only: it gets the lines it would judge.
    sample = "\n".join(text.split("\n", SNIFFED_LINES)[:SNIFFED_LINES])
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", errors="replace",
                                     suffix=".csv") as file:
        file.write(sample)
        file.flush()
        return sniff_delimiter(file.name)
