"""The module object: import, registration, docstrings and exported symbols."""

import importlib
import inspect
import shutil
import subprocess
import sys

import pytest

import brelt
from brelt import _core

REGISTERED = ["PyReader", "PyWriter", "Row", "RowIterator", "read_csv", "write_csv",
              "sniff_delimiter", "iter_csv"]


def test_import_gives_one_module_object_per_process():
    again = importlib.import_module("brelt._core")
    assert again is _core
    del sys.modules["brelt._core"]
    try:
        reimported = importlib.import_module("brelt._core")
        assert reimported is _core
    finally:
        sys.modules["brelt._core"] = _core


def test_all_lists_the_registered_names_in_order():
    assert _core.__all__ == REGISTERED
    assert brelt.__all__[:len(REGISTERED)] == REGISTERED
    for name in REGISTERED:
        assert getattr(brelt, name) is getattr(_core, name)


def test_module_and_function_metadata():
    assert _core.__doc__ == ""
    function = _core.sniff_delimiter
    assert function.__module__ == "brelt._core"
    assert function.__text_signature__ == "(path)"
    assert function.__doc__ == "Sniff delimiter from file content"
    assert list(inspect.signature(function).parameters) == ["path"]


@pytest.mark.skipif(shutil.which("nm") is None, reason="nm is not installed")
def test_only_the_initialiser_is_exported():
    output = subprocess.run(["nm", "-D", "--defined-only", _core.__file__],
                            capture_output=True, text=True, check=True).stdout
    exported = {line.split()[-1] for line in output.splitlines() if line.split()[1] in "TDBRVW"}
    assert exported == {"PyInit__core"}


def test_second_interpreter_is_refused(tmp_path):
    testcapi = pytest.importorskip("_testcapi")
    if not hasattr(testcapi, "run_in_subinterp"):
        pytest.skip("no legacy sub-interpreter support in this build")
    result = tmp_path / "result.txt"
    code = (
        "import sys\n"
        f"sys.path[:0] = {sys.path!r}\n"
        "try:\n"
        "    import brelt._core\n"
        "    outcome = 'imported'\n"
        "except ImportError as error:\n"
        "    outcome = 'ImportError: ' + str(error)\n"
        f"open({str(result)!r}, 'w').write(outcome)\n"
    )
    assert testcapi.run_in_subinterp(code) == 0
    outcome = result.read_text()
    assert outcome.startswith("ImportError: ")
    assert "interpreter" in outcome
    # The main interpreter keeps its module.
    assert importlib.import_module("brelt._core") is _core
