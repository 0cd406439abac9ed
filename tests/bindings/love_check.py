#!/usr/bin/env python3
"""Runs love/quavix.lua in LÖVE without window, graphics or sound card
(ALSOFT_DRIVERS=null): its test against the quavix tool's samples, then the
example game examples/love until it has played its sounds and quits.

    love_check.py SOURCE_DIR QUAVIX_TOOL WORK_DIR
"""
import os
import shutil
import subprocess
import sys

PRESETS = ("coin", "laser", "explosion", "powerup", "hurt", "jump", "blip")


def game(folder, files):
    os.makedirs(folder, exist_ok=True)
    for source, name in files:
        shutil.copy(source, os.path.join(folder, name))
    return folder


def run_love(folder, environment):
    result = subprocess.run(["love", folder], env=environment, timeout=120,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return result.returncode, result.stdout


def main(source, tool, work):
    expected = os.path.join(work, "expected")
    os.makedirs(expected, exist_ok=True)
    for name in PRESETS:
        wav = subprocess.run([tool, "render", "--preset", name, "--seed", "1", "-o", "-"],
                             check=True, stdout=subprocess.PIPE).stdout
        with open(os.path.join(expected, name + ".raw"), "wb") as f:
            f.write(wav[44:])
    environment = dict(os.environ, EXPECTED_DIR=expected, ALSOFT_DRIVERS="null",
                       XDG_DATA_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=work, HOME=work)
    tests = os.path.join(source, "tests", "bindings", "love")
    module = (os.path.join(source, "love", "quavix.lua"), "quavix.lua")
    headless = (os.path.join(tests, "conf.lua"), "conf.lua")
    status, output = run_love(game(os.path.join(work, "test"), [
        module, headless, (os.path.join(tests, "main.lua"), "main.lua"),
        (os.path.join(tests, "test.lua"), "test.lua")]), environment)
    print(output, end="")
    if status != 0 or "ok" not in output.split("\n"):
        print("love test: exit status %d" % status)
        return 1
    # The example, as shipped, with the headless configuration.
    status, output = run_love(game(os.path.join(work, "example"), [
        module, headless, (os.path.join(source, "examples", "love", "main.lua"), "main.lua")]),
        environment)
    print(output, end="")
    if status != 0 or "playing blip" not in output:
        print("love example: exit status %d" % status)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
