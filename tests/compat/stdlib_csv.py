"""Runs single tests of CPython's own test_csv (loaded from the running
interpreter, never copied here) with the module under test replaced by brelt."""

import importlib
import sys
import unittest

import brelt

# Every class but TestLeaks, which counts references in debug builds of the
# csv module's C code (see docs/compat.md).
CLASSES = ["Test_Csv", "TestDialectExcel", "TestEscapedExcel", "TestDialectUnix",
           "TestQuotedEscapedExcel", "TestDictFields", "TestArrayWrites", "TestUnicode",
           "KeyOrderingTest", "TestDialectRegistry", "TestDialectValidity", "TestSniffer",
           "MiscTestCase"]


def load_module():
    """CPython's test_csv module, or None when this interpreter lacks its test
    package (Debian ships it as libpython3.X-testsuite)."""
    try:
        return importlib.import_module("test.test_csv")
    except ImportError:
        return None


def stdlib_test_ids(module):
    """Every test of CLASSES as "Class.method", in file order within a class."""
    loader = unittest.TestLoader()
    return [f"{name}.{method}" for name in CLASSES
            for method in loader.getTestCaseNames(getattr(module, name))]


class Outcome:
    def __init__(self, result):
        problems = result.errors + result.failures
        self.skipped = result.skipped[0][1] if result.skipped and not problems else None
        self.failed = bool(problems)
        self.report = "\n".join(text for _, text in problems)


def run_one(module, test_id):
    """Runs one test with `csv` in the test module meaning brelt."""
    class_name, method = test_id.split(".")
    case = getattr(module, class_name)(method)
    result = unittest.TestResult()
    saved = module.csv
    module.csv = brelt
    try:
        case.run(result)
    finally:
        module.csv = saved
    return Outcome(result)


def python_version():
    return "%d.%d" % sys.version_info[:2]
