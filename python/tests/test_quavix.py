"""The Python package over libquavix: every reference sound byte for byte,
the bytes of the quavix tool, units, exchange and the errors it raises."""
import ctypes
import importlib.metadata
import json
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


def poke(params, index, value):
    """Any stored value, NaN included, as a settings file can hold it: through the C call
    itself (the package's setters refuse what the core's rule refuses)."""
    quavix._library.lib.quavix_param_set(ctypes.byref(params._c), index, value)


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
            poke(params, int(index), float_of_bits(bits))
    return params.wav(random=rng, buffer_length=buffer_seconds)


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


def with_stored(**values):
    p = quavix.Params()
    for name, value in values.items():
        p[name] = value
    return p


def with_user(**values):
    p = quavix.Params()
    for name, value in values.items():
        p.set_user(name, value)
    return p


# Lengths from the design: a stage lasts trunc(stored^2 * 100000) samples, a sound its
# three stages and 3 samples, cut at buffer_length x 41000 samples (5 s unless given).
@pytest.mark.parametrize("make, options, length", [
    (quavix.Params, {}, 9000 + 16000 + 3),                    # the defaults: 0.3 and 0.4 stored
    (quavix.Params, {"buffer_length": 0}, 0),
    (lambda: quavix.randomize(seed=38), {}, 5 * 41000),       # longer than the default buffer
    (lambda: with_stored(SustainTime=100.0), {}, 5 * 41000),  # 22675 s stored: bounded
    (lambda: with_stored(SustainTime=100.0), {"buffer_length": 1}, 41000),
    (lambda: with_user(SustainTime=55, DecayTime=10), {"buffer_length": 60}, 60 * 41000),
    (lambda: with_stored(AttackTime=0.5, SustainTime=0.0, DecayTime=0.5), {"buffer_length": 60},
     25000 + 25000 + 3),
])
def test_render_and_wav_are_cut_at_the_buffer(make, options, length):
    p = make()
    samples = p.render(**options)
    assert samples.dtype == numpy.int16 and samples.ndim == 1 and len(samples) == length
    wav = p.wav(**options)
    assert len(wav) == 44 + 2 * length and wav[44:] == samples.astype("<i2").tobytes()
    assert p.length_bound(**options) >= length


def test_a_sound_continues_the_source_it_was_made_from():
    # Noise draws from the source while it renders: a render from another state differs.
    made = quavix.preset("explosion", random=quavix.Random(5))
    assert made.wav() == quavix.preset("explosion", seed=5).wav()
    assert made.wav() != made.wav(seed=made.random.state + 1)
    rng = quavix.Random(7)
    blip = quavix.preset("blip", random=rng).mutate(0.1, random=rng)
    assert numpy.array_equal(blip.render(), blip.render(random=rng))
    assert numpy.array_equal(blip.render(), quavix.preset("blip", seed=7).mutate(0.1).render())
    assert numpy.array_equal(quavix.render_preset("coin", 1), quavix.preset("coin", seed=1).render())


def test_sources_without_a_seed_differ():
    assert len({quavix.random().state for _ in range(8)}) == 8
    assert len({quavix.preset("coin").settings_string() for _ in range(8)}) > 1


def test_users_units_and_the_library_described():
    p = quavix.Params()
    p.set_user("SustainTime", 0.3)
    assert numpy.float32(p["SustainTime"]) == numpy.float32(0.3637366)  # sqrt(0.3 / 2.2675)
    assert p.user("sustaintime") == pytest.approx(0.3, rel=1e-6)
    assert quavix.Params.unit("VibSpeed") == "cycles per second"
    assert quavix.Params.unit("Volume") == ""
    assert p.freq_hz(3528) == 1.0  # sqrt(100 / (44100 / (3528 * 0.125)))
    # The library states the version the installed package was made for, and comes inside
    # it, in a wheel for this platform, unless QUAVIX_LIBRARY names another.
    assert quavix.version() == importlib.metadata.version("quavix")
    if "QUAVIX_LIBRARY" not in os.environ:
        assert os.path.dirname(quavix._library.lib._name) == os.path.dirname(quavix.__file__)
        wheel = importlib.metadata.distribution("quavix").read_text("WHEEL")
        assert "Root-Is-Purelib: false" in wheel and "Tag: py3-none-any" not in wheel
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


LONG = "x" * 100_000_000
CUT = "'" + "x" * 40 + "'..."


# The package's own checks, and the core's rules (their edges are the C library's tests) as the
# package words them.
@pytest.mark.parametrize("call, message", [
    (lambda: quavix.preset("boom"), "unknown preset 'boom': one of coin, laser, explosion, powerup, hurt, jump, blip or 0 to 6"),
    (lambda: quavix.preset(7), "unknown preset 7"),
    (lambda: quavix.preset(LONG), "unknown preset " + CUT + ":"),
    (lambda: quavix.Params()["Loudness"], "unknown parameter 'Loudness'"),
    (lambda: quavix.Params().set_user(LONG, 1), "unknown parameter " + CUT + " ("),
    (lambda: quavix.Params().__setitem__(24, 1), "index 24 outside 0 to 23"),
    (lambda: quavix.Params().set_user("AttackTime", "long"), "AttackTime must be a number, not 'long'"),
    (lambda: quavix.Params().set_user("AttackTime", LONG), "AttackTime must be a number, not " + CUT),
    (lambda: quavix.Params().set_user("DecayTime", -1), "DecayTime -1: a time cannot be negative"),
    (lambda: quavix.Params().set_user("DecayTime", float("nan")), "DecayTime nan: a value must be a finite number"),
    (lambda: quavix.Params().set_user("WaveType", 4), "WaveType 4: the wave type is 0 square, 1 sawtooth, 2 sine or 3 noise"),
    # The longest stage is the 60 s buffer's 2460000 samples: 24.6 stored^2, x 2.2675 s.
    (lambda: quavix.Params().set_user("SustainTime", 55.79), "longer than the longest possible sound (55.78 s)"),
    (lambda: quavix.Params().__setitem__("WaveType", 7), "WaveType 7 (stored): the wave type is 0 square"),
    (lambda: quavix.Params().__setitem__("DecayTime", float("inf")), "DecayTime inf (stored): a value must be a finite number"),
    (lambda: quavix.Params().mutate(1.01), "mutate: 1.01 is not an amount from 0 to 1"),
    (lambda: quavix.Params().mutate(float("nan")), "mutate: nan is not an amount from 0 to 1"),
    (lambda: quavix.Random(1.5), "seed: 1.5 is not a whole number"),
    (lambda: quavix.Random(float("inf")), "seed: inf is not a whole number"),
    (lambda: quavix.Random(True), "seed: True is not a whole number"),
    (lambda: quavix.Random(2**32), "seed: 4294967296 is out of range (-2147483648 to 4294967295)"),
    (lambda: quavix.Random(-2**31 - 1), "seed: -2147483649 is out of range"),
    (lambda: quavix.Random(10**100000), "seed: a whole number of 332193 bits is out of range"),  # log2(10) x 1e5
    (lambda: quavix.Params().render(buffer_length=1.5), "buffer_length: 1.5 is not a whole number"),
    (lambda: quavix.Params().wav(buffer_length=61), "buffer_length: 61 is out of range (0 to 60)"),
    (lambda: quavix.Params().render(buffer_length=-1), "buffer_length: -1 is out of range (0 to 60)"),
    (lambda: quavix.preset("coin", seed=1, random=quavix.Random(1)), "not both"),
    (lambda: quavix.Params.from_settings_string("1,,x"), "field 2 (AttackTime)"),
    (lambda: quavix.Params.from_settings_string("," * 24), "more than 24 fields"),
    (lambda: quavix.Params.from_settings_file(b"\x01\x02"), "version"),
    (lambda: quavix.Params.from_settings_file(quavix.Params().settings_file()[:50]), "ends inside"),
    (lambda: with_decay(float("nan")).settings_string(), "NaN or infinite"),
    (lambda: with_decay(float("inf")).settings_string(), "NaN or infinite"),
    (lambda: quavix.render_layers([layer()] * 9), "a layered sound has 1 to 8 layers, not 9"),
    (lambda: quavix.layers_wav([]), "a layered sound has 1 to 8 layers, not 0"),
    (lambda: quavix.render_layers([layer(), layer(offset=2646001)]),
     "layer 2: the start is 0 to 2646000 samples (60 s), not 2646001"),
    (lambda: quavix.render_layers([layer(offset=-1)]), "layer 1: the start is 0 to 2646000 samples (60 s), not -1"),
    (lambda: quavix.render_layers([layer(offset=2**40)]), "samples (60 s), not 1099511627776"),
    (lambda: quavix.render_layers([layer(gain_db=12.1)]),
     "layer 1: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB"),
    (lambda: quavix.layers_wav([layer()] * 7 + [layer(gain_db=-60.1)]), "layer 8: the gain is -60.0 to +12.0 dB in steps of 0.1, not -60.1 dB"),
    (lambda: quavix.render_layers([layer(gain_db=-1e9)]),
     "gain_db -1000000000.0 is not a number of decibels in steps of 0.1"),
    (lambda: quavix.render_layers([layer(buffer_length=61)]), "layer 1: the buffer length is 0 to 60 seconds, not 61"),
    (lambda: quavix.render_layers([layer(buffer_length=-1)]), "layer 1: the buffer length is 0 to 60 seconds, not -1"),
    (lambda: layer(gain_db=0.05), "gain_db 0.05 is not a number of decibels in steps of 0.1"),
    (lambda: layer(gain_db=float("nan")), "gain_db nan is not a number of decibels in steps of 0.1"),
    (lambda: layer(gain_db="loud"), "gain_db must be a number, not 'loud'"),
    (lambda: layer(offset=1.5), "offset: 1.5 is not a whole number"),
    (lambda: layer(muted=1), "muted: 1 is not True or False"),
    (lambda: quavix.Layer("coin"), "a layer is made of a quavix.Params, not 'coin'"),
    (lambda: quavix.render_layers(layer()), "layers are a list of quavix.Layer, not quavix.Layer("),
    (lambda: quavix.render_layers([layer(), quavix.Params()]), "layer 2 is a quavix.Layer, not quavix.Params("),
])
def test_clear_errors(call, message):
    with pytest.raises(quavix.QuavixError, match=re.escape(message)) as raised:
        call()
    assert len(str(raised.value)) <= 300


# The tool's --seed: negative seeds are the bits of their unsigned twins.
@pytest.mark.parametrize("seed, state", [(0, 0), (4294967295, 4294967295), (-1, 4294967295),
                                         (-2**31, 2**31), (numpy.uint32(7), 7)])
def test_seeds_the_tool_takes(seed, state):
    assert quavix.Random(seed).state == state


def test_the_core_describes_and_checks_each_parameter():
    info = quavix.param_info("sustaintime")
    assert (info.index, info.name, info.unit, info.whole) == (3, "SustainTime", "seconds", False)
    assert info.default == pytest.approx(0.3**2 * 2.2675, rel=1e-6)
    assert info.valid.max == pytest.approx(2460000 / 100000 * 2.2675, rel=1e-6)
    assert quavix.param_info("WaveType").valid == quavix.ValueRange(0, 3)
    assert [i.name for i in quavix.param_info()] == list(quavix.PARAMETERS)
    assert quavix.check_user("SustainTime", 55.78) is None
    assert quavix.check_user(3, -5) == "SustainTime -5: a time cannot be negative"
    assert quavix.check_mutate(1) is None and quavix.check_mutate(2) == "mutate: 2 is not an amount from 0 to 1"
    nothing_stored = quavix.Params()
    for call in (lambda: nothing_stored.set_user("DecayTime", -1),
                 lambda: nothing_stored.__setitem__("WaveType", 7)):
        with pytest.raises(quavix.QuavixError):
            call()
    assert nothing_stored == quavix.Params()


def with_decay(value):
    p = quavix.Params()
    poke(p, 5, value)
    return p


def noise():
    """The defaults on the noise wave, which draws from the random state as it renders."""
    p = quavix.Params()
    p["WaveType"] = 3
    return p


def layer(family="coin", seed=1, **options):
    return quavix.Layer(quavix.preset(family, seed=seed), **options)


# Layered sounds through each edge of the rule: 1 and 8 layers, the earliest and latest
# start, the lowest and highest gain, a muted layer (the longest: it adds no length), a
# clamped mix; and the ways a layer takes its random state.
LAYERED = [
    ("one layer", lambda: [layer("laser", 42)], 0),
    ("eight layers", lambda: [layer(quavix.PRESETS[i % 7], i + 1, offset=997 * i, gain_db=-1.5 * i)
                              for i in range(8)], 0),
    ("the first and the last start", lambda: [layer("blip", 2, offset=2646000), layer("jump", 3, offset=0)], 0),
    ("the lowest and the highest gain", lambda: [layer("powerup", 4, gain_db=-60.0),
                                                 layer("blip", 5, gain_db=12.0, buffer_length=1)], None),
    ("a muted layer", lambda: [layer("hurt", 6), layer("explosion", 7, buffer_length=60, muted=True)], 0),
    ("a loud mix", lambda: [layer("explosion", 8, gain_db=12.0), layer("explosion", 8, gain_db=6.0)], "some"),
    ("random states", lambda: [quavix.Layer(noise(), seed=9), layer("explosion", 1, random=quavix.Random(3)),
                               quavix.Layer(quavix.randomize(seed=38), buffer_length=2, gain_db=-0.1)], None),
]


def mix_of_each_render(layers):
    """The mix from each layer's own render: the sum in double, in layer order, of the
    float nearest 10^(dB/20) x its samples, rounded half away from zero, clamped."""
    sounding = [(one.offset, float(numpy.float32(10 ** (one.gain_db / 20))),
                 one.params.render(seed=one.random_state, buffer_length=one.buffer_length))
                for one in layers if not one.muted]
    total = numpy.zeros(max([offset + len(x) for offset, _, x in sounding] or [0]))
    for offset, gain, x in sounding:
        total[offset:offset + len(x)] += gain * x
    whole = numpy.trunc(total)
    rounded = whole + (total - whole >= 0.5) - (total - whole <= -0.5)
    return numpy.clip(rounded, -32768, 32767).astype(numpy.int16), int(numpy.sum(abs(rounded) > 32767.5))


@pytest.mark.parametrize("what, make, clipped", LAYERED, ids=[case[0] for case in LAYERED])
def test_a_layered_sound_is_the_sum_of_its_layers(what, make, clipped):
    layers = make()
    samples, count = mix_of_each_render(layers)
    mix = quavix.render_layers(layers)
    assert mix.samples.dtype == numpy.int16 and numpy.array_equal(mix.samples, samples)
    assert mix.clipped == count and (clipped is None or (count > 0 if clipped == "some" else count == clipped))
    wav = quavix.layers_wav(layers)
    assert wav[:4] == b"RIFF" and wav[8:16] == b"WAVEfmt " and struct.unpack("<I", wav[40:44])[0] == 2 * len(samples)
    assert wav[44:] == samples.astype("<i2").tobytes()
    assert [layer.gain for layer in layers] == [numpy.float32(10 ** (one.gain_db / 20)) for one in layers]


# A layer alone at 0 dB is the render of its recipe from the state it says, as Params.render.
@pytest.mark.parametrize("make, render", [
    (lambda: quavix.Layer(noise(), seed=9), lambda: noise().render(seed=9)),
    (lambda: quavix.Layer(noise(), seed=-1), lambda: noise().render(seed=4294967295)),
    (lambda: layer("explosion", 5), lambda: quavix.preset("explosion", seed=5).render()),
    (lambda: layer("explosion", 5, random=quavix.Random(3)),
     lambda: quavix.preset("explosion", seed=5).render(random=quavix.Random(3))),
    (lambda: layer("explosion", 5, buffer_length=0), lambda: numpy.zeros(0, numpy.int16)),
    (lambda: quavix.Layer(quavix.randomize(seed=38), buffer_length=1), lambda: quavix.randomize(seed=38).render(buffer_length=1)),
])
def test_a_layer_alone_is_its_render(make, render):
    assert numpy.array_equal(quavix.render_layers([make()]).samples, render())
    rng = quavix.Random(3)
    quavix.Layer(noise(), random=rng)
    assert rng.state == 3  # the layer takes the state; its render is the mix's


@pytest.mark.skipif(CLI is None, reason="QUAVIX_CLI names no quavix tool")
@pytest.mark.parametrize("what, make, clipped", LAYERED, ids=[case[0] for case in LAYERED])
def test_layered_sounds_are_the_tools_bytes(tmp_path, what, make, clipped):
    layers = make()
    project = {"format": "quavix-project", "version": 2, "sounds": [{"name": what, "layers": [
        {"seed": one.random_state, "sfs": one.params.settings_file().hex(), "buffer_length": one.buffer_length,
         "offset": one.offset, "gain_db": one.gain_db, "muted": one.muted} for one in layers]}]}
    (tmp_path / "project.json").write_text(json.dumps(project))
    tool = subprocess.run([CLI, "render", "--layers", str(tmp_path / "project.json"), "--sound", what, "-o", "-"],
                          check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert quavix.layers_wav(layers) == tool.stdout
    said = re.search(r"(\d+) samples? (?:is|are) clipped in the mix", tool.stderr.decode())
    assert quavix.render_layers(layers).clipped == (int(said.group(1)) if said else 0)
