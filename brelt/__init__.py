"""brelt: fast CSV reading and writing for Python, with a C++ core."""

from brelt import _core
from brelt._core import *  # noqa: F401,F403

__all__ = list(_core.__all__)
