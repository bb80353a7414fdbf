"""sniff(): the delimiter of a CSV file or of a text sample."""

import os
import tempfile

from brelt._core import sniff_delimiter

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
