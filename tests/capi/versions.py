#!/usr/bin/env python3
"""Every surface that states Quavix's version states the CMake project's.

    versions.py VERSION SOURCE_DIR LIBQUAVIX QUAVIX_TOOL

VERSION is PROJECT_VERSION, handed in by CMake; each surface is read as its
users read it: the library through its calls, the tool through --version, the
packages' metadata and the FFI declarations from their files.
"""
import ctypes
import json
import re
import subprocess
import sys
import tomllib
from pathlib import Path


def ffi_version(text):
    parts = [re.search(r"enum \{ QUAVIX_VERSION_%s = (\d+) \};" % p, text) for p in ("MAJOR", "MINOR", "PATCH")]
    return ".".join(m.group(1) for m in parts) if all(parts) else "no version enums"


def main(version, source, library, tool):
    source = Path(source)
    lib = ctypes.CDLL(library)
    lib.quavix_version.restype = ctypes.c_uint32
    lib.quavix_version_string.restype = ctypes.c_char_p
    packed = lib.quavix_version()
    changelog = re.search(r"^## (\S+)$", (source / "js/CHANGELOG.md").read_text(), re.M)
    surfaces = [
        ("quavix --version", subprocess.run([tool, "--version"], capture_output=True, text=True,
                                            check=True).stdout.removeprefix("quavix ").rstrip("\n")),
        ("quavix_version_string()", lib.quavix_version_string().decode("ascii")),
        ("quavix_version()", "%d.%d.%d" % (packed >> 16, (packed >> 8) & 0xFF, packed & 0xFF)),
        ("js/package.json", json.loads((source / "js/package.json").read_text())["version"]),
        ("js/CHANGELOG.md's newest entry", changelog.group(1) if changelog else "no entry"),
        ("python/pyproject.toml",
         tomllib.loads((source / "python/pyproject.toml").read_text())["project"]["version"]),
        ("include/quavix/quavix_ffi.h", ffi_version((source / "include/quavix/quavix_ffi.h").read_text())),
        ("love/quavix.lua", ffi_version((source / "love/quavix.lua").read_text())),
    ]
    wrong = [(name, said) for name, said in surfaces if said != version]
    for name, said in wrong:
        print("%s says %s, the project is %s" % (name, said, version))
    print("%d passed, %d failed" % (len(surfaces) - len(wrong), len(wrong)))
    return 1 if wrong else 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
