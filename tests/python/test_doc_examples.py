"""The examples of the README and of docs/ run as written (doctest), each page
in a fresh directory, so the documentation cannot drift from the code."""

import doctest
import pathlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
PAGES = [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]


@pytest.mark.parametrize("page", PAGES, ids=lambda page: str(page.relative_to(ROOT)))
def test_examples_run(page, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    result = doctest.testfile(str(page), module_relative=False, verbose=False,
                              optionflags=doctest.ELLIPSIS | doctest.REPORT_NDIFF)
    assert result.failed == 0
    if page in (ROOT / "README.md", ROOT / "docs" / "reference.md"):
        assert result.attempted > 20  # the tour and the reference show every name
