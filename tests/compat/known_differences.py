"""The tests of CPython's test_csv that fail on brelt, each with its reason.

This is the one list: docs/compat.md mirrors it (a test checks that it does).
A listed test that passes, or an unlisted test that fails, fails the run.
"""

MODULE_OF_NAMES = ("check__all__ counts only the names whose objects the csv or _csv module "
                   "defines (by __module__); brelt's functions and classes are its own")

# test id -> (reasons, the Python versions it fails on: None for every one,
# "3.13+" for that one and later, "3.11" for that one only)
KNOWN_DIFFERENCES: dict[str, tuple[tuple[str, ...], str | None]] = {
    "MiscTestCase.test__all__": ((MODULE_OF_NAMES,), None),
}
