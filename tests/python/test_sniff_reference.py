"""sniff_delimiter against a literal Python rendering of the guessing rule,
on random texts built from the characters that matter to it."""

import math
import os
import tempfile

from hypothesis import given, settings, strategies as st

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
    lines = split_lines(text)[:20]
    if not lines:
        return ","
    sample = "\n".join(lines)
    if not sample:
        return ","
    lines = split_lines(sample)
    n = len(lines)
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
        if sum(counts) == 0:
            continue
        total = sum(counts)
        mean = total / n
        # Exact: n * sum((c - mean)^2) == n * sum(c^2) - total^2, in integers.
        sd = math.sqrt(n * sum(c * c for c in counts) - total * total) / n
        score = mean * (1.0 if sd < 0.001 else 1.0 / (sd + 1.0))
        if best_score is None or score > best_score:
            best, best_score = candidate, score
    return best


texts = st.text(alphabet=st.sampled_from('a"\r\n,;\t|:é'), max_size=400)


@settings(max_examples=400, deadline=None)
@given(texts)
def test_matches_reference(text):
    descriptor, path = tempfile.mkstemp(suffix=".csv")
    try:
        with os.fdopen(descriptor, "wb") as file:
            file.write(text.encode())
        assert sniff_delimiter(path) == reference_delimiter(text)
    finally:
        os.unlink(path)


def test_reference_splits_lines_like_the_reader():
    assert split_lines("") == []
    assert split_lines("a\r\nb\r") == ["a", "b\r"]
    assert split_lines("a\n\n") == ["a", ""]
    assert split_lines("a\r\r\n") == ["a\r"]
