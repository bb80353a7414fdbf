"""The module object: one per process, refused by a second interpreter, its
names re-exported by the package, and nothing but its initialiser exported
by the shared object."""

import importlib
import shutil
import subprocess
import sys

import pytest

import brelt
from brelt import _core


def test_import_gives_one_module_object_per_process():
    again = importlib.import_module("brelt._core")
    assert again is _core
    del sys.modules["brelt._core"]
    try:
        reimported = importlib.import_module("brelt._core")
        assert reimported is _core
    finally:
        sys.modules["brelt._core"] = _core


def test_the_package_exports_the_core_names_first():
    assert brelt.__all__[:len(_core.__all__)] == _core.__all__
    for name in _core.__all__:
        assert getattr(brelt, name) is getattr(_core, name)


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
