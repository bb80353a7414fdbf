"""Collects the outcome of every CPython test_csv test run on brelt, and prints
the pass counts per class at the end of the session."""

import collections

import pytest

from stdlib_csv import CLASSES, python_version

# class name -> Counter of "passed", "known", "failed", "skipped"
OUTCOMES: dict[str, collections.Counter] = collections.defaultdict(collections.Counter)


@pytest.fixture
def record_outcome():
    def record(test_id, outcome):
        OUTCOMES[test_id.split(".")[0]][outcome] += 1
    return record


def pytest_terminal_summary(terminalreporter):
    if not OUTCOMES:
        return
    write = terminalreporter.write_line
    write(f"CPython {python_version()} test_csv on brelt, per class "
          "(passed / run; known = documented differences):")
    for name in CLASSES:
        counts = OUTCOMES.get(name)
        if counts is None:
            continue
        run = counts["passed"] + counts["known"] + counts["failed"]
        extra = "".join(f", {counts[k]} {k}" for k in ("known", "failed", "skipped") if counts[k])
        write(f"  {name:<24} {counts['passed']:>3}/{run} passed{extra}")
