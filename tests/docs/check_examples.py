#!/usr/bin/env python3
"""check_examples.py TOOL SOURCE_DIR: every example of the tool that the documents and the --help
texts show runs, in one scratch folder and in order (docs/*.md, README.md, then `quavix --help` and
each command's --help), with exit status 0, and prints what the document shows after it.

An example is a code block whose first line starts with "quavix " (a block with "[--" is a
synopsis, not an example). In it each line that starts with "quavix " (a trailing backslash joins
the next line) is a command, and the lines after it, up to the next command, are what it prints,
stdout then stderr; a command followed by none may print anything. A fenced block whose info string
names a file after the language (```json quavix-project.json) is written to that file. The time a
batch takes ("in 2.45 s") and its job count vary from run to run and are not compared. `aplay`
stands for a player: it reads a WAV from stdin.

`check_examples.py --self-test TOOL` shows that a wrong shown line, a failing command and a missing
file each fail the check."""
import os
import re
import subprocess
import sys
import tempfile

VARYING = re.compile(r" in [0-9.]+ s with [0-9]+ jobs?")
APLAY = '#!/bin/sh\nhead -c 4 | grep -q RIFF && cat >/dev/null\n'


def markdown_blocks(text):
    """The code blocks of a markdown text: (info string, lines), indented and fenced."""
    blocks, lines, i = [], text.split("\n"), 0
    while i < len(lines):
        line = lines[i]
        fence = re.match(r"^(\s*)```(.*)$", line)
        if fence:
            indent, body, i = len(fence.group(1)), [], i + 1
            while i < len(lines) and not re.match(r"^\s*```\s*$", lines[i]):
                body.append(lines[i][indent:])
                i += 1
            blocks.append((fence.group(2).strip(), body))
        elif line.startswith("    ") and (i == 0 or lines[i - 1].strip() == ""):
            body = []
            while i < len(lines) and (lines[i].startswith("    ") or lines[i].strip() == ""):
                body.append(lines[i][4:])
                i += 1
            while body and body[-1].strip() == "":
                body.pop()
            blocks.append(("", body))
            continue
        i += 1
    return blocks


def help_blocks(text):
    """The examples of a --help text: the lines indented under "Examples:"."""
    at = text.find("\nExamples:\n")
    if at < 0:
        return []
    body = []
    for line in text[at + len("\nExamples:\n"):].split("\n"):
        if not line.startswith("  "):
            break
        body.append(line[2:])
    return [("", body)]


def commands(lines):
    """(command, shown lines) pairs of an example block."""
    runs = []
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("quavix ") and not line.startswith("quavix: "):
            command = line
            while command.endswith("\\") and i + 1 < len(lines):
                i += 1
                command = command[:-1] + " " + lines[i].strip()
            runs.append((command, []))
        elif runs:
            runs[-1][1].append(line)
        i += 1
    return runs


def check(sources, tool, folder):
    """Runs every example of sources [(label, blocks)] in folder; returns the failures."""
    bin_dir = os.path.join(folder, ".bin")
    os.makedirs(bin_dir, exist_ok=True)
    os.symlink(os.path.abspath(tool), os.path.join(bin_dir, "quavix"))
    with open(os.path.join(bin_dir, "aplay"), "w") as f:
        f.write(APLAY)
    os.chmod(os.path.join(bin_dir, "aplay"), 0o755)
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""))
    failures, count = [], 0
    for label, blocks in sources:
        for info, lines in blocks:
            words = info.split()
            if len(words) == 2:
                with open(os.path.join(folder, words[1]), "w") as f:
                    f.write("\n".join(lines) + "\n")
                continue
            if not lines or not lines[0].startswith("quavix ") or any("[--" in l for l in lines):
                continue
            for command, shown in commands(lines):
                count += 1
                run = subprocess.run(["bash", "-o", "pipefail", "-c", command], cwd=folder, env=env,
                                     stdin=subprocess.DEVNULL, capture_output=True)
                out = (run.stdout + run.stderr).decode("utf-8", "replace").rstrip("\n").split("\n")
                where = f"{label}: {command}"
                if run.returncode != 0:
                    failures.append(f"{where}: exit status {run.returncode}: {run.stderr.decode(errors='replace').strip()}")
                elif shown and [VARYING.sub("", l) for l in shown] != [VARYING.sub("", l) for l in out]:
                    failures.append(f"{where}: shows\n  " + "\n  ".join(shown) + "\nbut prints\n  " + "\n  ".join(out))
    return failures, count


def tool_sources(tool, source_dir):
    sources = []
    docs = os.path.join(source_dir, "docs")
    for name in sorted(os.listdir(docs)) + ["../README.md"]:
        if name.endswith(".md"):
            with open(os.path.join(docs, name), encoding="utf-8") as f:
                sources.append((os.path.normpath(os.path.join("docs", name)), markdown_blocks(f.read())))
    for command in [[], ["render"], ["batch"], ["info"], ["presets"], ["match"]]:
        text = subprocess.run([tool] + command + ["--help"], capture_output=True, check=True).stdout.decode()
        label = " ".join(["quavix"] + command + ["--help"])
        if not any(commands(lines) for _, lines in help_blocks(text)):
            raise SystemExit(f"FAIL: {label} shows no examples")
        sources.append((label, help_blocks(text)))
    return sources


def self_test(tool):
    cases = [  # (document, whether the check passes)
        ("    quavix presets --help\n", True),
        ("Text.\n\n    quavix info --csv 1 --json | grep -c bits\n    24\n", True),
        ("    quavix info --csv 1 --json | grep -c bits\n    25\n", False),  # a wrong shown line
        ("```\nquavix info --csv 1 --json | grep -c bits\n25\n```\n", False),  # and fenced
        ("    quavix render --preset trumpet -o t.wav\n", False),  # a failing command
        ("    quavix info missing.sfs\n", False),  # a file no example makes
        ("```json made.json\n[]\n```\n\n    quavix batch --project made.json --out-dir o\n", False),
        ("    quavix render --seed 1 --save-sfs a.sfs\n    quavix info a.sfs --json | grep -c bits\n    24\n", True),
    ]
    failed = 0
    for text, passes in cases:
        with tempfile.TemporaryDirectory() as folder:
            failures, count = check([("case", markdown_blocks(text))], tool, folder)
        if count == 0 or (not failures) != passes:
            print(f"FAIL: self-test: {text!r} {'fails' if failures else 'passes'}: {failures}")
            failed = 1
    return failed


def main():
    if sys.argv[1] == "--self-test":
        return self_test(sys.argv[2])
    tool, source_dir = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        failures, count = check(tool_sources(tool, source_dir), tool, folder)
    for failure in failures:
        print("FAIL: " + failure)
    print(f"{count} examples run, {len(failures)} failed")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
