#!/usr/bin/env python3
"""Writes the C library's declarations in the form a foreign-function interface
reads (LuaJIT's ffi.cdef, cffi's cdef): the header without comments and
preprocessor lines, its integer #define constants as enums, array sizes as
numbers, no QUAVIX_API and no extern "C". The header's version numbers come
from the build: quavix_version.h, which it includes, is quavix_version.h.in
filled in with the project's version (CMakeLists.txt), given here as VERSION.

    ffi_declarations.py HEADER VERSION OUTPUT
                                        writes OUTPUT
    ffi_declarations.py HEADER VERSION --check OUTPUT
                                        exits 1 if OUTPUT is not what HEADER gives
    ffi_declarations.py HEADER VERSION --embed LUA
    ffi_declarations.py HEADER VERSION --check-embedded LUA
                                        the same for the text between "ffi.cdef[=[" and
                                        "]=]" of a Lua file
"""
import os
import re
import sys

BANNER = ("/* The declarations of quavix.h for foreign-function interfaces, made from\n"
          " * it by scripts/ffi_declarations.py: no preprocessor lines, the constants\n"
          " * as enums. Do not edit; see quavix.h for what each call does. */\n")


def version_header(header_path, version):
    """quavix_version.h as the build writes it for the project's version."""
    numbers = version.split(".")
    if len(numbers) != 3 or not all(n.isdigit() for n in numbers):
        raise SystemExit("the version is major.minor.patch, not %r" % version)
    with open(os.path.join(os.path.dirname(header_path), "quavix_version.h.in"),
              encoding="utf-8") as f:
        text = f.read()
    for part, number in zip(("MAJOR", "MINOR", "PATCH"), numbers):
        text = text.replace("@PROJECT_VERSION_%s@" % part, str(int(number)))
    return text


def read_header(header_path, version):
    """The header with its #include "quavix_version.h" replaced by that file."""
    with open(header_path, encoding="utf-8") as f:
        header = f.read()
    include = '#include "quavix_version.h"\n'
    if include not in header:
        raise SystemExit("%s does not include quavix_version.h" % header_path)
    return header.replace(include, version_header(header_path, version), 1)


def declarations(header):
    text = re.sub(r"/\*.*?\*/", "", header, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    constants = []
    body = []
    skipping = 0  # depth of a preprocessor block that is not the include guard
    for line in text.splitlines():
        stripped = line.strip()
        if stripped.startswith("#"):
            define = re.match(r"#\s*define\s+(QUAVIX_[A-Z0-9_]+)\s+(-?[0-9]+)u?\s*$", stripped)
            if define:
                constants.append((define.group(1), int(define.group(2))))
            continue
        if stripped == 'extern "C" {' or line == "}":  # extern "C" and its end
            continue
        body.append(line.rstrip())
    out = "\n".join(body)
    out = out.replace("QUAVIX_API ", "")
    values = dict(constants)
    out = re.sub(r"\[(QUAVIX_[A-Z0-9_]+)\]", lambda m: "[%d]" % values[m.group(1)], out)
    out = re.sub(r"\n\s*\n(\s*\n)+", "\n\n", out).strip() + "\n"
    enums = "".join("enum { %s = %d };\n" % (name, value)
                    for name, value in constants if -2**31 <= value < 2**31)
    missing = [name for name, value in constants if not -2**31 <= value < 2**31]
    if missing:
        raise SystemExit("constants beyond int: " + ", ".join(missing))
    return BANNER + "\n" + enums + "\n" + out


OPEN, CLOSE = "ffi.cdef[=[\n", "]=]"


def embedded(lua):
    start = lua.index(OPEN) + len(OPEN)
    return start, lua.index(CLOSE, start)


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    header, version, rest = argv[1], argv[2], argv[3:]
    result = declarations(read_header(header, version))
    regenerate = "scripts/ffi_declarations.py %s %s" % (header, version)
    if len(rest) == 2 and rest[0] in ("--embed", "--check-embedded"):
        with open(rest[1], encoding="utf-8") as f:
            lua = f.read()
        start, end = embedded(lua)
        if rest[0] == "--embed":
            with open(rest[1], "w", encoding="utf-8") as f:
                f.write(lua[:start] + result + lua[end:])
            return 0
        if lua[start:end] != result:
            sys.stderr.write("the declarations in %s are not what %s gives: run %s --embed %s\n"
                             % (rest[1], header, regenerate, rest[1]))
            return 1
        return 0
    if len(rest) == 1:
        with open(rest[0], "w", encoding="utf-8") as f:
            f.write(result)
        return 0
    if len(rest) == 2 and rest[0] == "--check":
        with open(rest[1], encoding="utf-8") as f:
            current = f.read()
        if current != result:
            sys.stderr.write("%s is not what %s gives: run %s %s\n"
                             % (rest[1], header, regenerate, rest[1]))
            return 1
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
