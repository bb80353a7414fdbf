"""read_csv on large tables: the parallel conversion, the worker pool's size
and environment, fork safety, and a round trip through the csv module.
(Forks while other threads use the pool: test_concurrency.py.)"""

import csv
import io
import os
import subprocess
import sys
import textwrap

import pytest
from hypothesis import given, settings, strategies as st

from brelt._core import read_csv


def table_text(records, columns=3):
    """Records of mixed types, some short, with nulls and padding."""
    names = [f"c{k}" for k in range(columns)]
    lines = [",".join(names)]
    expected = []
    for i in range(records):
        values = [str(i), f" {i / 4} ", "yes" if i % 3 else "no", f"t{i % 7}", "NA" if i % 5 == 0 else str(-i)]
        row = values[:columns]
        if i % 11 == 0:
            row = row[:1]  # a short record: the rest convert from empty text
        lines.append(",".join(row))
        full = row + [""] * (columns - len(row))
        typed = [i, i / 4, i % 3 != 0, f"t{i % 7}", None if i % 5 == 0 else -i][:columns]
        expected.append({name: (typed[k] if full[k] != "" else None) for k, name in enumerate(names)})
    return "\n".join(lines) + "\n", expected


@pytest.mark.parametrize("records, columns", [(500, 3), (501, 3), (600, 5), (5000, 4), (20000, 1)])
def test_both_conversion_paths_give_the_same_values(write_file, records, columns):
    text, expected = table_text(records, columns)
    assert read_csv(write_file(text)) == expected


def test_many_blocks(write_file):
    # Wide enough that the cells are typed in several blocks.
    columns = 300
    header = ",".join(f"h{k}" for k in range(columns))
    line = ",".join(str(k) for k in range(columns))
    rows = read_csv(write_file(header + "\n" + (line + "\n") * 2000))
    assert len(rows) == 2000
    assert rows[0] == rows[-1] == {f"h{k}": k for k in range(columns)}


class TestPieces:
    """Large files are parsed a piece at a time (about 2**18 cells each) while
    earlier pieces become dicts; none of that may show in the result."""

    RECORDS = 200_000  # three pieces of three columns

    def test_values_skip_max_rows_and_columns_across_pieces(self, write_file):
        text, expected = table_text(self.RECORDS, 3)
        path = write_file(text)
        assert read_csv(path) == expected
        assert read_csv(path, skip_rows=90_000, max_rows=100_000) == expected[90_000:190_000]
        assert read_csv(path, columns=["c2", "c0"]) == [
            {"c2": row["c2"], "c0": row["c0"]} for row in expected]

    def test_text_first_seen_in_a_later_piece_repeats(self, write_file):
        # The string cache outlives the pieces its texts were first seen in.
        words = ["early"] * 150_000 + [f"late{i % 3}" for i in range(150_000, self.RECORDS)]
        lines = ["n,word"] + [f"{i},{word}" for i, word in enumerate(words)]
        rows = read_csv(write_file("\n".join(lines) + "\n"))
        assert [row["word"] for row in rows] == words

    def test_an_error_in_a_later_piece_raises_and_returns_nothing(self, write_file):
        lines = ["a,b,c"] + ["1,2,3"] * self.RECORDS + ["4,5"]
        with pytest.raises(ValueError) as raised:
            read_csv(write_file("\n".join(lines) + "\n"), strict=True)
        # Record numbers and byte offsets run on across pieces.
        assert str(raised.value) == (
            f"CSV parse error: CSV error: record {self.RECORDS + 1} "
            f"(byte: {6 + 6 * self.RECORDS}): found record with 2 fields, "
            "but the previous record has 3 fields")


def run_python(code, env=None, timeout=120):
    full_env = dict(os.environ)
    for name in ("RAYON_NUM_THREADS", "RAYON_RS_NUM_CPUS"):
        full_env.pop(name, None)
    full_env.update(env or {})
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], env=full_env,
                            capture_output=True, text=True, timeout=timeout)
    assert result.returncode == 0, result.stderr
    return result.stdout.split()


POOL_PROBE = """
    import os, sys, tempfile
    from brelt._core import read_csv
    path = os.path.join(tempfile.mkdtemp(), "big.csv")
    with open(path, "w") as f:
        f.write("a,b,c\\n" + "1,2.5,x\\n" * 5000)
    small = os.path.join(os.path.dirname(path), "small.csv")
    with open(small, "w") as f:
        f.write("a,b\\n1,2\\n")
    threads = lambda: len(os.listdir("/proc/self/task"))
    before = threads()
    {body}
"""


def pool_threads(body, env=None):
    return [int(n) for n in run_python(POOL_PROBE.format(body=textwrap.dedent(body).replace(
        "\n", "\n    ")), env)]


@pytest.mark.parametrize("body, env, expected", [
    # The environment sets the size (two workers beside the calling thread),
    # and later requests change nothing.
    ("read_csv(path, n_threads=0); print(threads() - before)\n"
     "read_csv(path, n_threads=8); print(threads() - before)", {"RAYON_NUM_THREADS": "3"}, [2, 2]),
    # The first request wins, even for a tiny file.
    ("read_csv(small, n_threads=4); print(threads() - before)\n"
     "read_csv(path, n_threads=2); print(threads() - before)", {}, [3, 3]),
    # A request that cannot be met is ignored.
    ("read_csv(small, n_threads=2**64 - 1); print(threads() - before)\n"
     "read_csv(path); print(threads() - before)", {"RAYON_NUM_THREADS": "2"}, [0, 1]),
    # An empty result asks for nothing.
    ("read_csv(small, n_threads=4, max_rows=0); print(threads() - before)", {}, [0]),
    # Fallbacks: 0 means one thread per available CPU.
    ("read_csv(path); print(threads() - before)",
     {"RAYON_NUM_THREADS": "0", "RAYON_RS_NUM_CPUS": "4"}, None),
    ("read_csv(path); print(threads() - before)",
     {"RAYON_NUM_THREADS": "x", "RAYON_RS_NUM_CPUS": "4"}, [3]),
    ("read_csv(path); print(threads() - before)", {"RAYON_RS_NUM_CPUS": "2"}, [1]),
    ("read_csv(path); print(threads() - before)", {"RAYON_NUM_THREADS": "1"}, [0]),
])
def test_pool_size(body, env, expected):
    if expected is None:
        expected = [len(os.sched_getaffinity(0)) - 1]
    assert pool_threads(body, env) == expected


FORK_PROBE = """
    import os, sys, tempfile
    from brelt._core import read_csv
    path = os.path.join(tempfile.mkdtemp(), "big.csv")
    with open(path, "w") as f:
        f.write("a,b,c\\n" + "1,2.5,x\\n" * 5000)
    expected = read_csv(path, n_threads=2)
    pid = os.fork()
    if pid == 0:
        ok = read_csv(path) == expected and read_csv(path, n_threads=3) == expected
        {child_exit}
    _, status = os.waitpid(pid, 0)
    print(os.waitstatus_to_exitcode(status))
    print(read_csv(path) == expected)
"""


@pytest.mark.parametrize("child_exit", ["os._exit(0 if ok else 1)", "sys.exit(0 if ok else 1)"])
def test_forked_child_reads_after_parent_used_the_pool(child_exit):
    assert run_python(FORK_PROBE.format(child_exit=child_exit), timeout=60) == ["0", "True"]


# Unicode White_Space: what read_csv trims from every cell.
WHITE_SPACE = set("\t\n\v\f\r \x85\xa0\u1680\u2028\u2029\u202f\u205f\u3000") | {
    chr(c) for c in range(0x2000, 0x200B)}


def trimmed(text):
    start, end = 0, len(text)
    while start < end and text[start] in WHITE_SPACE:
        start += 1
    while end > start and text[end - 1] in WHITE_SPACE:
        end -= 1
    return text[start:end]


cell = st.text(alphabet=st.sampled_from(list('ab,"\n\r é日\u00a0\u3000\x1c\u200b')), max_size=8)


@settings(max_examples=150, deadline=None)
@given(st.data())
def test_csv_module_round_trip(tmp_path_factory, data):
    width = data.draw(st.integers(1, 5))
    names = data.draw(st.lists(cell, min_size=width, max_size=width, unique=True))
    rows = data.draw(st.lists(st.lists(cell, min_size=width, max_size=width), max_size=30))
    buffer = io.StringIO()
    writer = csv.writer(buffer)
    writer.writerow(names)
    writer.writerows(rows)
    path = tmp_path_factory.mktemp("round") / "t.csv"
    path.write_text(buffer.getvalue(), encoding="utf-8", newline="")
    got = read_csv(str(path), delimiter=",", schema={n: str for n in names}, null_values=[])
    expected = [{n: trimmed(v) for n, v in zip(names, row)} for row in rows]
    assert got == expected



def test_lock_is_released_while_the_file_is_loaded():
    """read_csv blocks opening a FIFO until someone writes to it. If it held
    the interpreter lock meanwhile, the writer below could never run."""
    got = run_python("""
        import os, tempfile, threading
        from brelt._core import read_csv
        fifo = os.path.join(tempfile.mkdtemp(), "pipe")
        os.mkfifo(fifo)
        result = []
        reader = threading.Thread(target=lambda: result.append(read_csv(fifo)))
        reader.start()
        with open(fifo, "w") as f:
            f.write("a,b\\n1,x\\n")
        reader.join()
        print(result == [[{"a": 1, "b": "x"}]])
    """, timeout=30)
    assert got == ["True"]
