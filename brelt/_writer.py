"""writer(): the csv module's row writer, on the core's serializer.

The dialect is checked here (brelt._dialect); the rows are written by
brelt._core.Writer, byte for byte as the running interpreter's csv module
writes them.
"""

import csv
import io
from typing import Any, Protocol

from brelt._core import Writer
from brelt._dialect import resolve_dialect


class SupportsWrite(Protocol):
    def write(self, text: str, /) -> Any: ...


def _csv_writes(row: list[str], **settings: Any) -> str:
    out = io.StringIO()
    csv.writer(out, **settings).writerow(row)
    return out.getvalue()


# Two rules of the csv module's writer changed between Python versions, and
# fixes reach point releases: each is read off the running interpreter's csv
# module once. Are CR and LF quoted whatever the line terminator (3.12)? Are
# empty fields quoted with a space delimiter and skipinitialspace (3.13)?
LINE_BREAKS_QUOTED = _csv_writes(["\n"], lineterminator="!") != "\n!"
EMPTY_FIELDS_QUOTED = _csv_writes(["", ""], delimiter=" ", skipinitialspace=True) != " \r\n"


def writer(f: SupportsWrite, /, dialect: Any = None, *, safe: bool = False,
           **fmtparams: Any) -> Writer:
    """Returns a writer of CSV rows to the file object `f` (opened with
    newline=''). The keyword settings replace those of `dialect` (None: the
    csv module's defaults, those of "excel"); `safe` puts an apostrophe
    before values that spreadsheets would run as formulas."""
    write = getattr(f, "write", None)
    if not callable(write):
        raise TypeError('argument 1 must have a "write" method')
    if type(safe) is not bool:
        raise TypeError(f'"safe" must be True or False, not {safe!r}')
    return Writer(write, resolve_dialect(dialect, fmtparams), safe,
                  LINE_BREAKS_QUOTED, EMPTY_FIELDS_QUOTED)
