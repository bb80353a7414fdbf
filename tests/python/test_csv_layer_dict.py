"""DictReader and sniff: the csv module's dicts whatever the row lengths,
batches rebuilt when the names change. (DictWriter: test_csv_writer.py.)"""

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
