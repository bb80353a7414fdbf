"""Partition plans: the partitions of any file, read one by one, give exactly
what read_csv gives for the whole file."""

import gzip
import math
import os
import pickle
import subprocess
import sys
import tempfile

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import brelt
from brelt import _core

# Text dense in what decides where records end: quotes (doubled, stray,
# unterminated), line feeds inside and outside quotes, CR LF, blank lines.
PIECES = ["a", "1", "2.5", "x y", ",", ",", ";", '"', '""', "\n", "\n", "\r\n", "\n\n", "é",
          "true", "NA"]

csv_bytes = st.builds(
    lambda bom, pieces, invalid: (b"\xef\xbb\xbf" if bom else b"")
    + "".join(pieces).encode() + (b"\xff\n" if invalid else b""),
    st.booleans(), st.lists(st.sampled_from(PIECES), max_size=60), st.booleans())

options = st.fixed_dictionaries({}, optional={
    "has_header": st.booleans(),
    "skip_rows": st.integers(0, 3),
    "strict": st.booleans(),
    "delimiter": st.sampled_from([",", ";", '"']),
    "encoding": st.sampled_from(["utf-8", "windows-1252", "gbk", "utf-16le"]),
    "columns": st.just(["a", "1", "a"]),
    "null_values": st.just(["x y"]),
})


def outcome(read):
    """The rows, or the exception's type (messages of later partitions give a
    byte offset instead of a record number)."""
    try:
        return read()
    except ValueError:
        return ValueError


def same(a, b):
    # NaN equals itself here, as the same text read twice.
    return a == b or (isinstance(a, list) and isinstance(b, list) and len(a) == len(b) and all(
        x.keys() == y.keys() and all(
            v == w or (isinstance(v, float) and math.isnan(v) and math.isnan(w))
            for v, w in zip(x.values(), y.values()))
        for x, y in zip(a, b)))


@settings(max_examples=40, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(contents=csv_bytes, options=options)
def test_partitions_put_together_are_the_whole_read(contents, options):
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "input.csv")
        with open(path, "wb") as file:
            file.write(contents)
        expected = outcome(lambda: brelt.read_csv(path, **options))
        for count in range(1, 21):
            def read_all():
                plan = pickle.loads(pickle.dumps(plan_of(count)))
                return [row for k in range(len(plan)) for row in plan.read(k)]

            def plan_of(count):
                return brelt.plan_partitions(path, partitions=count, **options)

            assert same(outcome(read_all), expected), count
            if expected is not ValueError:
                assert len(plan_of(count)) <= count


def write(tmp_path, contents, name="input.csv"):
    path = tmp_path / name
    path.write_bytes(contents.encode() if isinstance(contents, str) else contents)
    return str(path)


def read_all(plan):
    return [row for k in range(len(plan)) for row in plan.read(k)]


def test_a_file_that_changed_since_planning_is_refused(tmp_path):
    path = write(tmp_path, "a,b\n" + "1,2\n" * 1000)
    plan = brelt.plan_partitions(path, partitions=4)
    os.utime(path, ns=(1, 1))  # same size, another modification time
    with pytest.raises(ValueError, match="changed since it was partitioned"):
        plan.read(1)
    plan = brelt.plan_partitions(path, partitions=4)
    with open(path, "a") as file:
        file.write("3,4\n")
    os.utime(path, ns=(1, 1))  # the same time, another size
    for k in range(len(plan)):
        with pytest.raises(ValueError, match="changed since it was partitioned"):
            plan.read(k)


def test_splits_land_after_quoted_line_breaks_and_unterminated_quotes_run_to_the_end(tmp_path):
    rows = "".join(f'{k},"line\nbreak {k}"\n' for k in range(3000))
    path = write(tmp_path, "n,text\n" + rows + '-1,"never closed\n1,2\n' + "3,4\n" * 100)
    plan = brelt.plan_partitions(path, partition_bytes=4096)
    assert len(plan) > 10
    parts = [plan.read(k) for k in range(len(plan))]
    assert all(parts)
    assert [row for part in parts for row in part] == brelt.read_csv(path)
    assert parts[-1][-1]["n"] == -1 and parts[-1][-1]["text"].startswith("never closed\n1,2\n")


def test_one_huge_quoted_field_is_one_partition(tmp_path):
    path = write(tmp_path, 'a\n"' + "x\n" * 500_000 + '"\n')
    plan = brelt.plan_partitions(path, partition_bytes=65536)
    assert plan.ranges == [(0, os.path.getsize(path))]
    assert read_all(plan) == brelt.read_csv(path)


@pytest.mark.parametrize("contents", ["", "a,b\n", "a,b", "\r\n\n", "a\n1\n"])
def test_files_smaller_than_a_partition_empty_or_header_only(tmp_path, contents):
    path = write(tmp_path, contents)
    plan = brelt.plan_partitions(path, partition_bytes=4096)
    assert len(plan) == 1
    assert read_all(plan) == brelt.read_csv(path)


@pytest.mark.parametrize("encoding, bom", [("utf-16le", b""), (None, b"\xff\xfe"),
                                           ("iso-2022-jp", b""), (None, b"gzip")])
def test_what_cannot_be_entered_midway_is_one_partition(tmp_path, encoding, bom):
    text = "a,b\n" + "1,\"x\ny\"\n" * 5000
    if bom == b"gzip":
        data = gzip.compress(text.encode())
    else:
        data = bom + text.encode("utf-16le" if bom or encoding == "utf-16le" else "iso2022_jp")
    path = write(tmp_path, data)
    plan = brelt.plan_partitions(path, partitions=5, encoding=encoding)
    assert len(plan) == 1
    assert read_all(plan) == brelt.read_csv(path, encoding=encoding)


def test_max_rows_reads_the_file_as_one_partition(tmp_path):
    path = write(tmp_path, "a\n" + "1\n" * 10_000)
    plan = brelt.plan_partitions(path, partitions=5, max_rows=7)
    assert len(plan) == 1 and read_all(plan) == brelt.read_csv(path, max_rows=7)


def test_strict_errors_name_the_byte_in_the_whole_file(tmp_path):
    path = write(tmp_path, "a,b\n" + "1,2\n" * 3000 + "1,2,3\n" + "1,2\n" * 10)
    plan = brelt.plan_partitions(path, partitions=3, strict=True)
    with pytest.raises(ValueError, match=f"record at byte {4 + 4 * 3000}: found record with 3"):
        plan.read(2)
    assert len(plan.read(0)) > 0


@pytest.mark.parametrize("filler", [b"x", b"\xe9"])  # UTF-8 in place, or windows-1252
def test_column_types_are_fixed_by_the_first_records_for_every_partition(tmp_path, filler):
    # Rows long enough that the first 1,000 records lie past the first MiB.
    path = write(tmp_path, b"a,b\n" + b"1,%s\n" % (filler * 1500) * 2000 + b"oops,y\n")
    plan = brelt.plan_partitions(path, partitions=7)
    assert len(plan) == 7 and plan.columns == {"a": "int", "b": "str"}
    assert plan.read(-1)[-1] == {"a": "oops", "b": "y"}
    assert read_all(plan) == brelt.read_csv(path)


def test_many_tiny_files(tmp_path):
    for k in range(300):
        path = write(tmp_path, f'a,b\n{k},"x\n"\n{k},y\n', name=f"{k}.csv")
        plan = brelt.plan_partitions(path, partition_bytes=4)
        assert len(plan) == 3 and read_all(plan) == [{"a": k, "b": "x"}, {"a": k, "b": "y"}]


def test_damaged_plans_and_bad_arguments_are_refused(tmp_path):
    plan = brelt.plan_partitions(write(tmp_path, "a,b\n1,2\n3,4\n"), partitions=2)
    encoded = plan.__reduce__()[1][0]
    for cut in range(len(encoded)):
        with pytest.raises(ValueError, match="not a partition plan"):
            _core._read_partition(encoded[:cut], 0)
    with pytest.raises(IndexError):
        plan.read(len(plan))
    with pytest.raises(ValueError, match="not both"):
        brelt.plan_partitions(plan.path, partitions=2, partition_bytes=10)
    with pytest.raises(ValueError, match="at least 1"):
        brelt.plan_partitions(plan.path, partitions=0)
    with pytest.raises(ValueError, match="regular file"):
        brelt.plan_partitions(str(tmp_path))


def test_importing_brelt_does_not_import_dask():
    code = "import sys, brelt; print('dask' in sys.modules, 'pandas' in sys.modules)"
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            check=True)
    assert result.stdout.split() == ["False", "False"]
