"""reader(): the csv module's row reader on the core's dialect engine.

The reader reads its source as rows are asked for. An iterable gives its
items, each one line exactly as the csv module sees it. A file object gives
its first record line by line, so after one row the file stands right after
it; then it is read in blocks (128 KiB), and its position runs ahead of the
rows returned. See docs/dialect.md for which files are read in blocks and
which line by line.
"""

import codecs
import io
from collections.abc import Iterable
from typing import Any, Protocol

from brelt._core import Reader
from brelt._dialect import resolve_dialect

__all__ = ["Reader", "reader"]

# How much of a file each read asks for (characters, or bytes from a binary
# buffer); tests make it small to put block edges everywhere.
BLOCK_SIZE = 128 * 1024


class SupportsRead(Protocol):
    def read(self, size: int = ..., /) -> str: ...


def _utf8_buffer(file: Any) -> Any:
    """The binary buffer under `file` when reading it directly gives the
    file's own text: a text wrapper of the io module decoding UTF-8 with
    strict errors over an io buffer. None otherwise. The reader checks the
    rest (nothing held in the wrapper, how lines end) as it goes."""
    if type(file) is not io.TextIOWrapper or file.errors != "strict":
        return None
    try:
        if codecs.lookup(file.encoding).name != "utf-8":
            return None
    except LookupError:
        return None
    buffer = file.buffer
    if type(buffer) not in (io.BufferedReader, io.BufferedRandom):
        return None
    return buffer


def reader(f: "SupportsRead | Iterable[str]", dialect: Any = None,
           **fmtparams: Any) -> Reader:
    """An iterator over the records of `f` (any iterable of lines, or a file
    object) as lists of str, read as they are asked for. The settings are
    the csv module's: a dialect (a name or an object with the dialect
    attributes; none is excel's settings) and keyword settings that replace
    its values."""
    lines = iter(f)  # first, as the csv module does: its TypeError wins
    settings = resolve_dialect(dialect, fmtparams)
    file = lines if callable(getattr(lines, "read", None)) else None
    buffer = _utf8_buffer(file) if file is not None else None
    return Reader(lines, settings, file, buffer, BLOCK_SIZE)
