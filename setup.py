"""setuptools entry: build_ext drives the project's CMake build for the running interpreter."""

import os
import pathlib
import shlex
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        package_dir = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DBRELT_PACKAGE_DIR={package_dir}",
            "-DBRELT_BUILD_TESTS=OFF",
            "-DBRELT_BUILD_TESTING_MODULE=OFF",
            "-DBRELT_PREBUILT_CORE=",  # compiled here unless CMAKE_ARGS names one
            # Extra settings, as other CMake-driven packages take them.
            *shlex.split(os.environ.get("CMAKE_ARGS", "")),
        ]
        subprocess.run(configure, check=True)
        jobs = str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "brelt_extension", "-j", jobs],
                       check=True)


setup(ext_modules=[Extension("brelt._core", sources=[])], cmdclass={"build_ext": CMakeBuild})
