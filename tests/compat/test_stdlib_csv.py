"""CPython's own test_csv, its reader, writer, DictReader and DictWriter
classes, run with brelt as the module under test. A failure must be one of the
documented differences, and every documented difference must still fail."""

import pathlib
import sys

import pytest

from known_differences import KNOWN_DIFFERENCES
from stdlib_csv import load_module, run_one, stdlib_test_ids

MODULE = load_module()
IDS = stdlib_test_ids(MODULE) if MODULE is not None else []


def applies(since):
    return since is None or tuple(map(int, since.split("."))) <= sys.version_info[:2]


def known_difference(test_id):
    """The reasons `test_id` fails on this interpreter, or None."""
    reasons, since = KNOWN_DIFFERENCES.get(test_id, (None, None))
    return "; ".join(reasons) if reasons and applies(since) else None


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
    unknown = [test_id for test_id, (_, since) in KNOWN_DIFFERENCES.items()
               if applies(since) and test_id not in ids]
    assert unknown == []


def test_the_docs_mirror_the_list():
    page = pathlib.Path(__file__).resolve().parents[2] / "docs" / "compat.md"
    documented = {}
    for line in page.read_text().splitlines():
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        if len(cells) == 3 and cells[0].startswith("`") and "." in cells[0]:
            documented[cells[0].strip("`")] = (cells[2], None if cells[1] == "all" else cells[1])
    assert documented == {test_id: ("; ".join(reasons), since)
                          for test_id, (reasons, since) in KNOWN_DIFFERENCES.items()}
