"""pip installs the package from a source tree with the system interpreter.

The tree is copied to build/install-check/source, where pip builds it in
place: the copy keeps the modification times of unchanged files and its own
build directory between runs, so only what changed since the last run is
compiled again."""

import os
import pathlib
import shutil
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
IGNORED = shutil.ignore_patterns(".git", "build", "build-*", "*.so", "__pycache__",
                                 ".pytest_cache", ".hypothesis")


def sync_tree(source, target):
    """Makes `target` a copy of `source`, leaving files that did not change
    (and anything IGNORED, such as the build directory) as they are."""
    target.mkdir(parents=True, exist_ok=True)
    names = set(os.listdir(source))
    ignored = IGNORED(str(source), names)
    present = set(os.listdir(target))
    for name in present - names - IGNORED(str(target), present):
        path = target / name
        shutil.rmtree(path) if path.is_dir() and not path.is_symlink() else path.unlink()
    for name in names - ignored:
        src, dst = source / name, target / name
        if src.is_dir():
            sync_tree(src, dst)
        elif not dst.exists() or src.stat().st_mtime != dst.stat().st_mtime \
                or src.stat().st_size != dst.stat().st_size:
            shutil.copy2(src, dst)


@pytest.mark.skipif(sys.executable != "/usr/bin/python3",
                    reason="the install check runs on the system interpreter")
def test_pip_install_into_a_venv(tmp_path):
    source = ROOT / "build" / "install-check" / "source"
    sync_tree(ROOT, source)
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = venv / "bin" / "python"
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "MAKEFLAGS")}
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
