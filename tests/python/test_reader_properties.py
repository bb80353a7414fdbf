"""PyReader against a byte-at-a-time reference reader of the same dialect, on
random texts crowded with delimiters, quotes, CR and LF."""

import io

import pytest
from hypothesis import given, settings, strategies as st

from brelt._core import PyReader

BOM = b"\xef\xbb\xbf"


def reference_parse(data, delimiter, strict=False):
    """Records of `data` (bytes) as lists of bytes, and the strict-mode error
    message or None. A direct port of tests/support/csv_reference.hpp (whose
    cases tests/core/tokenizer_test.cpp spells out) for input without a
    header line."""
    quote = ord('"')
    cr, lf = ord("\r"), ord("\n")
    records, error = [], None
    pos = 3 if data[:3] == BOM else 0
    n = len(data)
    while True:
        record_start = pos
        while pos < n and data[pos] in (lf, cr):
            pos += 1
        if pos == n:
            break
        record, field = [], bytearray()
        state = "unquoted"
        while True:
            if pos == n:
                # At the end of input a final CR goes, even inside quotes.
                if field[-1:] == b"\r":
                    field.pop()
                record.append(bytes(field))
                break
            c = data[pos]
            if state == "unquoted":
                pos += 1
                if c == delimiter:
                    record.append(bytes(field))
                    field.clear()
                elif c == lf:
                    if field[-1:] == b"\r":
                        field.pop()
                    record.append(bytes(field))
                    break
                elif c == quote:
                    state = "in_quotes"
                else:
                    field.append(c)
            elif state == "in_quotes":
                pos += 1
                if c == quote:
                    state = "after_quote"
                else:
                    field.append(c)
            else:  # after a quote inside quotes
                if c == quote:
                    field.append(quote)
                    state = "in_quotes"
                    pos += 1
                elif c == delimiter:
                    record.append(bytes(field))
                    field.clear()
                    state = "unquoted"
                    pos += 1
                elif c == lf or (c == cr and pos + 1 < n and data[pos + 1] == lf):
                    record.append(bytes(field))
                    pos += 1 if c == lf else 2
                    break
                else:
                    state = "unquoted"  # read the byte again, unquoted
        if strict and records and len(record) != len(records[0]):
            error = (f"CSV error: record {len(records) + 1} (byte: {record_start}): found record "
                     f"with {len(record)} fields, but the previous record has "
                     f"{len(records[0])} fields")
            return records, error
        records.append(record)
    return records, error


def expected_rows(text, delimiter, strict=False):
    records, error = reference_parse(text.encode(), ord(delimiter), strict)
    return [[field.decode() for field in record] for record in records], error


# é, 日 and 🎉 give str of each character width.
pieces = st.sampled_from(list(',;\t"\r\nab é日🎉') + ["\r\n", '""', "xyz"])
texts = st.lists(pieces, max_size=40).map("".join)
delimiters = st.sampled_from([",", ";", "\t", "|"])


@settings(max_examples=800, deadline=None)
@given(text=texts, delimiter=delimiters, bom=st.booleans())
def test_batch_matches_the_reference(text, delimiter, bom):
    text = ("\ufeff" if bom else "") + text
    rows, _ = expected_rows(text, delimiter)
    reader = PyReader(io.StringIO(text), delimiter=delimiter)
    assert reader.total_rows == len(rows)
    assert reader.fetch_many_lists(10**9) == rows
    assert reader.line_num == len(rows)


@settings(max_examples=400, deadline=None)
@given(text=texts, delimiter=delimiters)
def test_strict_fails_exactly_where_the_reference_does(text, delimiter):
    rows, error = expected_rows(text, delimiter, strict=True)
    if error is None:
        assert PyReader(io.StringIO(text), delimiter=delimiter, strict=True) \
            .fetch_many_lists(10**9) == rows
    else:
        with pytest.raises(ValueError) as raised:
            PyReader(io.StringIO(text), delimiter=delimiter, strict=True)
        assert str(raised.value) == "CSV parse error: " + error


@settings(max_examples=200, deadline=None)
@given(text=texts, names=st.lists(st.sampled_from(["a", "b", "é", ""]), max_size=4))
def test_cursor_and_snapshots_agree_with_the_batch(text, names):
    rows, _ = expected_rows(text, ",")
    reader = PyReader(io.StringIO(text))
    if names:
        reader.set_field_names(names)
    seen = []
    for position, current in enumerate(reader, start=1):
        assert current is reader and reader.line_num == position
        snapshot = reader.snapshot()
        assert reader.to_list() == snapshot.to_list() == list(snapshot) == rows[position - 1]
        # Each field between single quotes, nothing escaped.
        shown = "[" + ", ".join(f"'{field}'" for field in rows[position - 1]) + "]"
        assert repr(reader) == repr(snapshot) == shown
        if names:
            assert snapshot.items() == list(zip(names, rows[position - 1]))
        seen.append(snapshot)
    assert [s.to_list() for s in seen] == rows
