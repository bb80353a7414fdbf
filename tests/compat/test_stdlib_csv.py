"""CPython's own test_csv, its reader, writer, DictReader and DictWriter
classes, run with brelt as the module under test. A failure must be one of the
documented differences, and every documented difference must still fail."""

import csv
import pathlib
import sys

import pytest

import brelt
from known_differences import KNOWN_DIFFERENCES
from stdlib_csv import load_module, run_one, stdlib_test_ids

MODULE = load_module()
IDS = stdlib_test_ids(MODULE) if MODULE is not None else []


def applies(versions):
    """Whether a difference listed for `versions` (None: all; "3.13+": that
    version and later; "3.11": that one only) shows on this interpreter."""
    if versions is None:
        return True
    running = sys.version_info[:2]
    listed = tuple(map(int, versions.rstrip("+").split(".")))
    return listed <= running if versions.endswith("+") else listed == running


def known_difference(test_id):
    """The reasons `test_id` fails on this interpreter, or None."""
    reasons, versions = KNOWN_DIFFERENCES.get(test_id, (None, None))
    return "; ".join(reasons) if reasons and applies(versions) else None


@pytest.mark.skipif(MODULE is None, reason="this interpreter has no test.test_csv "
                    "(on Debian: apt-get install libpython3.X-testsuite)")
@pytest.mark.parametrize("test_id", IDS)
def test_stdlib_csv(test_id, record_outcome):
    outcome = run_one(MODULE, test_id)
    reason = known_difference(test_id)
    if outcome.skipped is not None:
        record_outcome(test_id, "skipped")
        pytest.skip(outcome.skipped)
    if outcome.failed:
        record_outcome(test_id, "known" if reason else "failed")
        assert reason, f"{test_id} fails and is not a documented difference:\n{outcome.report}"
    else:
        record_outcome(test_id, "passed")
        assert reason is None, f"{test_id} passes but is listed as a difference: {reason}"


def test_every_listed_difference_names_a_test():
    if MODULE is None:
        pytest.skip("no test.test_csv")
    ids = set(IDS)
    unknown = [test_id for test_id, (_, versions) in KNOWN_DIFFERENCES.items()
               if applies(versions) and test_id not in ids]
    assert unknown == []


def test_brelt_exports_the_csv_modules_names():
    # What MiscTestCase.test__all__ means to check, without its test of where
    # each object is defined.
    # field_size_limit comes with the reader's dialect engine.
    expected = set(csv.__all__) - {"__version__", "__doc__", "field_size_limit"}
    assert expected <= set(brelt.__all__)
    assert all(hasattr(brelt, name) for name in brelt.__all__)


def test_the_docs_mirror_the_list():
    page = pathlib.Path(__file__).resolve().parents[2] / "docs" / "compat.md"
    documented = {}
    for line in page.read_text().splitlines():
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        if len(cells) == 3 and cells[0].startswith("`") and "." in cells[0]:
            documented[cells[0].strip("`")] = (cells[2], None if cells[1] == "all" else cells[1])
    assert documented == {test_id: ("; ".join(reasons), versions)
                          for test_id, (reasons, versions) in KNOWN_DIFFERENCES.items()}
