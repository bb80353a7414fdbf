"""DictReader, DictWriter and sniff: the csv module's dicts whatever the row
lengths, batches rebuilt when the names change, the fast and the general
dict-to-row paths giving the same text."""

import collections
import csv
import io
import pathlib

import pytest

import brelt

RAGGED = "a,b,c\n1,2,3\n4,5\n6,7,8,9,10\n" + "".join(f"{i},{i},{i}\n" for i in range(1500))


@pytest.mark.parametrize("options", [
    {}, {"restkey": "rest", "restval": "-"}, {"fieldnames": ["x", "y"]},
    {"fieldnames": ["x", "x", "y", "z"]}, {"fieldnames": []}])
def test_dict_reader_gives_the_csv_module_dicts(options):
    theirs = csv.DictReader(io.StringIO(RAGGED), **options)
    if "fieldnames" in options:  # taken from an iterator too
        options = {**options, "fieldnames": iter(options["fieldnames"])}
    ours = brelt.DictReader(io.StringIO(RAGGED), **options)
    assert list(ours) == list(theirs)
    assert ours.fieldnames == theirs.fieldnames
    assert ours.line_num == theirs.line_num


def test_dict_reader_line_num_and_names_changed_midway():
    reader = brelt.DictReader(io.StringIO(RAGGED))
    assert reader.line_num == 0
    assert reader.fieldnames == ["a", "b", "c"] and reader.line_num == 1
    assert next(reader) == {"a": "1", "b": "2", "c": "3"} and reader.line_num == 2
    reader.fieldnames = ["p", "q", "r"]
    assert next(reader) == {"p": "4", "q": "5", "r": None}
    assert next(reader)["p"] == "6"
    assert all(list(row) == ["p", "q", "r"] for row in reader)
    assert reader.line_num == 1504


DICTS = [{"a": 1, "b": "x,y", "c": None}, {"a": 2, "b": "z", "c": 3.5}]


@pytest.mark.parametrize("rows", [
    DICTS,                                                   # every name, plain dicts
    [collections.OrderedDict(d) for d in DICTS],             # not plain dicts
    [{"a": 1}, {"b": 2, "c": 3}],                            # missing names
    [{"c": 1, "b": 2, "a": 3}],                              # another key order
])
def test_dict_writer_writes_what_the_csv_module_writes(rows):
    expected = io.StringIO()
    theirs = csv.DictWriter(expected, ["a", "b", "c"], restval="?")
    theirs.writeheader()
    theirs.writerows(rows)
    ours = io.StringIO()
    writer = brelt.DictWriter(ours, iter(["a", "b", "c"]), restval="?")
    assert writer.writeheader() == len("a,b,c\r\n")
    writer.writerows(rows)
    assert ours.getvalue() == expected.getvalue()
    one_by_one = io.StringIO()
    writer = brelt.DictWriter(one_by_one, ["a", "b", "c"], restval="?")
    writer.writeheader()
    for row in rows:
        writer.writerow(row)
    assert one_by_one.getvalue() == expected.getvalue()


def test_dict_writer_extras_and_one_name():
    target = io.StringIO()
    with pytest.raises(ValueError, match="'d'"):
        brelt.DictWriter(target, ["a"]).writerows([{"a": 1}, {"a": 2, "d": 3}])
    assert target.getvalue() == ""
    brelt.DictWriter(target, ["a"], extrasaction="IGNORE").writerows([{"a": 1, "d": 3}, {"a": 2}])
    assert target.getvalue() == "1\r\n2\r\n"
    with pytest.raises(ValueError, match="extrasaction"):
        brelt.DictWriter(target, ["a"], extrasaction="drop")
    missing = collections.defaultdict(str, {"a": 1, "z": 2})
    brelt.DictWriter(io.StringIO(), ["a", "b"], extrasaction="ignore").writerows([missing])
    assert "b" not in missing


def test_sniff_takes_paths_path_objects_and_text(tmp_path):
    path = tmp_path / "data.csv"
    path.write_text("a;b;c\n1;2;3\n")
    assert brelt.sniff(str(path)) == brelt.sniff(path) == ";"
    assert brelt.sniff("x|y|z") == "|"
    # Only the first 20 lines count, as for a file.
    assert brelt.sniff("a\tb\n" * 20 + "a,b,c,d\n" * 100) == "\t"
    assert brelt.sniff("") == ","
    with pytest.raises(TypeError):
        brelt.sniff(b"a;b")
    with pytest.raises(OSError):
        brelt.sniff(pathlib.Path(tmp_path / "missing.csv"))
