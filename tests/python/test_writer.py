"""PyWriter: settings, what reaches file_obj.write and when, failures, round trips."""

import csv
import gc
import io
import threading
import weakref

import pytest
from hypothesis import given, settings, strategies as st

from brelt._core import PyWriter


class RecordingFile:
    """A file_obj double that records every write call, or raises instead."""

    def __init__(self, fail_with=None):
        self.calls = []
        self.fail_with = fail_with

    def write(self, text):
        if self.fail_with is not None:
            raise self.fail_with
        self.calls.append(text)
        return len(text)


def written(*rows, **settings):
    f = RecordingFile()
    writer = PyWriter(f, **settings)
    for row in rows:
        writer.writerow(row)
    return "".join(f.calls)


class TestSettings:
    def test_defaults_quote_minimally_with_crlf(self):
        f = RecordingFile()
        PyWriter(f).writerow(["a", "b,c", 3, None])
        assert f.calls == ['a,"b,c",3,None\r\n']

    @pytest.mark.parametrize("settings, expected", [
        ({"delimiter": ""}, 'a,"b,c"\r\n'),
        ({"delimiter": ";;"}, "a;b,c\r\n"),
        ({"delimiter": "\t"}, "a\tb,c\r\n"),
        ({"quotechar": ""}, 'a,"b,c"\r\n'),
        ({"quotechar": "'"}, "a,'b,c'\r\n"),
        ({"quoting": 1}, '"a","b,c"\r\n'),
        ({"quoting": True}, '"a","b,c"\r\n'),
        ({"quoting": 3}, "a,b,c\r\n"),
        ({"quoting": 7}, 'a,"b,c"\r\n'),
        ({"quoting": 2**32 - 1}, 'a,"b,c"\r\n'),
        ({"lineterminator": "\n"}, 'a,"b,c"\n'),
        ({"lineterminator": "||"}, 'a,"b,c"||'),
    ])
    def test_dialect(self, settings, expected):
        assert written(["a", "b,c"], **settings) == expected

    def test_positional_settings(self):
        f = RecordingFile()
        PyWriter(f, ";", "'", 2, "\n", True).writerow(["=x", "1"])
        assert f.calls == ["'''=x';1\n"]

    def test_quote_nonnumeric_judges_the_text_not_the_type(self):
        assert written(["1.5", 2, "x", "", None, "-5"], quoting=2, safe=True) == \
            '1.5,2,"x","","None","\'-5"\r\n'

    def test_safe_guards_formulas_before_quoting(self):
        assert written(["=SUM(A1)", "-5", "a=b", "=A1,B1"], safe=True) == \
            "'=SUM(A1),'-5,a=b,\"'=A1,B1\"\r\n"
        assert written(["=x"], safe=False) == "=x\r\n"

    @pytest.mark.parametrize("settings, error, message", [
        ({"quoting": -1}, OverflowError, "out of range integral type conversion attempted"),
        ({"quoting": 2**32}, OverflowError, "out of range integral type conversion attempted"),
        ({"quoting": 2**70}, OverflowError, "too large"),
        ({"quoting": 1.5}, TypeError, "quoting"),
        ({"quoting": "1"}, TypeError, "quoting"),
        ({"safe": 1}, TypeError, "safe"),
        ({"delimiter": b","}, TypeError, "delimiter"),
        ({"delimiter": None}, TypeError, "delimiter"),
        ({"lineterminator": 10}, TypeError, "lineterminator"),
        ({"nonsense": 1}, TypeError, "nonsense"),
    ])
    def test_bad_settings_raise_and_build_nothing(self, settings, error, message):
        with pytest.raises(error, match=message):
            PyWriter(RecordingFile(), **settings)

    def test_file_obj_is_required_but_never_checked(self):
        with pytest.raises(TypeError, match="file_obj"):
            PyWriter()
        PyWriter(42)

    def test_class_shape(self):
        assert PyWriter.__module__ == "builtins"
        assert PyWriter.__text_signature__ == (
            '(file_obj, delimiter=",", quotechar="\\"", quoting=0, '
            'lineterminator="\\r\\n", safe=False)')
        assert PyWriter.writerow.__doc__ == \
            "Write a single row — flush immediately for stdlib compat."
        assert PyWriter.writerows.__text_signature__ == "($self, rows)"
        writer = PyWriter(RecordingFile())
        assert not hasattr(writer, "__dict__")
        with pytest.raises(AttributeError):
            writer.delimiter = ";"
        with pytest.raises(TypeError):
            type("Sub", (PyWriter,), {})


class TestWriterow:
    def test_one_write_per_row_and_none_without_bytes(self):
        f = RecordingFile()
        writer = PyWriter(f)
        assert writer.writerow([]) is None
        writer.writerow([""])
        writer.writerow(["x", "y"])
        # A lone empty field is quoted so the line does not read as blank.
        assert f.calls == ["\r\n", '""\r\n', "x,y\r\n"]
        silent = RecordingFile()
        quiet = PyWriter(silent, lineterminator="")
        quiet.writerow([])
        assert silent.calls == []
        unquoted = RecordingFile()
        PyWriter(unquoted, quoting=3).writerow([""])
        assert unquoted.calls == ["\r\n"]

    def test_rows_may_be_any_sequence(self):
        class Pair:
            def __len__(self):
                return 2

            def __getitem__(self, index):
                return f"item{index}"

        assert written(("a", 1), "abc", range(3), Pair(), lineterminator="\n") == \
            "a,1\na,b,c\n0,1,2\nitem0,item1\n"

    def test_values_become_their_str(self):
        class Subclass(str):
            def __str__(self):
                return "never used"

        assert written([b"x", 1.5, 1e16, True, Subclass("own"), float("nan")]) == \
            "b'x',1.5,1e+16,True,own,nan\r\n"

    def test_unicode_passes_through(self):
        assert written(["héllo", "日本,語", "🎉"]) == 'héllo,"日本,語",🎉\r\n'


class TestWriterows:
    def test_one_write_for_the_whole_batch(self):
        f = RecordingFile()
        writer = PyWriter(f, lineterminator="\n")
        writer.writerows([[], ["x"], ("a", "b,c"), "hi"])
        assert f.calls == ['\nx\na,"b,c"\nh,i\n']

    def test_no_write_without_fields(self):
        f = RecordingFile()
        writer = PyWriter(f)
        writer.writerows([])
        writer.writerows([[], []])
        assert f.calls == []

    def test_rows_must_be_a_list(self):
        class Rows(list):
            pass

        f = RecordingFile()
        writer = PyWriter(f)
        with pytest.raises(TypeError, match="^Expected list$"):
            writer.writerows((["a"],))
        writer.writerows(Rows([["a"]]))
        assert f.calls == ["a\r\n"]

    def test_matches_writerow(self):
        rows = [["a", "b"], [], ["=1", 'q"', "x\ny", ""], [1, None]]
        one_by_one = written(*rows, safe=True, quoting=2)
        f = RecordingFile()
        PyWriter(f, safe=True, quoting=2).writerows(rows)
        assert f.calls == [one_by_one]


class TestFailedHandOver:
    def test_pending_text_goes_out_with_the_next_writerow(self):
        f = RecordingFile(fail_with=OSError("disk"))
        writer = PyWriter(f)
        with pytest.raises(OSError, match="disk"):
            writer.writerow(["first"])
        f.fail_with = None
        writer.writerow(["second"])
        assert f.calls == ["first\r\nsecond\r\n"]

    def test_del_delivers_pending_text_and_is_silent_otherwise(self):
        f = RecordingFile(fail_with=ValueError("closed"))
        writer = PyWriter(f)
        writer.__del__()
        with pytest.raises(ValueError):
            writer.writerow(["a"])
        f.fail_with = None
        writer.__del__()
        writer.__del__()
        assert f.calls == ["a\r\n"]

    def test_destroying_a_writer_does_not_write_pending_text(self):
        f = RecordingFile(fail_with=OSError("gone"))
        writer = PyWriter(f)
        with pytest.raises(OSError):
            writer.writerow(["lost"])
        f.fail_with = None
        del writer
        gc.collect()
        assert f.calls == []

    def test_writerows_drops_its_batch_and_keeps_the_pending_rows(self):
        f = RecordingFile(fail_with=OSError("full"))
        writer = PyWriter(f)
        with pytest.raises(OSError):
            writer.writerow(["pending"])
        with pytest.raises(OSError):
            writer.writerows([["batch"]])
        f.fail_with = None
        writer.writerows([["later"]])
        writer.__del__()
        assert f.calls == ["later\r\n", "pending\r\n"]

    def test_missing_write_and_binary_files(self):
        with pytest.raises(AttributeError):
            PyWriter(object()).writerow(["a"])
        with pytest.raises(TypeError):
            PyWriter(io.BytesIO()).writerow(["a"])

    def test_non_ascii_delimiter_gives_invalid_utf8_that_stays_pending(self):
        f = RecordingFile()
        writer = PyWriter(f, delimiter="é")
        writer.writerow(["alone"])
        with pytest.raises(MemoryError, match="^alloc$"):
            writer.writerow(["a", "b"])
        with pytest.raises(MemoryError):
            writer.writerow(["c"])
        with pytest.raises(MemoryError):
            writer.writerows([["x", "y"]])
        writer.writerows([["z"]])
        assert f.calls == ["alone\r\n", "z\r\n"]


class TestBadRows:
    def test_a_failing_value_writes_nothing_of_its_call(self):
        class Unprintable:
            def __str__(self):
                raise LookupError("no text")

        f = RecordingFile()
        writer = PyWriter(f)
        with pytest.raises(LookupError):
            writer.writerow(["kept?", Unprintable()])
        with pytest.raises(LookupError):
            writer.writerows([["fine"], ["x", Unprintable()]])
        with pytest.raises(UnicodeEncodeError):
            writer.writerow(["ok", "lone \ud800"])
        with pytest.raises(UnicodeEncodeError):
            writer.writerows([["lone \udfff"]])
        writer.writerow(["next"])
        assert f.calls == ["next\r\n"]

    @pytest.mark.parametrize("row", [5, (x for x in "ab"), {"a": 1}, None])
    def test_rows_without_length_and_indexing(self, row):
        f = RecordingFile()
        writer = PyWriter(f)
        with pytest.raises(TypeError):
            writer.writerow(row)
        with pytest.raises(TypeError):
            writer.writerows([["a"], row])
        assert f.calls == []

    def test_a_row_that_shrinks_while_converting_ends_early(self):
        row = []

        class Shrinker:
            def __str__(self):
                row.clear()
                return "s"

        row.extend(["a", Shrinker(), "b", "c"])
        assert written(row) == "a,s\r\n"

    def test_rows_that_shrink_while_converting_end_early(self):
        rows = []

        class Shrinker:
            def __str__(self):
                del rows[1:]
                return "s"

        rows.extend([["a", Shrinker()], ["gone"], ["gone too"]])
        f = RecordingFile()
        PyWriter(f).writerows(rows)
        assert f.calls == ["a,s\r\n"]


class TestExclusiveUse:
    def test_reentrant_calls_from_write_are_refused(self):
        outcomes = []

        class CallsBack(RecordingFile):
            def write(self, text):
                for method, argument in ((writer.writerow, ["x"]),
                                         (writer.writerows, [["x"]]), (writer.__del__, None)):
                    try:
                        method() if argument is None else method(argument)
                    except RuntimeError as error:
                        outcomes.append(str(error))
                return super().write(text)

        f = CallsBack()
        writer = PyWriter(f)
        writer.writerow(["a"])
        writer.writerows([["b"]])
        assert outcomes == ["Already borrowed"] * 6
        assert f.calls == ["a\r\n", "b\r\n"]

    def test_other_threads_run_while_writerows_serializes(self):
        rows = [["field,%d" % i, "x" * 50] for i in range(200_000)]
        f = RecordingFile()
        writer = PyWriter(f)
        refusals = []
        worker = threading.Thread(target=writer.writerows, args=(rows,))
        worker.start()
        while worker.is_alive():
            try:
                writer.writerow(["side"])
            except RuntimeError as error:
                refusals.append(str(error))
        worker.join()
        assert set(refusals) <= {"Already borrowed"}
        batch = [call for call in f.calls if call != "side\r\n"]
        assert batch == ['"field,0",' + "x" * 50 + "\r\n" +
                         "".join('"field,%d",%s\r\n' % (i, "x" * 50) for i in range(1, 200_000))]


def test_a_cycle_through_the_file_object_is_collected():
    class Holder(RecordingFile):
        pass

    f = Holder()
    f.writer = PyWriter(f)
    alive = weakref.ref(f)
    del f
    gc.collect()
    assert alive() is None


# Round trips and parity with the csv module.

fields = st.text(alphabet=st.sampled_from('ab ,;"\'\r\n\t=-é日🎉'), max_size=8) | st.text(max_size=8)
row_lists = st.lists(st.lists(fields, min_size=1, max_size=6), max_size=8)


def read_back(text, **dialect):
    return list(csv.reader(io.StringIO(text, newline=""), **dialect))


@settings(max_examples=300, deadline=None)
@given(rows=row_lists, quoting=st.sampled_from([csv.QUOTE_MINIMAL, csv.QUOTE_ALL]),
       delimiter=st.sampled_from([",", ";", "\t"]), batch=st.booleans())
def test_rows_of_str_are_written_as_the_csv_module_writes_them(rows, quoting, delimiter, batch):
    ours, theirs = io.StringIO(newline=""), io.StringIO(newline="")
    writer = PyWriter(ours, delimiter=delimiter, quoting=quoting)
    if batch:
        writer.writerows(rows)
    else:
        for row in rows:
            writer.writerow(row)
    csv.writer(theirs, delimiter=delimiter, quoting=quoting).writerows(rows)
    assert ours.getvalue() == theirs.getvalue()


@settings(max_examples=200, deadline=None)
@given(rows=row_lists)
def test_guarded_output_reads_back_as_guarded_text(rows):
    f = io.StringIO(newline="")
    PyWriter(f, safe=True).writerows(rows)
    guarded = [["'" + v if v[:1] in ("\t", "\r", "+", "-", "=", "@") else v for v in row]
               for row in rows]
    assert read_back(f.getvalue()) == guarded
