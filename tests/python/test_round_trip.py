"""What the writers write, the readers read back."""

import io

from hypothesis import given, settings, strategies as st

from brelt._core import PyReader, PyWriter, read_csv, write_csv

# write_csv never quotes, so its values keep clear of the dialect's bytes.
plain = st.text(alphabet=st.sampled_from(list("ab Zé日\u00a0=-+.0123456789")), max_size=6)

WHITE_SPACE = " \u00a0"


@settings(max_examples=100, deadline=None)
@given(st.data())
def test_write_csv_then_read_csv(tmp_path_factory, data):
    names = data.draw(st.lists(plain.filter(lambda n: n != ""), min_size=1, max_size=4,
                               unique=True))
    rows = data.draw(st.lists(st.fixed_dictionaries({n: plain for n in names}), max_size=20))
    path = str(tmp_path_factory.mktemp("rt") / "t.csv")
    write_csv(path, rows, safe=False)
    got = read_csv(path, delimiter=",", schema={n: str for n in names}, null_values=[])
    # A header whose only name is blank after trimming is still the header.
    expected = [{n: v.strip(WHITE_SPACE) for n, v in row.items()} for row in rows]
    assert got == expected


def test_write_csv_then_read_csv_typed(tmp_path):
    path = str(tmp_path / "typed.csv")
    rows = [{"i": i, "f": i / 8, "b": i % 2 == 0, "s": f"s{i}", "n": None if i % 3 else i}
            for i in range(1000)]
    write_csv(path, rows)
    got = read_csv(path, null_values=["None"])
    assert got == rows


rich = st.text(alphabet=st.sampled_from(list('ab ,;"\r\n\té日=')), max_size=6)


@settings(max_examples=150, deadline=None)
@given(st.lists(st.lists(rich, min_size=1, max_size=4), max_size=15),
       st.sampled_from([",", ";", "\t"]), st.sampled_from([0, 1, 2]))
def test_writer_then_reader(rows, delimiter, quoting):
    out = io.StringIO()
    PyWriter(out, delimiter=delimiter, quoting=quoting).writerows(rows)
    got = PyReader(io.StringIO(out.getvalue()), delimiter=delimiter).fetch_many_lists(10**6)
    # A record of one empty field is written as "" so it is not a blank line.
    assert got == rows


@settings(max_examples=100, deadline=None)
@given(st.data())
def test_write_csv_then_reader(tmp_path_factory, data):
    names = data.draw(st.lists(plain.filter(lambda n: n.strip() != ""), min_size=1, max_size=4,
                               unique=True))
    rows = data.draw(st.lists(st.fixed_dictionaries({n: plain for n in names}), min_size=1,
                              max_size=20))
    path = tmp_path_factory.mktemp("rt") / "t.csv"
    write_csv(str(path), rows, safe=False)
    with open(path, encoding="utf-8", newline="") as f:
        reader = PyReader(f)
    header = next(reader).to_list()
    reader.set_field_names(header)
    got = [dict(reader.items()) for _ in reader]
    assert header == names and got == rows


def test_write_csv_writes_lone_surrogates_as_replacement_and_every_other_character_as_is(
        tmp_path):
    # A lone surrogate sends the whole value through a slower encoder: every
    # UTF-8 length at its edges, beside two of them.
    value = "\ud800\x7f\x80\u07ff\u0800\uffff\U00010000\U0010ffff\udfff"
    path = tmp_path / "lone.csv"
    write_csv(str(path), [{"a": value}])
    assert path.read_text(encoding="utf-8") == "a\n\ufffd" + value[1:-1] + "\ufffd\n"
