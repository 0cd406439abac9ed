#!/usr/bin/env python3
"""Counts the test cases of JUnit reports, the one counter of scripts/test.sh.

    count-results.py REPORT...

Prints one line "TESTS FAILED SKIPPED", then one line "skipped\tNAME\tREASON"
for each skipped case. Every <testcase> counts once, whichever runner wrote
the report (CTest, Node's test runner, Vitest): failed when it holds a
<failure> or <error>, skipped when it holds <skipped>. A skipped case's reason
is the text after "skipped: " on a line of its output (the suite's convention
for honest skips), else its <skipped message>. A report that is missing or
not XML counts as one failed case named after the file.
"""
import re
import sys
import xml.etree.ElementTree as ET


def cases(path):
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        yield ("failed", path, str(e))
        return
    for case in root.iter("testcase"):
        name = case.get("name", "?")
        if case.find("failure") is not None or case.find("error") is not None:
            yield ("failed", name, "")
        elif (skip := case.find("skipped")) is not None:
            text = "\n".join(t for t in (case.findtext("system-out"), skip.text) if t)
            found = re.search(r"skipped: (.*)", text)
            why = found.group(1).strip() if found else (skip.get("message") or "").strip()
            yield ("skipped", name, why or "no reason given")
        else:
            yield ("passed", name, "")


def main(paths):
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    skipped = []
    for path in paths:
        for outcome, name, why in cases(path):
            counts[outcome] += 1
            if outcome == "skipped":
                skipped.append(f"skipped\t{name}\t{why}")
    total = sum(counts.values())
    print(f"{total} {counts['failed']} {counts['skipped']}")
    for line in skipped:
        print(line)


if __name__ == "__main__":
    main(sys.argv[1:])
