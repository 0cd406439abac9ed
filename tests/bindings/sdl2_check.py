#!/usr/bin/env python3
"""Runs the SDL2 example with SDL's disk audio driver and checks that what it
played is, bit for bit, the seven presets of its seed as the quavix tool
renders them, in order, with nothing but silence between them.

    sdl2_check.py EXAMPLE QUAVIX_TOOL WORK_DIR
"""
import os
import subprocess
import sys

PRESETS = ("coin", "laser", "explosion", "powerup", "hurt", "jump", "blip")


def main(example, tool, work):
    os.makedirs(work, exist_ok=True)
    captured = os.path.join(work, "played.raw")
    if os.path.exists(captured):
        os.remove(captured)
    environment = dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=captured)
    subprocess.run([example, "3"], env=environment, check=True, timeout=120)
    with open(captured, "rb") as f:
        played = f.read()
    position = 0
    for name in PRESETS:
        wav = subprocess.run([tool, "render", "--preset", name, "--seed", "3", "-o", "-"],
                             check=True, stdout=subprocess.PIPE).stdout
        samples = wav[44:]
        found = played.find(samples, position)
        if found < 0:
            print("%s: its samples are not in what was played after byte %d" % (name, position))
            return 1
        if played[position:found].strip(b"\0"):
            print("%s: something other than silence was played before it" % name)
            return 1
        position = found + len(samples)
    if played[position:].strip(b"\0"):
        print("something other than silence was played after the last sound")
        return 1
    print("played the seven presets bit for bit (%d bytes captured)" % len(played))
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
