"""sniff_delimiter and brelt.sniff: the guess against a literal Python
rendering of the rule on random texts, decoding before the guess, and what
goes wrong with the file. (The lock released while a FIFO is opened:
test_concurrency.py.)"""

import math
import pathlib

import pytest
from hypothesis import example, given, settings, strategies as st

import brelt
from brelt._core import sniff_delimiter

CANDIDATES = ",;\t|:"


def split_lines(text):
    """Lines end at LF, which takes one CR before it along; a last line
    without LF counts and keeps its CR."""
    lines = []
    while text:
        line, newline, text = text.partition("\n")
        if newline and line.endswith("\r"):
            line = line[:-1]
        lines.append(line)
    return lines


def reference_delimiter(text):
    sample = "\n".join(split_lines(text)[:20])
    lines = split_lines(sample)
    best, best_score = ",", None
    for candidate in CANDIDATES:
        counts = []
        for line in lines:
            in_quotes, count = False, 0
            for ch in line:
                if ch == '"':
                    in_quotes = not in_quotes
                elif ch == candidate and not in_quotes:
                    count += 1
            counts.append(count)
        total, n = sum(counts), len(lines)
        if total == 0:
            continue
        # Exact: n * sum((c - mean)^2) == n * sum(c^2) - total^2, in integers.
        sd = math.sqrt(n * sum(c * c for c in counts) - total * total) / n
        score = total / n * (1.0 if sd < 0.001 else 1.0 / (sd + 1.0))
        if best_score is None or score > best_score:
            best, best_score = candidate, score
    return best


TEXTS = st.one_of(
    st.text(alphabet=st.sampled_from('a"\r\n,;\t|:é'), max_size=400),
    # A few short lines, where steadiness most often decides.
    st.lists(st.text(alphabet=st.sampled_from('a",;|:'), max_size=6), max_size=5).map("\n".join))


@settings(max_examples=400)
@given(TEXTS)
@example("a,,;\n;")  # ";" is steadier; "," is ahead only if steadiness counted less
def test_the_guess_is_the_reference_s_for_a_file_and_for_text(tmp_path_factory, text):
    path = tmp_path_factory.mktemp("sniff") / "data.csv"
    path.write_bytes(text.encode())
    expected = reference_delimiter(text)
    assert sniff_delimiter(str(path)) == expected
    assert brelt.sniff(path) == expected and type(expected) is str
    if "\n" in text or "\r" in text:  # else a str may name a file
        assert brelt.sniff(text) == expected


@pytest.mark.parametrize("contents, expected", [
    (b"\xff\xfe" + "a;b;\xfc\n1;2;3\n".encode("utf-16-le"), ";"),
    (b"\xfe\xff" + "a;b;\xfc\n1;2;3\n".encode("utf-16-be"), ";"),
    (b"\xef\xbb\xbfa|b\n1|2\n", "|"),
    ("caf\xe9;cr\xe8me\n1;2\n".encode("cp1252"), ";"),  # not UTF-8: windows-1252
])
def test_the_text_is_decoded_before_the_guess(write_file, contents, expected):
    assert sniff_delimiter(write_file(contents)) == expected


@pytest.mark.parametrize("contents, message", [
    (b"\xff\xfea", "Failed to decode UTF-16LE"),
    (b"\xff\xfe\x00\xdc;\x00", "Failed to decode UTF-16LE"),
    (b"\xfe\xff\xd8\x00", "Failed to decode UTF-16BE"),
])
def test_malformed_utf16_is_an_os_error(write_file, contents, message):
    with pytest.raises(OSError) as raised:
        sniff_delimiter(write_file(contents))
    assert raised.value.args == (message,)


def test_file_and_argument_errors(tmp_path, write_file):
    with pytest.raises(OSError) as raised:
        sniff_delimiter(str(tmp_path / "missing.csv"))
    assert raised.value.args == ("No such file or directory (os error 2)",)
    with pytest.raises(OSError, match=r"^Is a directory \(os error 21\)$"):
        sniff_delimiter(str(tmp_path))
    with pytest.raises(OSError, match="^file name contained an unexpected NUL byte$"):
        sniff_delimiter("a\0b.csv")
    with pytest.raises(TypeError, match="missing required argument 'path'"):
        sniff_delimiter()
    with pytest.raises(TypeError, match="unexpected keyword argument 'delimiter'"):
        sniff_delimiter(write_file("a"), delimiter=",")
    assert sniff_delimiter(path=write_file("a;b")) == ";"
    with pytest.raises(TypeError):
        brelt.sniff(b"a;b")
    with pytest.raises(OSError):
        brelt.sniff(pathlib.Path(tmp_path / "missing.csv"))
    sample = pathlib.Path(__file__).resolve().parents[2] / "examples" / "airports.csv"
    assert brelt.sniff(str(sample)) == ","
