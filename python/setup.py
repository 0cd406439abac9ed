"""The package with its C library: libquavix is built with CMake from the
repository this folder belongs to (the library alone: no tool, tests or
benchmarks) and put inside the package, in a wheel tagged for this platform."""
import os
import shutil
import subprocess

from setuptools import setup
from setuptools.command.build_py import build_py

try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:  # setuptools before 70.1: the wheel package's command
    from wheel.bdist_wheel import bdist_wheel

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
LIBRARY = "libquavix.so.1"


class build_py_with_library(build_py):
    def run(self):
        super().run()
        if not os.path.exists(os.path.join(SOURCE, "src", "capi", "CMakeLists.txt")):
            raise SystemExit("quavix: the C library's sources are not in %s; install this folder "
                             "from a copy of the whole repository" % SOURCE)
        build = os.path.join(os.path.abspath(self.get_finalized_command("build").build_temp),
                             "libquavix")
        if shutil.which("cmake") is None:
            raise SystemExit("quavix: building the C library needs CMake 3.25 or later and a C++20 "
                             "compiler (on Debian: sudo apt-get install cmake g++)")
        subprocess.check_call(["cmake", "-S", SOURCE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                               "-DQUAVIX_TESTS=OFF", "-DQUAVIX_BENCH=OFF", "-DQUAVIX_CLI=OFF",
                               "-DQUAVIX_EXPORT=OFF"])
        subprocess.check_call(["cmake", "--build", build, "--target", "quavix_shared",
                               "--parallel", os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")])
        target = os.path.join(self.build_lib, "quavix", LIBRARY)
        shutil.copyfile(os.path.join(build, "src", "capi", LIBRARY), target)  # the file, not the link
        os.chmod(target, 0o755)


class platform_wheel(bdist_wheel):
    """Any Python 3 on this platform: the library is loaded through ctypes."""

    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        return ("py3", "none") + tuple(super().get_tag()[2:])


setup(cmdclass={"build_py": build_py_with_library, "bdist_wheel": platform_wheel})
