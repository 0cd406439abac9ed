"""The Python package's answers to the agreement cases (see agreement.py), through
the installed package as a user calls it, seeds and buffer lengths as numbers
typed in Python.

    python agree_python.py CASES
"""
import hashlib
import re
import sys

import quavix


def number(text):
    """A number as a Python user types it: an int for a whole-number literal."""
    return int(text) if re.fullmatch(r"[+-]?\d+", text) else float(text)


def answer(name, seed, source, sets, mutate, buffer):
    random = quavix.random(number(seed))
    if source.startswith("preset:"):
        params = quavix.preset(source[7:], random=random)
    elif source == "randomize":
        params = quavix.randomize(random=random)
    elif source.startswith("csv:"):
        params = quavix.Params.from_settings_string(source[4:])
    else:
        params = quavix.Params()
    for assignment in filter(None, sets.split(";")):
        key, value = assignment.split("=", 1)
        params.set_user(key, number(value))
    if mutate:
        params = params.mutate(number(mutate), random=random)
    options = {"buffer_length": number(buffer)} if buffer else {}
    samples = params.render(random=random, **options)
    return "ok\t" + hashlib.sha256(samples.astype("<i2").tobytes()).hexdigest()


def main(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            try:
                result = answer(*fields)
            except quavix.QuavixError as error:
                result = "refused\t" + str(error).replace("\n", " ")
            print(fields[0] + "\t" + result)


if __name__ == "__main__":
    main(sys.argv[1])
