"""write_csv: the file it writes, its arguments, failures, and round trips."""

import collections
import csv
import io
import os

import pytest
from hypothesis import given, settings, strategies as st

from brelt._core import write_csv


@pytest.fixture
def out(tmp_path):
    return str(tmp_path / "out.csv")


def contents(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", "surrogateescape")


def written(path, data, **options):
    assert write_csv(path, data, **options) is None
    return contents(path)


class TestFormat:
    @pytest.mark.parametrize("data, expected", [
        ([], ""),
        ([{}], "\n\n"),
        ([{}, {}], "\n\n\n"),
        ([{"a": 1}, {"b": 2}], 'a\n1\n""\n'),
        ([{"a": None, "b": True, "c": 2.5}], "a,b,c\nNone,True,2.5\n"),
        ([{"b": 1, "a": 2}, {"a": 3, "b": 4, "z": 5}], "b,a\n1,2\n4,3\n"),
        ([{"a": "héllo 日本 🎉", "b": " padded "}], "a,b\nhéllo 日本 🎉, padded \n"),
    ])
    def test_header_then_one_line_per_dict(self, out, data, expected):
        assert written(out, data) == expected

    def test_existing_file_is_truncated(self, out):
        with open(out, "w") as f:
            f.write("old contents\n" * 100)
        assert written(out, []) == ""
        assert written(out, [{"a": "x"}]) == "a\nx\n"

    def test_formula_guard_on_by_default_for_values_only(self, out):
        data = [{"=x": "=1+1", "n": -5, "t": "\tx", "ok": "a=b"}]
        assert written(out, data) == "=x,n,t,ok\n'=1+1,'-5,'\tx,a=b\n"
        assert written(out, data, safe=False) == "=x,n,t,ok\n=1+1,-5,\tx,a=b\n"

    @pytest.mark.parametrize("delimiter, expected", [
        ("\t", "a\tb\nx,y\t2\n"),
        ("||", "a|b\nx,y|2\n"),
        (";", "a;b\nx,y;2\n"),
    ])
    def test_delimiter_is_its_first_byte(self, out, delimiter, expected):
        assert written(out, [{"a": "x,y", "b": 2}], delimiter=delimiter) == expected

    def test_non_ascii_delimiter_contributes_its_first_byte(self, out):
        write_csv(out, [{"a": 1, "b": 2}], delimiter="é")
        with open(out, "rb") as f:
            assert f.read() == b"a\xc3b\n1\xc3" b"2\n"

    def test_strict_changes_nothing(self, out):
        data = [{"a": "x", "b": ""}]
        assert written(out, data, strict=True) == written(out, data, strict=False)


class TestQuoting:
    """Fields that would break the record are quoted minimally; nothing else."""

    @pytest.mark.parametrize("value, line", [
        ("x,y", '"x,y"'),
        ('say "hi"', '"say ""hi"""'),
        ("two\nlines", '"two\nlines"'),
        ("cr\ronly", '"cr\ronly"'),
        ("crlf\r\n", '"crlf\r\n"'),
        ("x;y", "x;y"),
        ("'quoted'", "'quoted'"),
        ("", ""),
    ])
    def test_values(self, out, value, line):
        assert written(out, [{"a": value, "b": 1}]) == f"a,b\n{line},1\n"

    def test_header_names(self, out):
        assert written(out, [{"a,b": 1, 'q"': 2, "=f": 3}]) == '"a,b","q""",=f\n1,2,3\n'

    def test_a_sole_empty_field_is_quoted_so_the_line_is_not_blank(self, out):
        assert written(out, [{"": "x"}, {"": ""}]) == '""\nx\n""\n'

    def test_guard_applies_before_quoting(self, out):
        assert written(out, [{"a": "=1,2"}]) == "a\n\"'=1,2\"\n"

    def test_quoting_follows_the_delimiter(self, out):
        assert written(out, [{"a": "x,y", "b": "x\ty"}], delimiter="\t") == 'a\tb\nx,y\t"x\ty"\n'


class TestValues:
    def test_missing_raising_and_unprintable_values_are_empty(self, out):
        class Unprintable:
            def __str__(self):
                raise RuntimeError("no text")

        class BadKey(str):
            def __hash__(self):
                return hash("b")

            def __eq__(self, other):
                raise ValueError("cannot compare")

        data = [{"a": Unprintable(), "b": 1, "c": "x"}, {BadKey("z"): 1, "c": "y"}]
        assert written(out, data) == "a,b,c\n,1,x\n,,y\n"

    def test_lone_surrogates_become_replacement_characters(self, out):
        assert written(out, [{"a": "x\ud800y", "b": "\udfff"}]) == "a,b\nx\ufffdy,\ufffd\n"

    def test_str_subclass_values_use_their_str(self, out):
        class Loud(str):
            def __str__(self):
                return "LOUD"

        assert written(out, [{"a": Loud("quiet")}]) == "a\nLOUD\n"

    @settings(max_examples=300, deadline=None)
    @given(st.lists(st.one_of(st.floats(), st.integers(), st.integers(-2**70, 2**70),
                              st.booleans(), st.none()), min_size=1, max_size=40))
    def test_numbers_and_constants_are_spelled_as_str_does(self, tmp_path_factory, values):
        path = str(tmp_path_factory.mktemp("numbers") / "out.csv")
        keys = [f"k{i}" for i in range(len(values))]
        line = written(path, [dict(zip(keys, values))], safe=False).split("\n")[1]
        assert line == ",".join(str(v) for v in values)

    @pytest.mark.parametrize("value, expected", [
        (0.1, "0.1"), (1e16, "1e+16"), (1e15, "1000000000000000.0"), (1e-4, "0.0001"),
        (1e-5, "1e-05"), (-0.0, "-0.0"), (5e-324, "5e-324"), (float("inf"), "inf"),
        (float("nan"), "nan"), (1.7976931348623157e308, "1.7976931348623157e+308"),
        (2**63 - 1, "9223372036854775807"), (-2**63, "-9223372036854775808"),
        (2**64, "18446744073709551616"),
    ])
    def test_number_edges(self, out, value, expected):
        assert written(out, [{"a": value}], safe=False) == f"a\n{expected}\n"

    def test_number_subclasses_use_their_str(self, out):
        class Price(float):
            def __str__(self):
                return "price"

        class Count(int):
            def __str__(self):
                return "count"

        assert written(out, [{"a": Price(1.5), "b": Count(2)}]) == "a,b\nprice,count\n"

    def test_plain_lookups_only(self, out):
        class Keys(dict):
            def keys(self):
                return ["never"]

        rows = collections.defaultdict(lambda: "default")
        rows["a"] = 1
        other = collections.defaultdict(lambda: "default")
        assert written(out, [Keys(a=1), other, rows]) == 'a\n1\n""\n1\n'
        assert dict(other) == {}

    def test_str_subclass_keys_are_looked_up_as_plain_str(self, out):
        class Name(str):
            hashes = 0

            def __hash__(self):
                Name.hashes += 1
                return str.__hash__(self)

        data = [{Name("a"): 1}, {"a": 2}]
        before = Name.hashes
        assert written(out, data) == "a\n1\n2\n"
        assert Name.hashes == before

    def test_a_list_that_shrinks_during_the_call_ends_early(self, out):
        data = []

        class Shrinker:
            def __str__(self):
                del data[1:]
                return "s"

        data.extend([{"a": Shrinker()}, {"a": "gone"}, {"a": "gone too"}])
        assert written(out, data) == "a\ns\n"

    def test_a_list_that_grows_during_the_call_writes_the_original_rows(self, out):
        data = []

        class Grower:
            def __str__(self):
                data.append({"a": "late"})
                return "g"

        data.extend([{"a": Grower()}, {"a": "b"}])
        assert written(out, data) == "a\ng\nb\n"


class TestFailures:
    @pytest.mark.parametrize("arguments, message", [
        ({"path": 5, "data": []}, "path"),
        ({"path": "p", "data": ({"a": 1},)}, "data"),
        ({"path": "p", "data": [], "delimiter": 44}, "delimiter"),
        ({"path": "p", "data": [], "safe": 0}, "safe"),
        ({"path": "p", "data": [], "strict": "yes"}, "strict"),
        ({"path": "p"}, "data"),
        ({"path": "p", "data": [], "other": 1}, "other"),
    ])
    def test_argument_types(self, arguments, message, tmp_path, monkeypatch):
        monkeypatch.chdir(tmp_path)
        with pytest.raises(TypeError, match=message):
            write_csv(**arguments)
        assert os.listdir(tmp_path) == []

    @pytest.mark.parametrize("data, error, message", [
        ([5], TypeError, "^Expected list of dicts$"),
        ([{1: "a"}], TypeError, "^'int' object cannot be converted to 'PyString'$"),
        ([{"\ud800": 1}], UnicodeEncodeError, "surrogate"),
    ])
    def test_bad_first_element_leaves_the_file_untouched(self, out, data, error, message):
        with open(out, "w") as f:
            f.write("keep")
        with pytest.raises(error, match=message):
            write_csv(out, data)
        assert contents(out) == "keep"

    def test_empty_delimiter_fails_before_touching_the_file(self, out):
        with pytest.raises(ValueError, match="delimiter"):
            write_csv(out, [{"a": 1}], delimiter="")
        assert not os.path.exists(out)

    def test_later_non_dict_keeps_the_rows_before_it(self, out):
        with pytest.raises(TypeError, match="^Expected dict$"):
            write_csv(out, [{"a": 1}, {"a": 2}, 5, {"a": 3}])
        assert contents(out) == "a\n1\n2\n"

    def test_file_errors(self, tmp_path):
        with pytest.raises(OSError, match=r"^No such file or directory \(os error 2\)$"):
            write_csv(str(tmp_path / "missing" / "out.csv"), [])
        with pytest.raises(OSError, match=r"\(os error 21\)$"):
            write_csv(str(tmp_path), [{"a": 1}])
        with pytest.raises(OSError, match="^file name contained an unexpected NUL byte$"):
            write_csv(str(tmp_path / "a\0b"), [])

    @pytest.mark.skipif(not os.path.exists("/dev/full"), reason="no /dev/full")
    @pytest.mark.parametrize("data", [
        [{"a": 1}],                                # lost in the final write-out
        [{"a": "x" * 1000}] * 1000,                # lost when the buffer fills
        [{"a": "x" * 300_000}],                    # a piece larger than the buffer
    ])
    def test_write_errors_are_never_silent(self, data):
        with pytest.raises(OSError, match=r"^No space left on device \(os error 28\)$"):
            write_csv("/dev/full", data)

    def test_created_with_permissions_less_the_umask(self, out):
        previous = os.umask(0o027)
        try:
            write_csv(out, [])
        finally:
            os.umask(previous)
        assert os.stat(out).st_mode & 0o777 == 0o640


def test_registered_signature():
    assert write_csv.__text_signature__ == '(path, data, delimiter=",", safe=True, strict=False)'
    assert write_csv.__doc__ == "High-level write: list[dict] -> CSV file"


# Round trips: whatever write_csv writes reads back as the same fields.

names = st.text(max_size=6)
values = st.text(alphabet=st.sampled_from('ab ,;"\'\r\n\t=-é🎉'), max_size=8) | st.text(max_size=8)
tables = st.lists(names, min_size=1, max_size=5, unique=True).flatmap(
    lambda columns: st.tuples(st.just(columns),
                              st.lists(st.lists(values, min_size=len(columns),
                                                max_size=len(columns)), max_size=6)))


def read_back(path, delimiter):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.reader(f, delimiter=delimiter))


@settings(max_examples=300, deadline=None)
@given(table=tables, delimiter=st.sampled_from([",", ";", "\t", "|"]), safe=st.booleans())
def test_round_trip_through_csv_reader(tmp_path_factory, table, delimiter, safe):
    columns, rows = table
    if not rows:
        rows = [[""] * len(columns)]
    path = str(tmp_path_factory.mktemp("rt") / "out.csv")
    write_csv(path, [dict(zip(columns, row)) for row in rows], delimiter=delimiter, safe=safe)

    def guarded(value):
        return "'" + value if safe and value[:1] in ("\t", "\r", "+", "-", "=", "@") else value

    expected = [columns] + [[guarded(v) for v in row] for row in rows]
    assert read_back(path, delimiter) == expected
