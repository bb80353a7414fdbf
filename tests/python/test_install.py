"""pip installs the package from a source tree with the system interpreter."""

import os
import pathlib
import shutil
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.mark.skipif(sys.executable != "/usr/bin/python3",
                    reason="the install check runs on the system interpreter")
def test_pip_install_into_a_venv(tmp_path):
    source = tmp_path / "source"
    shutil.copytree(ROOT, source, ignore=shutil.ignore_patterns(
        ".git", "build", "build-*", "*.so", "__pycache__", ".pytest_cache", ".hypothesis"))
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = venv / "bin" / "python"
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    subprocess.run([str(python), "-m", "pip", "install", "--no-build-isolation", "--no-index",
                    "--no-deps", "--quiet", str(source)], check=True, env=env, cwd=tmp_path)

    sample = tmp_path / "sample.csv"
    sample.write_text("a;b\n1;2\n")
    check = ("import brelt, brelt._core; "
             "assert brelt._core.__file__.startswith(%r), brelt._core.__file__; "
             "assert not hasattr(brelt._core, '_set_table_limits_for_tests'); "
             "print(brelt.sniff_delimiter(%r))" % (str(venv), str(sample)))
    output = subprocess.run([str(python), "-c", check], check=True, env=env, cwd=tmp_path,
                            capture_output=True, text=True).stdout
    assert output == ";\n"
