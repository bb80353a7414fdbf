"""The package as shipped: one module object per process, refused by a second
interpreter; stubs that say what the runtime says; the README's and docs'
examples and the `make demo` tour run as written; pip installs it from a
source tree."""

import ast
import doctest
import importlib
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

import brelt
from brelt import _core, demo

ROOT = pathlib.Path(__file__).resolve().parents[2]  # the source tree's, whatever is imported
STUB = ast.parse((ROOT / "brelt" / "_core.pyi").read_text())


def test_one_module_object_per_process_with_its_names_first_in_the_package():
    del sys.modules["brelt._core"]
    try:
        assert importlib.import_module("brelt._core") is _core
    finally:
        sys.modules["brelt._core"] = _core
    assert brelt.__all__[:len(_core.__all__)] == _core.__all__
    assert all(getattr(brelt, name) is getattr(_core, name) for name in _core.__all__)


def test_second_interpreter_is_refused(tmp_path):
    testcapi = pytest.importorskip("_testcapi")
    if not hasattr(testcapi, "run_in_subinterp"):
        pytest.skip("no legacy sub-interpreter support in this build")
    result = tmp_path / "result.txt"
    code = (f"import sys\nsys.path[:0] = {sys.path!r}\n"
            "try:\n    import brelt._core\n    outcome = 'imported'\n"
            "except ImportError as error:\n    outcome = 'ImportError: ' + str(error)\n"
            f"open({str(result)!r}, 'w').write(outcome)\n")
    assert testcapi.run_in_subinterp(code) == 0
    assert result.read_text().startswith("ImportError: ") and "interpreter" in result.read_text()
    assert importlib.import_module("brelt._core") is _core


def parameters(function):
    """(name, kind, default) for each parameter of a def, self and cls left out."""
    args = function.args
    positional = args.posonlyargs + args.args
    defaults = [None] * (len(positional) - len(args.defaults)) + args.defaults
    found = [(a.arg, "positional", d) for a, d in zip(positional, defaults)]
    found += [(a.arg, "keyword", d) for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    return [(name, kind, "<required>" if d is None else ast.literal_eval(d))
            for name, kind, d in found if name not in ("self", "cls")]


def runtime_parameters(text_signature):
    """The same triples from a __text_signature__ such as "($self, n=1000)"."""
    source = "def f" + text_signature.replace("$self", "self").replace("$type", "cls") + ": pass"
    return parameters(ast.parse(source).body[0])


def first_definitions(body):
    """name -> the first def, class or annotation of that name (for
    overloads, the one whose defaults are the runtime's)."""
    found = {}
    for node in body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            found.setdefault(node.name, node)
        elif isinstance(node, ast.AnnAssign):
            found.setdefault(node.target.id, node)
    return found


def test_the_stub_says_what_the_runtime_says():
    declared = next(node for node in STUB.body if isinstance(node, ast.Assign)
                    and node.targets[0].id == "__all__")
    assert ast.literal_eval(declared.value) == _core.__all__
    stub = first_definitions(STUB.body)
    for name in _core.__all__:
        runtime, node = getattr(_core, name), stub[name]
        if isinstance(node, ast.FunctionDef):
            assert parameters(node) == runtime_parameters(runtime.__text_signature__), name
            continue
        methods = first_definitions(node.body)
        if runtime.__text_signature__ is not None:
            assert parameters(methods.pop("__new__")) == \
                runtime_parameters(runtime.__text_signature__), name
        ordering = ("__lt__", "__le__", "__gt__", "__ge__")
        members = {member for member in vars(runtime) if member not in (
            "__new__", "__doc__", "__module__", *ordering)}
        assert members == set(methods), name
        for member in members:
            signature = getattr(getattr(runtime, member), "__text_signature__", None)
            if signature is not None and (not member.startswith("_") or member == "__del__"):
                assert parameters(methods[member]) == runtime_parameters(signature), member
    assert (ROOT / "brelt" / "py.typed").is_file()
    pyproject = (ROOT / "pyproject.toml").read_text()
    assert '"py.typed"' in pyproject and '"*.pyi"' in pyproject


@pytest.mark.parametrize("page", [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))],
                         ids=lambda page: str(page.relative_to(ROOT)))
def test_doc_examples_run(page, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)  # each page in a fresh directory
    result = doctest.testfile(str(page), module_relative=False, verbose=False,
                              optionflags=doctest.ELLIPSIS | doctest.REPORT_NDIFF)
    assert result.failed == 0
    if page in (ROOT / "README.md", ROOT / "docs" / "reference.md"):
        assert result.attempted > 20  # the tour and the reference show every name


def test_the_demo_tour_agrees_with_the_csv_module(capsys):
    assert demo.main([str(ROOT / "examples" / "airports.csv"), "--runs", "1"]) == 0
    rows = {line[:24].strip(): line for line in capsys.readouterr().out.splitlines()[2:]}
    assert len(rows) == 8 and all("x  " in line for line in rows.values())
    for step, ending in (
            ("sniff the delimiter", "',', csv module ','"),
            ("read_csv, typed dicts", "3,376 dicts, columns str str str str str float float"),
            ("reader, stream rows", "3,377 rows, identical"),
            ("writer, write rows", "text identical"),
            ("DictReader, read back", "both files identical"),
            ("read_csv, gzip file", "identical to the plain file's"),
            ("iter_csv, batches", "4 batches of up to 1,000, rows identical to read_csv's")):
        assert ending in rows[step], step


IGNORED = shutil.ignore_patterns(".git", "build", "build-*", "*.so", "__pycache__",
                                 ".pytest_cache", ".hypothesis")


@pytest.mark.skipif(sys.executable != "/usr/bin/python3",
                    reason="the install check runs on the system interpreter")
def test_pip_install_into_a_venv(tmp_path):
    # A copy that keeps its build directory and, for unchanged files, their
    # modification times between runs: pip compiles only what changed.
    source = ROOT / "build" / "install-check" / "source"
    shutil.copytree(ROOT, source, ignore=IGNORED, dirs_exist_ok=True)
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = venv / "bin" / "python"
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "MAKEFLAGS")}
    subprocess.run([str(python), "-m", "pip", "install", "--no-build-isolation", "--no-index",
                    "--no-deps", "--quiet", str(source)], check=True, env=env, cwd=tmp_path)
    (tmp_path / "sample.csv").write_text("a;b\n1;2\n")
    check = ("import brelt, brelt._core; "
             f"assert brelt._core.__file__.startswith({str(venv)!r}), brelt._core.__file__; "
             "assert not hasattr(brelt._core, '_set_table_limits_for_tests'); "
             "print(brelt.sniff_delimiter('sample.csv'))")
    output = subprocess.run([str(python), "-c", check], check=True, env=env, cwd=tmp_path,
                            capture_output=True, text=True).stdout
    assert output == ";\n"
