"""What the writers write, the readers read back."""

from hypothesis import given, settings, strategies as st

from brelt._core import read_csv, write_csv

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
