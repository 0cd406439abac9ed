#!/usr/bin/env python3
"""Runs the cases of agreement_cases.json through the quavix tool and through one
binding's runner, and requires the same outcome from both: the same samples, or
a refusal whose message says what the case says, in at most 300 characters.

    agreement.py TOOL RUNNER ARGS...

The runner's arguments may hold {cases}, the case file it reads (one case a
line: NAME SEED SOURCE SETS MUTATE BUFFER, split by tabs), and {out}, a file it
writes its answers to instead of stdout (one a line: NAME ok SHA256 or NAME
refused MESSAGE). Runners whose surface takes seeds only as 32-bit unsigned
integers and buffer lengths as counts (C) are given --typed before the
runner and get only the cases whose seed and buffer such a caller can pass.
"""
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
LONG = "x" * 100000
SAMPLES_PER_BUFFER_SECOND = 41000  # the tool's --buffer-length unit, from its --help


def expand(text):
    return text.replace("LONG", LONG)


def tool_outcome(tool, case, scratch):
    out = os.path.join(scratch, "tool.raw")
    argv = [tool, "render", "--seed", case["seed"], "-o", out]
    source = case["source"]
    if source.startswith("preset:"):
        argv += ["--preset", expand(source[7:])]
    elif source == "randomize":
        argv += ["--randomize"]
    elif source.startswith("csv:"):
        argv += ["--csv", source[4:]]
    for assignment in filter(None, expand(case.get("set", "")).split(";")):
        argv += ["--set", assignment]
    if case.get("mutate"):
        argv += ["--mutate", case["mutate"]]
    if case.get("buffer"):
        argv += ["--buffer-length", case["buffer"]]
    run = subprocess.run(argv, capture_output=True, text=True)
    if run.returncode != 0:
        return ("refused", run.stderr.strip().splitlines()[-1])
    with open(out, "rb") as f:
        samples = f.read()
    return ("ok", hashlib.sha256(samples).hexdigest(), len(samples) // 2)


def main():
    args = sys.argv[1:]
    typed = args and args[0] == "--typed"
    if typed:
        args = args[1:]
    tool, runner = args[0], args[1:]
    with open(os.path.join(HERE, "agreement_cases.json"), encoding="utf-8") as f:
        cases = json.load(f)["cases"]
    if typed:
        cases = [c for c in cases if re.fullmatch(r"\d+", c["seed"]) and int(c["seed"]) < 2**32
                 and re.fullmatch(r"\d*", c.get("buffer", "")) and int(c.get("buffer") or 0) <= 60]
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        case_file = os.path.join(scratch, "cases.tsv")
        out_file = os.path.join(scratch, "answers.tsv")
        with open(case_file, "w", encoding="utf-8") as f:
            for c in cases:
                fields = [c["name"], c["seed"], expand(c["source"]), expand(c.get("set", "")),
                          c.get("mutate", ""), c.get("buffer", "")]
                f.write("\t".join(fields) + "\n")
        argv = [a.replace("{cases}", case_file).replace("{out}", out_file) for a in runner]
        run = subprocess.run(argv, capture_output=True, text=True, timeout=900)
        if run.returncode != 0:
            sys.exit("the runner failed (%d):\n%s\n%s" % (run.returncode, run.stdout[-3000:], run.stderr[-3000:]))
        if any("{out}" in a for a in runner):
            with open(out_file, encoding="utf-8") as f:
                answered = f.read()
        else:
            answered = run.stdout
        answers = {}
        for line in answered.splitlines():
            name, kind, detail = line.split("\t", 2)
            answers[name] = (kind, detail)
        for c in cases:
            expected = tool_outcome(tool, c, scratch)
            got = answers.get(c["name"])
            problem = None
            if "refused" in c:
                if expected[0] != "refused" or not re.search(c["refused"], expected[1]):
                    problem = "the tool does not refuse it as the case says: %r" % (expected,)
                elif got is None or got[0] != "refused":
                    problem = "the binding does not refuse it: %r" % (got,)
                elif not re.search(c["refused"], got[1]) or len(got[1]) > 300:
                    problem = "the binding's message is not the core's (%r): %r" % (c["refused"], got[1][:400])
            else:
                if expected[0] != "ok":
                    problem = "the tool refuses it: %r" % (expected,)
                elif "samples" in c and expected[2] != c["samples"]:
                    problem = "the tool makes %d samples, not %d" % (expected[2], c["samples"])
                elif got != ("ok", expected[1]):
                    problem = "the binding gives %r, the tool ok %s" % (got and (got[0], got[1][:300]), expected[1])
            if problem:
                failures.append("%s: %s" % (c["name"], problem))
    for f in failures:
        print(f)
    print("%d of %d cases agree with the tool" % (len(cases) - len(failures), len(cases)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
