#!/usr/bin/env python3
"""Checks that the code of the README's binding sections is the code of the
examples the binding tests run: each line of each block appears, in order,
among the example's lines (leading and trailing spaces aside).

    readme_examples.py SOURCE_DIR

or runs a README's blocks of one language as written, each by COMMAND with the
block's file after it, in the current folder, one after another:

    readme_examples.py run README LANGUAGE COMMAND...
"""
import os
import re
import subprocess
import sys
import tempfile

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


def run(readme, language, command):
    with open(readme, encoding="utf-8") as f:
        blocks = re.findall(r"^```%s\n(.*?)^```" % language, f.read(), flags=re.S | re.M)
    if not blocks:
        print("%s: no %s blocks" % (readme, language))
        return 1
    with tempfile.TemporaryDirectory() as scratch:
        for number, block in enumerate(blocks, 1):
            path = os.path.join(scratch, "block%d" % number)
            with open(path, "w", encoding="utf-8") as f:
                f.write(block)
            print("%s: %s block %d" % (readme, language, number), flush=True)
            if subprocess.run(command + [path]).returncode != 0:
                print("%s: %s block %d fails:\n%s" % (readme, language, number, block))
                return 1
    return 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["run"]:
        sys.exit(run(sys.argv[2], sys.argv[3], sys.argv[4:]))
    sys.exit(main(sys.argv[1]))
