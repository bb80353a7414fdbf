"""Partition plans: a CSV file cut into byte ranges at record starts, each
read on its own (in this process or another) with the column types fixed once
for the whole file."""

from __future__ import annotations

import operator
import os
from typing import Any

from brelt import _core

# About this many bytes per partition when neither size nor count is given.
DEFAULT_PARTITION_BYTES = 64 * 1024 * 1024


def _path_text(path: str | bytes | os.PathLike) -> str:
    path = os.fspath(path)
    return os.fsdecode(path) if isinstance(path, bytes) else path


class PartitionPlan:
    """A file's partitions: `len(plan)` byte ranges (`plan.ranges`), each
    beginning at a record start, and the output columns with their types
    (`plan.columns`), fixed for every partition. `plan.read(k)` reads one.

    Plans pickle, so partitions can be read in other processes; a read fails
    with ValueError when the file's size or modification time differ from
    when it was planned."""

    __slots__ = ("_plan", "path", "size", "starts", "columns")

    def __init__(self, plan: bytes, path: str, starts: list[int], size: int, keys: list[str],
                 types: list[str]) -> None:
        self._plan = plan
        self.path = path
        self.size = size
        self.starts = tuple(starts)
        self.columns = dict(zip(keys, types))

    def __len__(self) -> int:
        return len(self.starts)

    @property
    def ranges(self) -> list[tuple[int, int]]:
        """(start, end) byte offsets of each partition in the file."""
        ends = self.starts[1:] + (self.size,)
        return list(zip(self.starts, ends))

    def read(self, index: int, n_threads: int | None = None) -> list[dict[str, Any]]:
        """Partition `index` (negative counts from the end) as a list of
        dicts, exactly the rows read_csv gives for that part of the file."""
        index = operator.index(index)
        if index < 0:
            index += len(self.starts)
        if not 0 <= index < len(self.starts):
            raise IndexError("partition index out of range")
        return _core._read_partition(self._plan, index, n_threads)

    def __reduce__(self) -> tuple[type, tuple[Any, ...]]:
        keys = list(self.columns)
        types = list(self.columns.values())
        return (PartitionPlan, (self._plan, self.path, self.starts, self.size, keys, types))

    def __eq__(self, other: object) -> bool:
        return isinstance(other, PartitionPlan) and self._plan == other._plan

    def __hash__(self) -> int:
        return hash(self._plan)

    # Dask names tasks by their arguments: equal plans, equal names.
    def __dask_tokenize__(self) -> tuple[str, bytes]:
        return ("brelt.PartitionPlan", self._plan)

    def __repr__(self) -> str:
        count = len(self)
        return (f"<PartitionPlan {self.path!r}: {count} partition{'s' * (count != 1)} "
                f"of {self.size} bytes>")


def plan_partitions(path: str | bytes | os.PathLike, *, partition_bytes: int | None = None,
                    partitions: int | None = None, **options: Any) -> PartitionPlan:
    """Plans reading the CSV file at `path` in partitions of about
    `partition_bytes` bytes, or in at most `partitions` partitions (default:
    partitions of 64 MiB). `options` are read_csv's; see docs/partitions.md
    for how skip_rows, max_rows and encodings are handled."""
    if partition_bytes is None and partitions is None:
        partition_bytes = DEFAULT_PARTITION_BYTES
    plan, starts, size, keys, types = _core._plan_partitions(
        _path_text(path), partition_bytes=partition_bytes, partitions=partitions, **options
    )
    return PartitionPlan(plan, _path_text(path), starts, size, keys, types)
