"""The Python package over libquavix: every reference sound byte for byte,
the bytes of the quavix tool, units, exchange and the errors it raises."""
import importlib.metadata
import os
import re
import struct
import subprocess

import numpy
import pytest

import quavix

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE_SOUNDS = os.environ.get(
    "QUAVIX_REFERENCE_SOUNDS", os.path.join(HERE, "..", "..", "tests", "reference_sounds.txt"))
CLI = os.environ.get("QUAVIX_CLI")


def float_of_bits(text):
    return struct.unpack("<f", struct.pack("<I", int(text, 16)))[0]


def fnv1a64(data):
    digest = 0xcbf29ce484222325
    for byte in data:
        digest = ((digest ^ byte) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return "%016x" % digest


def run_recipe(recipe):
    """The WAV image of a recipe: bN buffer seconds, sN seed, pN preset,
    r randomize, mHEX mutate by the float of bits HEX, vI=HEX stored value."""
    steps = recipe.split(",")
    buffer_seconds = int(steps[0][1:])
    params, rng = quavix.Params(), None
    for step in steps[1:]:
        kind, arg = step[0], step[1:]
        if kind == "s":
            rng = quavix.Random(int(arg))
        elif kind == "p":
            params = quavix.preset(int(arg), random=rng)
        elif kind == "r":
            params = quavix.randomize(random=rng)
        elif kind == "m":
            params = params.mutate(float_of_bits(arg), random=rng)
        elif kind == "v":
            index, bits = arg.split("=")
            params[int(index)] = float_of_bits(bits)
    return params.wav(random=rng, max_samples=buffer_seconds * 41000)


def reference_lines():
    with open(REFERENCE_SOUNDS, encoding="ascii") as f:
        return [line.split() for line in f if line.strip() and not line.startswith("#")]


def test_every_reference_sound_byte_for_byte():
    lines = reference_lines()
    assert len(lines) >= 90
    wrong = []
    for recipe, count, digest in lines:
        image = run_recipe(recipe)
        got = "%d %s" % ((len(image) - 44) // 2, fnv1a64(image))
        if got != count + " " + digest:
            wrong.append("%s: %s, native %s %s" % (recipe, got, count, digest))
    assert wrong == []


# The recipes the tool can express: seed, then a preset or randomize, then one mutation.
def tool_arguments(recipe):
    m = re.fullmatch(r"b5,s(\d+),(?:(r)|p(\d))(?:,m([0-9a-f]{8}))?", recipe)
    if m is None:
        return None
    seed, randomized, family, mutation = m.groups()
    return (["--seed", seed] + (["--randomize"] if randomized else ["--preset", quavix.PRESETS[int(family)]])
            + (["--mutate", repr(float_of_bits(mutation))] if mutation else []))


@pytest.mark.skipif(CLI is None, reason="QUAVIX_CLI names no quavix tool")
def test_reference_sounds_are_the_tools_bytes():
    compared = 0
    for recipe, _, _ in reference_lines():
        arguments = tool_arguments(recipe)
        if arguments is None:
            continue
        tool = subprocess.run([CLI, "render", *arguments, "-o", "-"], check=True,
                              stdout=subprocess.PIPE).stdout
        assert run_recipe(recipe) == tool, recipe
        compared += 1
    assert compared >= 25


def test_render_gives_int16_samples_of_the_wav_the_whole_sound():
    coin = quavix.preset("coin", seed=1)
    samples = coin.render()
    assert samples.dtype == numpy.int16 and samples.ndim == 1
    assert coin.wav()[44:] == samples.astype("<i2").tobytes()
    assert numpy.array_equal(quavix.render_preset("coin", 1), samples)
    assert len(quavix.Params().render()) == 25003  # the default sound's length
    assert len(quavix.Params().render(max_samples=100)) == 100
    # Longer than the usual maximum: 1.5 + 1/64 gives 229711 samples of sustain instead of 225000.
    p = quavix.Params()
    p["AttackTime"] = p["DecayTime"] = 1.5
    p["SustainTime"] = 1.515625
    assert len(p.render()) == 225000 + 229711 + 225000 + 3
    assert len(p.wav()) == 44 + 2 * (225000 + 229711 + 225000 + 3)


def test_users_units_and_the_library_described():
    p = quavix.Params()
    p.set_user("SustainTime", 0.3)
    assert numpy.float32(p["SustainTime"]) == numpy.float32(0.3637366)  # sqrt(0.3 / 2.2675)
    assert p.user("sustaintime") == pytest.approx(0.3, rel=1e-6)
    assert quavix.Params.unit("VibSpeed") == "cycles per second"
    assert quavix.Params.unit("Volume") == ""
    assert p.freq_hz(3528) == 1.0  # sqrt(100 / (44100 / (3528 * 0.125)))
    # The library states the version the installed package was made for.
    assert quavix.version() == importlib.metadata.version("quavix")
    assert quavix.PARAMETERS[0] == "Volume" and quavix.PARAMETERS[23] == "HPCutoffSweep"


def test_exchange_round_trips(tmp_path):
    p = quavix.preset("laser", seed=7)
    text = p.settings_string()
    q = quavix.Params.from_settings_string(text)
    assert q.settings_string() == text
    path = tmp_path / "laser.sfs"
    p.save(path)
    assert path.stat().st_size == 105
    assert quavix.Params.load(path) == quavix.Params.from_settings_file(p.settings_file())
    assert quavix.Params.load(path).settings_string() == text
    assert quavix.Params().settings_string() == "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,"


def test_seeds_and_mutation_repeat():
    a = quavix.randomize(seed=3)
    assert a == quavix.randomize(seed=3) and a != quavix.randomize(seed=4)
    assert numpy.array_equal(a.render(), a.render())
    assert a.mutate(0.1) == a.mutate(0.1) and a.mutate(0.1) != a
    waves = {quavix.randomize(seed=s, audible=True)["WaveType"] for s in range(1, 400)}
    assert waves == {0, 1, 2, 3}


@pytest.mark.parametrize("call, message", [
    (lambda: quavix.preset("boom"), "unknown preset 'boom'"),
    (lambda: quavix.preset(7), "its number 0 to 6"),
    (lambda: quavix.Params()["Loudness"], "unknown parameter 'Loudness'"),
    (lambda: quavix.Params().__setitem__(24, 1), "index 24 outside 0 to 23"),
    (lambda: quavix.Params().set_user("AttackTime", "long"), "AttackTime must be a number"),
    (lambda: quavix.Params().mutate(1.01), "mutate: 1.01 is not an amount from 0 to 1"),
    (lambda: quavix.Random(-1), "seed must be a whole number"),
    (lambda: quavix.preset("coin", seed=1, random=quavix.Random(1)), "not both"),
    (lambda: quavix.Params.from_settings_string("1,,x"), "field 2 (AttackTime)"),
    (lambda: quavix.Params.from_settings_string("," * 24), "more than 24 fields"),
    (lambda: quavix.Params.from_settings_file(b"\x01\x02"), "version"),
    (lambda: quavix.Params.from_settings_file(quavix.Params().settings_file()[:50]), "ends inside"),
    (lambda: with_decay(float("nan")).settings_string(), "NaN or infinite"),
    (lambda: with_decay(float("inf")).settings_string(), "NaN or infinite"),
])
def test_clear_errors(call, message):
    with pytest.raises(quavix.QuavixError, match=re.escape(message)):
        call()


def with_decay(value):
    p = quavix.Params()
    p["DecayTime"] = value
    return p
