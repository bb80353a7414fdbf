"""Dialect settings: brelt takes what the running csv module takes and refuses
the rest with the same exception and message, however they come (keywords
of writer and reader, a Dialect subclass, the registry). CPython's test_csv,
run on brelt in tests/compat, covers the dialect classes and the registry."""

import csv
import io

import pytest
from hypothesis import given, settings, strategies as st

import brelt

SETTING_NAMES = ("delimiter", "quotechar", "escapechar", "doublequote", "skipinitialspace",
                 "lineterminator", "quoting", "strict")
# Values of the right and the wrong types, and the characters the checks
# single out: line breaks, a space (with skipinitialspace), clashes, non-ASCII.
values = st.one_of(
    st.sampled_from([",", ";", " ", "\t", "\n", "\r", '"', "'", "\\", "^", "\x85", "é", "",
                     "ab", "\r\n", b",", 1.5, [], 2**70]),
    st.none(), st.booleans(), st.integers(-1, 6))
setting_dicts = st.dictionaries(st.sampled_from(SETTING_NAMES + ("bad_attr",)), values, max_size=4)
dialects = st.sampled_from([None, "excel", "excel-tab", "unix", "nonesuch", csv.excel,
                            csv.unix_dialect(), brelt.excel_tab, object()])


def described(error):
    """An exception's type and message, brelt.Error counted as csv.Error."""
    return csv.Error if isinstance(error, csv.Error) else type(error), str(error)


def outcome(make):
    """The settings made, or what was raised."""
    try:
        dialect = make()
    except Exception as error:
        return described(error)
    return tuple(getattr(dialect, name, None) for name in SETTING_NAMES)


def registered(module, dialect, overrides):
    try:
        module.register_dialect("tried", dialect, **overrides)
    except Exception as error:
        return described(error)
    try:
        return outcome(lambda: module.get_dialect("tried"))
    finally:
        module.unregister_dialect("tried")


def subclass(base, dialect, overrides):
    attributes = {name: getattr(dialect, name) for name in SETTING_NAMES if hasattr(dialect, name)}
    return type("custom", (base,), {**attributes, **overrides})


@settings(max_examples=300)
@given(setting_dicts, dialects)
def test_settings_are_checked_as_the_csv_module_checks_them(overrides, dialect):
    expected = outcome(lambda: csv.writer(io.StringIO(), dialect, **overrides).dialect)
    written = outcome(lambda: brelt.writer(io.StringIO(), dialect, **overrides).dialect)
    assert written == expected

    read = outcome(lambda: brelt.reader([], dialect, **overrides).dialect)
    # The whole-text reader takes None for "not given", and only the eight
    # settings as keywords.
    if None not in overrides.values() and "bad_attr" not in overrides:
        assert read == outcome(lambda: csv.reader([], dialect, **overrides).dialect)

    if not isinstance(dialect, str):
        theirs = outcome(lambda: subclass(csv.Dialect, dialect, overrides)())
        assert outcome(lambda: subclass(brelt.Dialect, dialect, overrides)()) == theirs

    assert registered(brelt, dialect, overrides) == registered(csv, dialect, overrides)


def test_error_is_the_csv_modules_error_and_a_value_error():
    assert issubclass(brelt.Error, csv.Error) and issubclass(brelt.Error, ValueError)
    with pytest.raises(brelt.Error, match='"delimiter" must be string'):
        brelt.Dialect()
