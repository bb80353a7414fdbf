"""Real-world files: paths of every kind, compressed files (read by their
content, written by their name), iter_csv's batches (read_csv's rows,
closable, bounded, with progress), and what goes wrong with each. (A file
with more text than a table holds: test_limits.py.)"""

import bz2
import functools
import gzip
import lzma
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import textwrap

import pytest
from hypothesis import given, settings, strategies as st

from brelt._core import iter_csv, read_csv, sniff_delimiter, write_csv

ZSTD = shutil.which("zstd")
# The text is read in runs of this size; larger files cross run edges.
RUN_BYTES = 4 << 20


def zstd(*flags):
    return lambda data: subprocess.run([ZSTD, "-q", "-c", *flags], input=data,
                                       capture_output=True, check=True).stdout


COMPRESS = {"gz": gzip.compress, "bz2": bz2.compress, "xz": lzma.compress}
DECOMPRESS = {"gz": gzip.decompress, "bz2": bz2.decompress, "xz": lzma.decompress}
FORMAT_NAMES = {"gz": "gzip", "zst": "zstd", "bz2": "bzip2", "xz": "xz"}
if ZSTD is not None:
    COMPRESS["zst"], DECOMPRESS["zst"] = zstd(), zstd("-d")


def outcome(call):
    """A call's result, or its exception's type and message."""
    try:
        return call()
    except (ValueError, OSError, MemoryError) as error:
        return type(error), str(error)


def batches(path, batch_rows, **options):
    """iter_csv's batches joined, checking each is full but the last; or the
    exception it ends with."""
    rows, sizes = [], []
    try:
        for batch in iter_csv(path, batch_rows=batch_rows, **options):
            rows += batch
            sizes.append(len(batch))
    except (ValueError, OSError, MemoryError) as error:
        return type(error), str(error)
    assert all(size == batch_rows for size in sizes[:-1]) and all(sizes), sizes
    return rows


# ---- batches concatenated are read_csv, compressed or not ----

FIELDS = st.one_of(
    st.integers(-10**6, 10**6).map(str),
    st.floats(allow_nan=False, allow_infinity=False, width=32).map(repr),
    st.sampled_from(["", "NA", "yes", "no", " 7 ", "x", "é", "日本", "a\u00a0"]),
    st.text(alphabet='ab,;"\n\r é', max_size=6).map(lambda t: '"' + t.replace('"', '""') + '"'),
)


@st.composite
def csv_files(draw):
    delimiter = draw(st.sampled_from([",", ";", "\t"]))
    width = draw(st.integers(1, 4))
    rows = draw(st.lists(st.lists(FIELDS, min_size=1, max_size=width + 1), max_size=30))
    end = draw(st.sampled_from(["\n", "\r\n"]))
    text = end.join(delimiter.join(row) for row in [["h" + str(i) for i in range(width)], *rows])
    data = text.encode()
    if draw(st.booleans()):
        data = b"\xef\xbb\xbf" + data
    if draw(st.integers(0, 5)) == 0:
        data += b"\xe9"  # not UTF-8: the whole file is windows-1252, read as one
    options = draw(st.fixed_dictionaries({}, optional={
        "delimiter": st.just(delimiter),
        "has_header": st.booleans(),
        "skip_rows": st.integers(0, 3),
        "max_rows": st.integers(0, 20),
        "columns": st.lists(st.sampled_from(["h0", "h1", "h3", "column_2", "zz"]), max_size=3),
        "null_values": st.lists(st.sampled_from(["", "x", "NA"]), max_size=2),
        "strict": st.booleans(),
        "encoding": st.sampled_from(["utf-8", "latin-1"]),
        "schema": st.just({"h0": str, "h1": float}),
    }))
    return data, options


@settings(max_examples=150)
@given(csv_files(), st.integers(1, 12), st.sampled_from(["", *COMPRESS]), st.integers(0, 400))
def test_batches_and_compressed_reads_are_read_csv(tmp_path_factory, file, batch_rows,
                                                   extension, cut):
    data, options = file
    directory = tmp_path_factory.mktemp("files")
    plain = path = directory / "plain.csv"
    plain.write_bytes(data)
    if extension:  # in two members (streams), read as one
        path = directory / ("packed.csv." + extension)
        path.write_bytes(COMPRESS[extension](data[:cut]) + COMPRESS[extension](data[cut:]))
    expected = outcome(lambda: read_csv(plain, **options))
    assert outcome(lambda: read_csv(path, **options)) == expected
    assert batches(path, batch_rows, **options) == expected
    assert sniff_delimiter(path) == sniff_delimiter(plain)


def test_a_late_byte_that_is_not_utf8_makes_the_whole_file_windows_1252(tmp_path):
    # Past the first run and the first pieces: read_csv has guessed UTF-8 and
    # built dicts by then, iter_csv must know before its first batch.
    text = "name,n\n" + "Zürich,1\n" * (RUN_BYTES // 9 + 1000)
    path = tmp_path / "late.csv"
    path.write_bytes(text.encode() + b"caf\xe9,2\n")
    expected = read_csv(path, encoding="windows-1252")
    assert expected[0] == {"name": "ZÃ¼rich", "n": 1} and expected[-1]["name"] == "café"
    packed = tmp_path / "late.csv.gz"
    packed.write_bytes(gzip.compress(path.read_bytes(), compresslevel=1))
    for file in (path, packed):
        assert read_csv(file) == expected
        assert batches(file, 100_000) == expected


# ---- paths ----

class FsPath:
    def __init__(self, path):
        self.path = path

    def __fspath__(self):
        return self.path


def test_every_path_argument_takes_str_bytes_and_path_like(tmp_path):
    name = b"caf\xe9 \xff.csv"  # not UTF-8: goes to the system as it is
    directory = os.fsencode(tmp_path)
    spellings = [os.path.join(directory, name), os.fsdecode(os.path.join(directory, name)),
                 tmp_path / os.fsdecode(name), FsPath(os.path.join(directory, name))]
    for spelling in spellings:
        write_csv(spelling, [{"a": 1, "b": "x"}])
        assert os.listdir(directory) == [name]
        assert read_csv(spelling) == list(iter_csv(spelling))[0] == [{"a": 1, "b": "x"}]
        assert sniff_delimiter(spelling) == ","
        os.remove(os.path.join(directory, name))


@pytest.mark.parametrize("function", [read_csv, iter_csv, sniff_delimiter,
                                      lambda path: write_csv(path, [])])
@pytest.mark.parametrize("path", [3, None, 1.5, ["a.csv"], bytearray(b"a.csv"), FsPath(3)])
def test_any_other_path_type_is_a_type_error_naming_the_argument(function, path):
    with pytest.raises(TypeError, match="argument 'path'"):
        function(path)


# ---- compressed files ----

@functools.cache
def compressed_sample(extension):
    # Bigger than bzip2's blocks, which come out only whole.
    text = "".join(f"{i},{i * 7 % 1000},word{i % 13}\n" for i in range(130_000)).encode()
    return COMPRESS[extension](b"a,b,c\n" + text)


@pytest.mark.parametrize("extension", list(COMPRESS))
@pytest.mark.parametrize("damage", ["truncated", "corrupt", "trailing"])
def test_a_damaged_stream_names_its_format_and_byte(tmp_path, extension, damage):
    data = bytearray(compressed_sample(extension))
    third = len(data) // 3
    if damage == "corrupt":
        data[third:third + 64] = bytes(b ^ 0x55 for b in data[third:third + 64])
    path = tmp_path / ("damaged.csv." + extension)
    path.write_bytes(data[:len(data) // 2] if damage == "truncated" else
                     data + b"not compressed" if damage == "trailing" else data)
    pattern = rf"(truncated|corrupt) {FORMAT_NAMES[extension]} data.* byte \d+"
    with pytest.raises(ValueError, match=pattern):
        read_csv(path)
    handed_out = []
    with pytest.raises(ValueError, match=pattern):
        for batch in iter_csv(path, batch_rows=1000):
            handed_out += batch
    # The batches before the damage come out first.
    assert handed_out or damage == "corrupt"


@pytest.mark.parametrize("extension", list(COMPRESS))
def test_write_csv_compresses_by_the_name_and_always_ends_the_stream(tmp_path, extension):
    rows = [{"n": i, "text": f"row {i}, é"} for i in range(20_000)]
    write_csv(tmp_path / "plain.csv", rows)
    packed = tmp_path / ("packed.csv." + extension.upper())
    write_csv(packed, rows)
    assert DECOMPRESS[extension](packed.read_bytes()) == (tmp_path / "plain.csv").read_bytes()
    # A failure part way keeps the rows before it, in a stream that ends.
    with pytest.raises(TypeError):
        write_csv(packed, rows[:3] + [5])
    assert DECOMPRESS[extension](packed.read_bytes()) == b"n,text\n" + "".join(
        f'{i},"row {i}, é"\n' for i in range(3)).encode()


def test_sniffing_decompresses_only_the_lines_it_needs(tmp_path):
    head = "a;b;c\n" * 30
    data = gzip.compress((head + "x" * 5_000_000).encode())
    path = tmp_path / "cut.csv.gz"
    path.write_bytes(data[:len(data) // 2])
    assert sniff_delimiter(path) == ";"
    with pytest.raises(ValueError, match="truncated gzip"):
        read_csv(path)
    # Twenty long lines need more than the first piece read.
    long_lines = tmp_path / "long.csv"
    long_lines.write_text(("|".join(["x" * 9000] * 3) + "\n") * 25 + "a,b\n" * 100)
    assert sniff_delimiter(long_lines) == "|"
    # A UTF-16 file is still checked to its end, as a whole-file read checks it.
    utf16 = tmp_path / "utf16.csv"
    utf16.write_bytes(b"\xff\xfe" + "a;b\n".encode("utf-16-le") * 200_000 + b"\x00\xdc")
    with pytest.raises(OSError, match="Failed to decode UTF-16LE"):
        sniff_delimiter(utf16)


# ---- iter_csv ----

def test_an_error_surfaces_in_the_batch_that_holds_it(tmp_path):
    path = tmp_path / "ragged.csv"
    path.write_text("a,b\n" + "1,2\n" * 2500 + "3\n" + "4,5\n" * 10)
    with pytest.raises(ValueError) as whole:
        read_csv(path, strict=True)
    got = iter_csv(path, strict=True, batch_rows=1000)
    assert next(got) + next(got) == read_csv(path, max_rows=2000)
    with pytest.raises(ValueError) as batch:
        next(got)
    assert str(batch.value) == str(whole.value) and list(got) == []


def test_closing_lets_go_of_the_file_at_once(tmp_path):
    path = tmp_path / "big.csv"
    path.write_text("a,b\n" + "1,xyz\n" * (RUN_BYTES // 6 + 1000))
    descriptors = lambda: len(os.listdir("/proc/self/fd"))  # noqa: E731
    before = descriptors()
    for close in (lambda it: it.close(), lambda it: it.__exit__(None, None, None), None):
        rows = iter_csv(path, batch_rows=10)
        assert len(next(rows)) == 10 and descriptors() == before + 1
        if close is None:
            del rows  # dropped unfinished
        else:
            close(rows)
            assert list(rows) == []
        assert descriptors() == before


@pytest.mark.parametrize("change", [0.1, 2, None])
def test_progress_runs_to_the_size_of_a_file_that_must_not_change(tmp_path, change):
    text = ("a,b\n" + "1,xyz\n" * (3 * RUN_BYTES // 6)).encode()  # three runs
    for name, data in (("p.csv", text), ("p.csv.gz", gzip.compress(text, compresslevel=1))):
        path = tmp_path / name
        path.write_bytes(data)
        rows = iter_csv(path, batch_rows=50_000)
        assert rows.file_size == len(data)
        if change is None:
            seen = [rows.bytes_read for _ in rows]
            assert seen == sorted(seen) and seen[0] < len(data) == rows.bytes_read
        elif name == "p.csv":  # the third run is read only after the first batch
            next(rows)
            os.truncate(path, int(len(data) * change))
            with pytest.raises(ValueError, match="changed size while it was read"):
                list(rows)


BOMB = """
    import gzip, resource, sys
    from brelt._core import iter_csv, read_csv
    path = sys.argv[1]
    # 600 copies of a member of 1 MB of short lines: 600 MB of text.
    member = gzip.compress(b"1,2\\n" * 250_000)
    with open(path, "wb") as f:
        f.write(gzip.compress(b"a,b\\n") + member * 600)
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    in_use = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
    resource.setrlimit(resource.RLIMIT_AS, (in_use + 400 * 2**20, hard))
    rows = 0
    for batch in iter_csv(path, batch_rows=20_000):
        rows += len(batch)
        if rows >= 2_000_000:
            break
    print(rows)
    try:
        read_csv(path)
    except MemoryError:
        print("MemoryError")
"""


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer's allocator dies when memory runs out")
def test_a_decompression_bomb_is_bounded_in_batches_and_a_memory_error_at_once(tmp_path):
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(BOMB),
                             str(tmp_path / "bomb.csv.gz")],
                            capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["2000000", "MemoryError"]
