#!/usr/bin/env python3
"""Checks that the code of the README's binding sections is the code of the
examples the binding tests run: each line of each block appears, in order,
among the example's lines (leading and trailing spaces aside).

    readme_examples.py SOURCE_DIR
"""
import os
import re
import sys

BLOCKS = {  # the fenced language of a README section, and the example it shows
    "## Use Quavix from Python": ("python", "examples/python/coin.py"),
    "## Use Quavix from LÖVE": ("lua", "examples/love/main.lua"),
    "## Use Quavix from SDL2": ("c", "examples/sdl2/main.c"),
}


def main(source):
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    problems = []
    for heading, (language, example) in BLOCKS.items():
        section = readme.split(heading, 1)[1].split("\n## ", 1)[0] if heading in readme else ""
        blocks = re.findall(r"```%s\n(.*?)```" % language, section, flags=re.S)
        if len(blocks) != 1:
            problems.append("%s: %d %s blocks, not 1" % (heading, len(blocks), language))
            continue
        with open(os.path.join(source, example), encoding="utf-8") as f:
            lines = [line.strip() for line in f]
        at = 0
        for line in blocks[0].strip("\n").split("\n"):
            try:
                at = lines.index(line.strip(), at) + 1
            except ValueError:
                problems.append("%s: %r is not in %s (in this order)" % (heading, line, example))
                break
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
