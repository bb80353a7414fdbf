"""Partition plans: the partitions of any file, read one by one (from a plan
that went through pickle), give exactly what read_csv gives for the whole
file; what cannot be split is one partition; a changed file or a damaged plan
is refused. (Dask on top of them: test_dask.py.)"""

import gzip
import math
import os
import pickle
import subprocess
import sys

import pytest
from hypothesis import given, settings
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
    """The rows with NaN spelled out (it equals itself here, as the same
    text read twice), or ValueError (a later partition's message gives a
    byte offset instead of a record number)."""
    try:
        return [{k: "NaN" if isinstance(v, float) and math.isnan(v) else v
                 for k, v in row.items()} for row in read()]
    except ValueError:
        return ValueError


def read_all(plan):
    plan = pickle.loads(pickle.dumps(plan))
    return [row for k in range(len(plan)) for row in plan.read(k)]


@settings(max_examples=40)
@given(contents=csv_bytes, options=options)
def test_partitions_put_together_are_the_whole_read(tmp_path_factory, contents, options):
    path = tmp_path_factory.mktemp("plan") / "input.csv"
    path.write_bytes(contents)
    expected = outcome(lambda: brelt.read_csv(path, **options))
    for count in range(1, 21):
        plan = lambda: brelt.plan_partitions(str(path), partitions=count, **options)  # noqa: E731
        assert outcome(lambda: read_all(plan())) == expected, count
        if expected is not ValueError:
            assert len(plan()) <= count


def write(tmp_path, contents, name="input.csv"):
    path = tmp_path / name
    path.write_bytes(contents.encode() if isinstance(contents, str) else contents)
    return str(path)


QUOTED = "a,b\n" + "1,\"x\ny\"\n" * 5000


@pytest.mark.parametrize("contents, plan_options, read_options, parts", [
    # Splits land after quoted line breaks; an unterminated quote runs to the end.
    ("n,text\n" + "".join(f'{k},"line\nbreak {k}"\n' for k in range(3000))
     + '-1,"never closed\n1,2\n' + "3,4\n" * 100, {"partition_bytes": 4096}, {}, None),
    ('a\n"' + "x\n" * 500_000 + '"\n', {"partition_bytes": 65536}, {}, 1),  # one field
    *[(text, {"partition_bytes": 4096}, {}, 1) for text in ["", "a,b\n", "a,b", "\r\n\n"]],
    # What cannot be entered midway.
    (QUOTED.encode("utf-16le"), {"partitions": 5}, {"encoding": "utf-16le"}, 1),
    (b"\xff\xfe" + QUOTED.encode("utf-16le"), {"partitions": 5}, {}, 1),
    (QUOTED.encode("iso2022_jp"), {"partitions": 5}, {"encoding": "iso-2022-jp"}, 1),
    (gzip.compress(QUOTED.encode()), {"partitions": 5}, {}, 1),
    ("a\n" + "1\n" * 10_000, {"partitions": 5}, {"max_rows": 7}, 1),
    # Column types are fixed by the first records for every partition, even
    # past the first MiB, in UTF-8 and in windows-1252.
    *[(b"a,b\n" + b"1,%s\n" % (filler * 1500) * 2000 + b"oops,y\n", {"partitions": 7}, {}, 7)
      for filler in (b"x", b"\xe9")],
], ids=lambda value: None if isinstance(value, (dict, int)) or value is None else "file")
def test_plans_of_targeted_files(tmp_path, contents, plan_options, read_options, parts):
    path = write(tmp_path, contents)
    plan = brelt.plan_partitions(path, **plan_options, **read_options)
    pieces = [plan.read(k) for k in range(len(plan))]
    assert [row for piece in pieces for row in piece] == brelt.read_csv(path, **read_options)
    assert len(plan) == parts if parts else len(plan) > 10 and all(pieces)
    if parts == 7:
        assert plan.columns == {"a": "int", "b": "str"} and pieces[-1][-1]["a"] == "oops"


def test_many_tiny_files(tmp_path):
    for k in range(300):
        path = write(tmp_path, f'a,b\n{k},"x\n"\n{k},y\n', name=f"{k}.csv")
        plan = brelt.plan_partitions(path, partition_bytes=4)
        assert len(plan) == 3 and read_all(plan) == [{"a": k, "b": "x"}, {"a": k, "b": "y"}]


def test_a_file_changed_since_planning_and_strict_errors(tmp_path):
    path = write(tmp_path, "a,b\n" + "1,2\n" * 3000 + "1,2,3\n" + "1,2\n" * 10)
    plan = brelt.plan_partitions(path, partitions=3, strict=True)
    with pytest.raises(ValueError, match=f"record at byte {4 + 4 * 3000}: found record with 3"):
        plan.read(2)  # the byte in the whole file
    assert len(plan.read(0)) > 0
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


def test_damaged_plans_and_bad_arguments_are_refused(tmp_path):
    plan = brelt.plan_partitions(write(tmp_path, "a,b\n1,2\n3,4\n"), partitions=2)
    encoded = plan.__reduce__()[1][0]
    for cut in range(len(encoded)):
        with pytest.raises(ValueError, match="not a partition plan"):
            _core._read_partition(encoded[:cut], 0)
    with pytest.raises(IndexError):
        plan.read(len(plan))
    for arguments, message in (({"partitions": 2, "partition_bytes": 10}, "not both"),
                               ({"partitions": 0}, "at least 1")):
        with pytest.raises(ValueError, match=message):
            brelt.plan_partitions(plan.path, **arguments)
    with pytest.raises(ValueError, match="regular file"):
        brelt.plan_partitions(str(tmp_path))


def test_importing_brelt_does_not_import_dask():
    code = "import sys, brelt; print('dask' in sys.modules, 'pandas' in sys.modules)"
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            check=True)
    assert result.stdout.split() == ["False", "False"]
