"""read_csv: arguments, the text read, types, nulls, selection and failures."""

import math
import os
import pathlib
import re

import pytest

from brelt._core import read_csv

REPO = pathlib.Path(__file__).resolve().parents[2]


def read(write_file, text, **options):
    return read_csv(write_file(text), **options)


class TestBasics:
    def test_header_and_typed_record(self, write_file):
        assert read(write_file, "a,b\n1,x\n") == [{"a": 1, "b": "x"}]

    @pytest.mark.parametrize("text", ["", "a,b\n", "a,b", "\n\n"])
    def test_no_records_gives_empty_list(self, write_file, text):
        assert read(write_file, text) == []

    def test_extra_fields_are_dropped_and_missing_are_null(self, write_file):
        rows = read(write_file, "a,b,c\n1,2,3,4,5\n1,2\n")
        assert rows == [{"a": 1, "b": 2, "c": 3}, {"a": 1, "b": 2, "c": None}]

    def test_duplicate_names_keep_first_position_and_last_value(self, write_file):
        rows = read(write_file, "a,b,a\n1,x,2.5\n")
        assert rows == [{"a": 2.5, "b": "x"}]
        assert list(rows[0]) == ["a", "b"]

    def test_keys_are_shared_objects(self, write_file):
        rows = read(write_file, "name,v\nx,1\ny,2\n")
        first, second = (list(row) for row in rows)
        assert all(a is b for a, b in zip(first, second))

    def test_repeated_strings_share_one_object(self, write_file):
        rows = read(write_file, "s\n" + "same\n" * 300)
        assert len({id(row["s"]) for row in rows}) == 1

    def test_unique_strings_stay_correct_after_cache_gives_up(self, write_file):
        values = [f"v{i}" for i in range(1000)]
        rows = read(write_file, "s\n" + "\n".join(values) + "\n")
        assert [row["s"] for row in rows] == values

    def test_non_ascii_and_quoted_text(self, write_file):
        rows = read(write_file, 'a,b\n"x, ""y""\n z",日本 é\n')
        assert rows == [{"a": 'x, "y"\n z', "b": "日本 é"}]


class TestArguments:
    @pytest.mark.parametrize("options", [
        {"has_header": 1}, {"strict": "yes"}, {"skip_rows": -1}, {"max_rows": 1.0},
        {"columns": "a"}, {"null_values": "NA"}, {"schema": [("a", int)]},
        {"encoding": 8}, {"delimiter": b","}, {"n_threads": -2},
        {"has_header": None}, {"skip_rows": None}, {"strict": None},
    ])
    def test_wrong_argument_types_raise_before_reading(self, options):
        with pytest.raises((TypeError, OverflowError)):
            read_csv("/nonexistent/file.csv", **options)

    def test_signature(self):
        assert read_csv.__text_signature__ == (
            "(path, delimiter=None, has_header=True, schema=None, skip_rows=0, max_rows=None, "
            "columns=None, null_values=None, encoding=None, strict=False, n_threads=None)")

    def test_empty_delimiter_fails_before_the_file_is_read(self):
        with pytest.raises(ValueError, match="delimiter"):
            read_csv("/nonexistent/file.csv", delimiter="")

    def test_missing_file_is_value_error_with_os_code(self, tmp_path):
        with pytest.raises(ValueError, match=r"\(os error 2\)$"):
            read_csv(str(tmp_path / "missing.csv"))

    def test_directory_and_nul_byte(self, tmp_path):
        with pytest.raises(ValueError, match=r"\(os error 21\)$"):
            read_csv(str(tmp_path))
        with pytest.raises(ValueError, match="NUL byte"):
            read_csv("a\0b")


class TestDelimiter:
    def test_given_delimiter_wins_over_detection(self, write_file):
        assert read(write_file, "a,b;c\n1,2;3\n", delimiter=";") == [{"a,b": "1,2", "c": 3}]

    def test_only_first_byte_is_used(self, write_file):
        assert read(write_file, "a|b\n1|2\n", delimiter="||") == [{"a": 1, "b": 2}]

    def test_detected(self, write_file):
        assert read(write_file, "a;b\n1;2\n3;4\n") == [{"a": 1, "b": 2}, {"a": 3, "b": 4}]
        assert read(write_file, "a\tb\n1\t2\n") == [{"a": 1, "b": 2}]

    def test_sample_cut_inside_a_character_still_detects(self, write_file):
        # Byte 4,095, the last of the 4,096-byte sample, starts a two-byte "é".
        text = "ab;c\n" + "é" * 2100 + ";1\n"
        assert text.encode()[4095:4097] == "é".encode()
        assert read(write_file, text) == [{"ab": "é" * 2100, "c": 1}]


class TestText:
    def test_utf8_byte_order_mark_is_not_part_of_the_name(self, write_file):
        assert read(write_file, b"\xef\xbb\xbfa,b\n1,2\n") == [{"a": 1, "b": 2}]

    @pytest.mark.parametrize("codec, mark", [("utf-16-le", b"\xff\xfe"), ("utf-16-be", b"\xfe\xff")])
    def test_utf16_with_mark_needs_no_encoding(self, write_file, codec, mark):
        data = mark + "a,名\n1,é\n".encode(codec)
        assert read(write_file, data) == [{"a": 1, "名": "é"}]

    def test_invalid_utf16_fails(self, write_file):
        with pytest.raises(ValueError, match="^Failed to decode UTF-16LE$"):
            read(write_file, b"\xff\xfea\x00,")

    def test_not_utf8_falls_back_to_windows_1252(self, write_file):
        assert read(write_file, b"a,b\n\xe9,\x80\n") == [{"a": "é", "b": "€"}]

    def test_encoding_label(self, write_file):
        data = "a,b\nä,ø\n".encode("iso-8859-15")
        assert read(write_file, data, encoding="l9") == [{"a": "ä", "b": "ø"}]
        assert read(write_file, "a\nx\n".encode("shift_jis"), encoding=" Shift_JIS ") == [
            {"a": "x"}]

    def test_byte_order_mark_beats_label(self, write_file):
        assert read(write_file, b"\xef\xbb\xbfa\n\xc3\xa9\n", encoding="latin1") == [{"a": "é"}]

    def test_unknown_encoding(self, write_file):
        with pytest.raises(ValueError, match="^Unknown encoding: no-such-thing$"):
            read(write_file, "a\n1\n", encoding="no-such-thing")

    def test_every_label_reads(self, write_file):
        table = (REPO / "src/core/input/encoding/generated/label_table.hpp").read_text()
        labels = re.findall(r'\{"([^"]+)", Encoding::(\w+)\}', table)
        assert len(labels) > 200
        ascii_text = "a,b\n1,x\n"
        for label, encoding in labels:
            if encoding == "Replacement":
                assert read(write_file, ascii_text, encoding=label) == [], label
                continue
            codec = {"Utf16LE": "utf-16-le", "Utf16BE": "utf-16-be"}.get(encoding, "ascii")
            rows = read(write_file, ascii_text.encode(codec), encoding=label.upper())
            assert rows == [{"a": 1, "b": "x"}], label

    @pytest.mark.parametrize("size", [2_097_151, 2_097_152, 2_097_153])
    def test_read_and_mapped_files_agree(self, write_file, size):
        head = "n,s\n"
        line = "7,abcdefgh\n"
        body = line * ((size - len(head)) // len(line))
        text = head + body
        text += "x" * (size - len(text))  # a last record of one field
        assert len(text) == size
        rows = read(write_file, text)
        assert len(rows) == len(body) // len(line) + 1
        assert rows[0] == {"n": 7, "s": "abcdefgh"}
        assert rows[-1]["s"] is None


class TestNulls:
    def test_default_null_values(self, write_file):
        rows = read(write_file, "a\n\nNA\nnull\nNone\nna\n none \n", has_header=True)
        assert [row["a"] for row in rows] == [None, None, None, "na", "none"]

    def test_blank_line_is_not_a_record_but_empty_field_is_null(self, write_file):
        assert read(write_file, 'a,b\n,1\n""\n') == [{"a": None, "b": 1}, {"a": None, "b": None}]

    def test_empty_list_means_no_nulls(self, write_file):
        rows = read(write_file, "a,b\n,NA\nx\n", null_values=[])
        assert rows == [{"a": "", "b": "NA"}, {"a": "x", "b": ""}]  # missing reads as empty

    def test_given_list_replaces_defaults(self, write_file):
        rows = read(write_file, "a,b\n-,NA\n1,x\n", null_values=["-"])
        assert rows == [{"a": None, "b": "NA"}, {"a": 1, "b": "x"}]


class TestTypes:
    def column(self, write_file, values, **options):
        rows = read(write_file, "v\n" + "\n".join(values) + "\n", **options)
        return [row["v"] for row in rows]

    @pytest.mark.parametrize("values, expected", [
        (["1", "2", "3"], [1, 2, 3]),
        (["1", "2.5"], [1.0, 2.5]),
        (["yes", "no", "TRUE"], [True, False, True]),
        (["0", "1"], [0, 1]),
        (["abc"], ["abc"]),
        (["9223372036854775807", "-9223372036854775808"],
         [9223372036854775807, -9223372036854775808]),
        (["12345678901234567890"], [1.2345678901234567e19]),
        ([" 42 ", "\u00a0-7\u3000", "+3"], [42, -7, 3]),
        (["1", '""', "NA", "2"], [1, None, None, 2]),
    ])
    def test_inferred(self, write_file, values, expected):
        got = self.column(write_file, values)
        assert got == expected
        assert [type(v) for v in got] == [type(v) for v in expected]

    def test_special_floats(self, write_file):
        got = self.column(write_file, ["nan", "inf", "1e400", "-Infinity"])
        assert math.isnan(got[0]) and got[1:] == [math.inf, math.inf, -math.inf]

    def test_threshold(self, write_file):
        assert self.column(write_file, [str(i) for i in range(96)] + ["w"] * 4)[-1] == "w"
        assert self.column(write_file, [str(i) for i in range(96)] + ["1.5"] * 4)[0] == 0.0
        # 20 non-null values, under 95% integers: strings.
        assert self.column(write_file, [str(i) for i in range(18)] + ["x", "y"])[0] == "0"
        # 19 non-null values: one stranger is tolerated.
        assert self.column(write_file, [str(i) for i in range(18)] + ["x"])[0] == 0

    def test_only_first_thousand_records_decide(self, write_file):
        got = self.column(write_file, ["1"] * 1000 + ["abc", "2"])
        assert got[-2:] == ["abc", 2]

    def test_out_of_range_integer_in_int_column_stays_text(self, write_file):
        # Inside the sample it would be a float text and make the column Float.
        got = self.column(write_file, ["1"] * 1000 + ["9223372036854775808"])
        assert got[-1] == "9223372036854775808"

    def test_all_null_column_is_text(self, write_file):
        assert self.column(write_file, ["NA", '""'], null_values=["NA"]) == [None, ""]

    def test_bool_column_keeps_odd_text(self, write_file):
        assert self.column(write_file, ["yes"] * 30 + ["Maybe"])[-1] == "Maybe"


class TestSchema:
    def test_names_and_classes(self, write_file):
        text = "a,b,c,d\n1,2,yes,3\n"
        rows = read(write_file, text, schema={"a": "INTEGER", "b": float, "c": bool, "d": str})
        assert rows == [{"a": 1, "b": 2.0, "c": True, "d": "3"}]
        assert type(rows[0]["b"]) is float

    def test_unnamed_columns_are_text_and_empty_schema_disables_inference(self, write_file):
        assert read(write_file, "a,b\n1,2\n", schema={"a": int}) == [{"a": 1, "b": "2"}]
        assert read(write_file, "a,b\n1,2\n", schema={}) == [{"a": "1", "b": "2"}]

    @pytest.mark.parametrize("type_, name", [("Int64", "Int64"), (list, "list"), ("", "")])
    def test_unknown_type(self, write_file, type_, name):
        with pytest.raises(ValueError) as info:
            read(write_file, "a\n1\n", schema={"a": type_})
        assert str(info.value) == "Unknown type: " + name

    def test_schema_errors_come_before_the_file(self):
        with pytest.raises(ValueError, match="Unknown type"):
            read_csv("/nonexistent", schema={"a": "nope"})
        with pytest.raises(TypeError):
            read_csv("/nonexistent", schema={1: int})
        with pytest.raises(TypeError):
            read_csv("/nonexistent", schema={"a": 5})

    def test_name_attribute_must_be_text(self):
        class Odd:
            __name__ = 3
        with pytest.raises(TypeError):
            read_csv("/nonexistent", schema={"a": Odd()})

    def test_schema_changed_while_read(self):
        schema = {}

        class Grows:
            @property
            def __name__(self):
                schema["other"] = "int"
                return "int"
        schema["a"] = Grows()
        with pytest.raises(RuntimeError):
            read_csv("/nonexistent", schema=schema)


class TestSelection:
    TEXT = "a,b,c\n1,x,2.5\n2,y,3.5\n3,z,4.5\n"

    def test_columns_in_requested_order_unknown_skipped(self, write_file):
        rows = read(write_file, self.TEXT, columns=["c", "zz", "a"])
        assert rows[0] == {"c": 2.5, "a": 1} and list(rows[0]) == ["c", "a"]

    def test_no_matching_column_gives_empty_dicts(self, write_file):
        assert read(write_file, self.TEXT, columns=["zz"]) == [{}, {}, {}]

    def test_skip_and_max_rows(self, write_file):
        rows = read(write_file, self.TEXT, skip_rows=1, max_rows=1)
        assert rows == [{"a": 2, "b": "y", "c": 3.5}]
        assert read(write_file, self.TEXT, skip_rows=5) == []
        assert read(write_file, self.TEXT, max_rows=0) == []
        assert len(read(write_file, self.TEXT, max_rows=2**64 - 1)) == 3

    def test_strict(self, write_file):
        text = "a,b,c\n1,2\n"
        with pytest.raises(ValueError, match="^CSV parse error: ") as info:
            read(write_file, text, strict=True)
        assert "1" in str(info.value) and "2" in str(info.value) and "3" in str(info.value)
        assert read(write_file, text) == [{"a": 1, "b": 2, "c": None}]


class TestHeaderless:
    def test_columns_are_named_by_position(self, write_file):
        rows = read(write_file, "1,x\n2,y,z\n", has_header=False)
        assert rows == [{"column_1": 1, "column_2": "x", "column_3": None},
                        {"column_1": 2, "column_2": "y", "column_3": "z"}]

    def test_schema_and_selection_use_those_names(self, write_file):
        text = "1,x\n2,y\n"
        rows = read(write_file, text, has_header=False, schema={"column_1": str})
        assert rows[0] == {"column_1": "1", "column_2": "x"}
        rows = read(write_file, text, has_header=False,
                    columns=["column_2", "column_9", "column_01", "column_1"])
        assert rows == [{"column_2": "x", "column_1": 1}, {"column_2": "y", "column_1": 2}]
