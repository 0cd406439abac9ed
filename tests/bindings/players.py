#!/usr/bin/env python3
"""Plays the seven presets through a binding without a sound card and checks
them, bit for bit, against the quavix tool's samples of the same seed.

    players.py sdl2 EXAMPLE QUAVIX_TOOL WORK_DIR
        the SDL2 example, seed 3, with SDL's disk audio driver: what it played
        is the presets in order with nothing but silence between them
    players.py love SOURCE_DIR QUAVIX_TOOL WORK_DIR
        love/quavix.lua in LÖVE without window or graphics (ALSOFT_DRIVERS=null):
        its test against the tool's samples of seed 1, then the example game
        examples/love until it has played its sounds and quits
"""
import os
import shutil
import subprocess
import sys

PRESETS = ("coin", "laser", "explosion", "powerup", "hurt", "jump", "blip")


def tool_samples(tool, name, seed):
    return subprocess.run([tool, "render", "--preset", name, "--seed", str(seed), "-o", "-"],
                          check=True, stdout=subprocess.PIPE).stdout[44:]


def sdl2(example, tool, work):
    captured = os.path.join(work, "played.raw")
    if os.path.exists(captured):
        os.remove(captured)
    environment = dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=captured)
    subprocess.run([example, "3"], env=environment, check=True, timeout=120)
    with open(captured, "rb") as f:
        played = f.read()
    position = 0
    for name in PRESETS:
        samples = tool_samples(tool, name, 3)
        found = played.find(samples, position)
        if found < 0:
            return "%s: its samples are not in what was played after byte %d" % (name, position)
        if played[position:found].strip(b"\0"):
            return "%s: something other than silence was played before it" % name
        position = found + len(samples)
    if played[position:].strip(b"\0"):
        return "something other than silence was played after the last sound"
    print("played the seven presets bit for bit (%d bytes captured)" % len(played))
    return None


def love(source, tool, work):
    expected = os.path.join(work, "expected")
    os.makedirs(expected, exist_ok=True)
    for name in PRESETS:
        with open(os.path.join(expected, name + ".raw"), "wb") as f:
            f.write(tool_samples(tool, name, 1))
    environment = dict(os.environ, EXPECTED_DIR=expected, ALSOFT_DRIVERS="null",
                       XDG_DATA_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=work, HOME=work)
    tests = os.path.join(source, "tests", "bindings", "love")
    module = os.path.join(source, "love", "quavix.lua")
    # The test, then the example as shipped, each with the headless configuration.
    for game, main, played in (("test", os.path.join(tests, "test.lua"), lambda out: "ok" in out.split("\n")),
                               ("example", os.path.join(source, "examples", "love", "main.lua"),
                                lambda out: "playing blip" in out)):
        folder = os.path.join(work, game)
        os.makedirs(folder, exist_ok=True)
        for path, name in ((module, "quavix.lua"), (os.path.join(tests, "conf.lua"), "conf.lua"), (main, "main.lua")):
            shutil.copy(path, os.path.join(folder, name))
        run = subprocess.run(["love", folder], env=environment, timeout=120,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        print(run.stdout, end="")
        if run.returncode != 0 or not played(run.stdout):
            return "love %s: exit status %d" % (game, run.returncode)
    return None


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[1] not in ("sdl2", "love"):
        sys.exit(__doc__)
    os.makedirs(sys.argv[4], exist_ok=True)
    problem = globals()[sys.argv[1]](*sys.argv[2:])
    if problem:
        print(problem)
    sys.exit(1 if problem else 0)
