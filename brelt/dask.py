"""brelt's partitions as Dask collections (needs Dask, which brelt itself
never imports).

read_csv splits each file exactly at record starts, so quoted fields that
hold line breaks are never cut. Planning (the quote-parity pass, the header,
the column types) runs here, once per file; reading runs on the workers."""

import glob
import os

import dask
import dask.bag
import dask.utils

from brelt._partitions import DEFAULT_PARTITION_BYTES, _path_text, plan_partitions

# pandas dtypes that hold each column type and None.
_DTYPES = {"int": "Int64", "float": "float64", "bool": "boolean", "str": "object"}


def _expand(paths):
    """A glob pattern, a path, or a list of either, as a list of files."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    files = []
    for path in paths:
        text = _path_text(path)
        if glob.has_magic(text):
            matched = sorted(glob.glob(text))
            if not matched:
                raise FileNotFoundError(f"no file matches {text!r}")
            files.extend(matched)
        else:
            files.append(text)
    if not files:
        raise ValueError("no files to read")
    return files


def _plans(paths, blocksize, options, same_types=False):
    """Each file's plan. With `same_types`, the first file's column types (or
    the caller's schema) are every file's."""
    if isinstance(blocksize, str):
        blocksize = dask.utils.parse_bytes(blocksize)
    # blocksize=None: one partition per file, as in dask.dataframe.read_csv.
    target = {"partitions": 1} if blocksize is None else {"partition_bytes": blocksize}
    plans = []
    for path in _expand(paths):
        plan = plan_partitions(path, **target, **options)
        if plans and same_types and list(plan.columns) != list(plans[0].columns):
            raise ValueError(
                f"{plan.path} has the columns {list(plan.columns)}, "
                f"not those of {plans[0].path}: {list(plans[0].columns)}"
            )
        if not plans and same_types and options.get("schema") is None:
            options = dict(options, schema=dict(plan.columns))
        plans.append(plan)
    return plans


def _read(plan, index):
    return plan.read(index)


def _bag(plans):
    parts = [dask.delayed(_read, pure=True)(plan, k) for plan in plans for k in range(len(plan))]
    return dask.bag.from_delayed(parts)


def read_csv(paths, blocksize=DEFAULT_PARTITION_BYTES, **options):
    """A dask.bag.Bag of the rows (dicts) of the CSV files `paths` (a path, a
    glob pattern, or a list of them), one Dask partition per brelt partition
    of about `blocksize` bytes (an int, a string such as "64MiB", or None for
    one per file). `options` are brelt.read_csv's; each file gets its own
    column types, so the bag holds exactly what read_csv gives file by file."""
    return _bag(_plans(paths, blocksize, options))


def to_dataframe(paths, blocksize=DEFAULT_PARTITION_BYTES, **options):
    """The same partitions as a dask.dataframe.DataFrame. The column types are
    fixed once, from the first file (or `schema`), and used for every file;
    Dask's meta holds them as pandas dtypes that take None: Int64, float64,
    boolean and object."""
    import pandas

    plans = _plans(paths, blocksize, options, same_types=True)
    meta = pandas.DataFrame(
        {name: pandas.Series(dtype=_DTYPES[kind]) for name, kind in plans[0].columns.items()}
    )
    return _bag(plans).to_dataframe(meta=meta)
