#!/usr/bin/env python3
"""Writes the C library's declarations in the form a foreign-function interface
reads (LuaJIT's ffi.cdef, cffi's cdef): the header without comments and
preprocessor lines, its integer #define constants as enums, array sizes as
numbers, no QUAVIX_API and no extern "C".

    ffi_declarations.py HEADER OUTPUT   writes OUTPUT
    ffi_declarations.py HEADER --check OUTPUT
                                        exits 1 if OUTPUT is not what HEADER gives
    ffi_declarations.py HEADER --embed LUA
    ffi_declarations.py HEADER --check-embedded LUA
                                        the same for the text between "ffi.cdef[=[" and
                                        "]=]" of a Lua file
"""
import re
import sys

BANNER = ("/* The declarations of quavix.h for foreign-function interfaces, made from\n"
          " * it by scripts/ffi_declarations.py: no preprocessor lines, the constants\n"
          " * as enums. Do not edit; see quavix.h for what each call does. */\n")


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
    if len(argv) == 4 and argv[2] in ("--embed", "--check-embedded"):
        with open(argv[1], encoding="utf-8") as f:
            result = declarations(f.read())
        with open(argv[3], encoding="utf-8") as f:
            lua = f.read()
        start, end = embedded(lua)
        if argv[2] == "--embed":
            with open(argv[3], "w", encoding="utf-8") as f:
                f.write(lua[:start] + result + lua[end:])
            return 0
        if lua[start:end] != result:
            sys.stderr.write("the declarations in %s are not what %s gives: run "
                             "scripts/ffi_declarations.py %s --embed %s\n"
                             % (argv[3], argv[1], argv[1], argv[3]))
            return 1
        return 0
    if len(argv) == 3:
        with open(argv[1], encoding="utf-8") as f:
            result = declarations(f.read())
        with open(argv[2], "w", encoding="utf-8") as f:
            f.write(result)
        return 0
    if len(argv) == 4 and argv[2] == "--check":
        with open(argv[1], encoding="utf-8") as f:
            result = declarations(f.read())
        with open(argv[3], encoding="utf-8") as f:
            current = f.read()
        if current != result:
            sys.stderr.write("%s is not what %s gives: run scripts/ffi_declarations.py %s %s\n"
                             % (argv[3], argv[1], argv[1], argv[3]))
            return 1
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
