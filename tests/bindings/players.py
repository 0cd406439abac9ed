#!/usr/bin/env python3
"""Plays the seven presets through a binding without a sound card and checks
them, bit for bit, against the quavix tool's samples of the same seed.

    players.py sdl2 EXAMPLE QUAVIX_TOOL WORK_DIR
        the SDL2 example, seed 3, with SDL's disk audio driver: what it played
        is the presets in order with nothing but silence between them
    players.py love SOURCE_DIR QUAVIX_TOOL WORK_DIR       (QUAVIX_LIBRARY set)
        love/quavix.lua in LÖVE without window or graphics (ALSOFT_DRIVERS=null):
        its test against the tool's samples of seed 1 and its layered sounds
        (QUAVIX_TOOL), the example game
        examples/love until it has played its sounds and quits, then each
        lua block of the README's LÖVE section as written, with the library
        beside a game folder (love . and love FOLDER), a .love file and a
        fused game; QUAVIX_LIBRARY before one beside the game, the system's
        loader last
"""
import os
import re
import shutil
import subprocess
import sys
import zipfile

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


# The main.lua around a README block: runs it as written, then says where the
# library came from.
README_GAME = """local ok, problem = pcall(assert(love.filesystem.load("readme.lua")))
print(ok and "ran the block with " .. require("quavix").libraryPath or "failed: " .. tostring(problem))
love.event.quit(ok and 0 or 1)
"""


def readme_blocks(source):
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        section = f.read().split("## Use Quavix from LÖVE", 1)[1].split("\n## ", 1)[0]
    return re.findall(r"```lua\n(.*?)```", section, flags=re.S)


def run_love(argv, environment, cwd=None):
    """LÖVE's output and exit status; killed after 120 s (its error screen ignores SIGTERM)."""
    try:
        run = subprocess.run(argv, env=environment, cwd=cwd, timeout=120,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    except subprocess.TimeoutExpired as timeout:
        out = timeout.stdout or ""
        out = (out.decode(errors="replace") if isinstance(out, bytes) else out) + "\n(killed after 120 s)"
        print(out)
        return out, -9
    print(run.stdout, end="")
    return run.stdout, run.returncode


def game_folder(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, text in files.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(text)


def love(source, tool, work):
    expected = os.path.join(work, "expected")
    os.makedirs(expected, exist_ok=True)
    for name in PRESETS:
        with open(os.path.join(expected, name + ".raw"), "wb") as f:
            f.write(tool_samples(tool, name, 1))
    library = os.environ["QUAVIX_LIBRARY"]
    environment = dict(os.environ, EXPECTED_DIR=expected, QUAVIX_TOOL=tool, ALSOFT_DRIVERS="null",
                       XDG_DATA_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=work, HOME=work)
    tests = os.path.join(source, "tests", "bindings", "love")

    def read(*path):
        with open(os.path.join(source, *path), encoding="utf-8") as f:
            return f.read()
    base = {"quavix.lua": read("love", "quavix.lua"), "conf.lua": read("tests", "bindings", "love", "conf.lua")}
    # The test, then the example as shipped, each with the headless configuration.
    for game, main, played in (("test", read("tests", "bindings", "love", "test.lua"),
                                lambda out: "ok" in out.split("\n")),
                               ("example", read("examples", "love", "main.lua"), lambda out: "playing blip" in out)):
        folder = os.path.join(work, game)
        game_folder(folder, dict(base, **{"main.lua": main}))
        out, status = run_love(["love", folder], environment)
        if status != 0 or not played(out):
            return "love %s: exit status %d" % (game, status)

    # Each README block as written, with libquavix.so.1 beside the game and no QUAVIX_LIBRARY:
    # a folder run as `love .` and as `love FOLDER`, a .love file, a fused game.
    blocks = readme_blocks(source)
    if not blocks:
        return "README.md: no lua block in the LÖVE section"
    beside = dict(environment)
    del beside["QUAVIX_LIBRARY"]
    love_program = os.path.realpath(shutil.which("love"))
    for number, block in enumerate(blocks):
        files = dict(base, **{"main.lua": README_GAME, "readme.lua": block})
        root = os.path.join(work, "readme%d" % number)
        folder, packed, fused = (os.path.join(root, way) for way in ("folder", "packed", "fused"))
        game_folder(folder, files)
        for place in (folder, packed, fused):
            os.makedirs(place, exist_ok=True)
            shutil.copy(library, os.path.join(place, "libquavix.so.1"))
        game = os.path.join(packed, "game.love")
        with zipfile.ZipFile(game, "w") as archive:
            for name, text in files.items():
                archive.writestr(name, text)
        executable = os.path.join(fused, "game")
        with open(executable, "wb") as out, open(love_program, "rb") as program, open(game, "rb") as archive:
            out.write(program.read() + archive.read())
        os.chmod(executable, 0o755)
        # QUAVIX_LIBRARY comes before a library beside the game, which comes before the system's.
        first, system = os.path.join(root, "first"), os.path.join(root, "system")
        game_folder(first, files)
        shutil.copy(library, os.path.join(first, "libquavix.so.1"))
        game_folder(system, files)
        loader = dict(beside, LD_LIBRARY_PATH=os.path.dirname(library))
        for way, argv, cwd, env, found in (
                ("love .", ["love", "."], folder, beside, os.path.join(folder, "libquavix.so.1")),
                ("love FOLDER", ["love", folder], work, beside, os.path.join(folder, "libquavix.so.1")),
                ("love FILE.love", ["love", game], work, beside, os.path.join(packed, "libquavix.so.1")),
                ("a fused game", [executable], work, beside, os.path.join(fused, "libquavix.so.1")),
                ("QUAVIX_LIBRARY first", ["love", first], work, environment, library),
                ("the system's last", ["love", system], work, loader, "libquavix.so.1")):
            out, status = run_love(argv, env, cwd)
            if status != 0 or "ran the block with " + found not in out.split("\n"):
                return "README block %d as %s: exit status %d, not run with %s" % (number + 1, way, status, found)
    return None


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[1] not in ("sdl2", "love"):
        sys.exit(__doc__)
    os.makedirs(sys.argv[4], exist_ok=True)
    problem = globals()[sys.argv[1]](*sys.argv[2:])
    if problem:
        print(problem)
    sys.exit(1 if problem else 0)
