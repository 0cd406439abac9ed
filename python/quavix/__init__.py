"""Quavix sound effects for Python games.

    import quavix
    coin = quavix.preset("coin", seed=1)
    samples = coin.render()          # numpy int16, mono, 44100 per second
    wav_bytes = coin.wav()

A sound is a pure function of its parameters and of the random state it is
rendered with: the same seed gives the same samples on every machine.
"""
import ctypes

import numpy

from ._library import CParams, CRandom, LibraryError, lib

__all__ = ["QuavixError", "LibraryError", "Random", "Params", "preset", "randomize",
           "render_preset", "PRESETS", "PARAMETERS", "SAMPLE_RATE", "MAX_SOUND_SAMPLES",
           "version"]


def _sample_rate():
    defaults = CParams()
    lib.quavix_params_default(ctypes.byref(defaults))
    return defaults.SampleRate


SAMPLE_RATE = _sample_rate()
MAX_SOUND_SAMPLES = 675003
PRESETS = ("coin", "laser", "explosion", "powerup", "hurt", "jump", "blip")
PARAMETERS = tuple(lib.quavix_param_name(i).decode("ascii") for i in range(24))
_INT32_MAX = 2**31 - 1
_SETTINGS_FILE_SIZE = 105


class QuavixError(ValueError):
    """A call the library refused; status is its negative status code."""

    def __init__(self, message, status=None):
        super().__init__(message)
        self.status = status


def _check(status, what):
    if status < 0:
        raise QuavixError("%s: %s" % (what, lib.quavix_strerror(status).decode("ascii")), status)
    return status


def version():
    """The library's version, "major.minor.patch"."""
    return lib.quavix_version_string().decode("ascii")


class Random:
    """The one random source of a sequence of presets, randomizations, mutations
    and renders: a 32-bit state that each of them advances."""

    def __init__(self, seed=0):
        self._c = CRandom(_uint32(seed, "seed"))

    @property
    def state(self):
        return self._c.state

    def copy(self):
        other = Random()
        other._c.state = self._c.state
        return other

    def __repr__(self):
        return "quavix.Random(state=%d)" % self._c.state


def _uint32(value, what):
    if not isinstance(value, int) or isinstance(value, bool) or not 0 <= value < 2**32:
        raise QuavixError("%s must be a whole number from 0 to 4294967295, not %r" % (what, value))
    return value


def _random(random, seed):
    if random is not None and seed is not None:
        raise QuavixError("give a random source or a seed, not both")
    if random is None:
        return Random(0 if seed is None else seed)
    if not isinstance(random, Random):
        raise QuavixError("random must be a quavix.Random, not %r" % (random,))
    return random


def _family(family):
    if isinstance(family, str):
        data = family.encode("utf-8")
        number = lib.quavix_preset_family_of_n(data, len(data))
        if number < 0:
            raise QuavixError("unknown preset %r; the presets are %s" % (family, ", ".join(PRESETS)),
                              number)
        return number
    if isinstance(family, int) and not isinstance(family, bool) and 0 <= family < len(PRESETS):
        return family
    raise QuavixError("a preset is one of %s or its number 0 to 6, not %r" % (", ".join(PRESETS), family))


def _index(name):
    if isinstance(name, int) and not isinstance(name, bool):
        if 0 <= name < 24:
            return name
        raise QuavixError("parameter index %d outside 0 to 23" % name)
    if not isinstance(name, str):
        raise QuavixError("a parameter is a name such as 'AttackTime' or an index, not %r" % (name,))
    data = name.encode("utf-8")
    index = lib.quavix_param_index_n(data, len(data))
    if index < 0:
        raise QuavixError("unknown parameter %r; the parameters are %s" % (name, ", ".join(PARAMETERS)),
                          index)
    return index


def _float(value, what):
    try:
        return float(value)
    except (TypeError, ValueError):
        raise QuavixError("%s must be a number, not %r" % (what, value)) from None


class Params:
    """The 24 sound parameters. p["AttackTime"] reads and writes stored units
    (as the settings string holds them); p.user("AttackTime") and
    p.set_user("AttackTime", 0.3) use the users' units (seconds, cycles or
    repeats per second, see unit()). A preset or randomize made with a seed
    keeps its random source in .random, which render() and wav() continue."""

    def __init__(self):
        self._c = CParams()
        lib.quavix_params_default(ctypes.byref(self._c))
        self.random = None

    # -- parameters
    def __getitem__(self, name):
        value = ctypes.c_float()
        _check(lib.quavix_param_get(ctypes.byref(self._c), _index(name), ctypes.byref(value)), "get")
        return value.value

    def __setitem__(self, name, value):
        index = _index(name)
        _check(lib.quavix_param_set(ctypes.byref(self._c), index, _float(value, PARAMETERS[index])),
               "set")

    def user(self, name):
        """The parameter in users' units."""
        value = ctypes.c_float()
        _check(lib.quavix_param_get_user(ctypes.byref(self._c), _index(name), ctypes.byref(value)),
               "get")
        return value.value

    def set_user(self, name, value):
        """Sets the parameter from users' units (a time in seconds, for instance)."""
        index = _index(name)
        _check(lib.quavix_param_set_user(ctypes.byref(self._c), index,
                                         _float(value, PARAMETERS[index])), "set")

    @staticmethod
    def unit(name):
        """The users' unit of a parameter: "seconds", "cycles per second",
        "repeats per second", or "" where it is the stored value."""
        return lib.quavix_param_unit(_index(name)).decode("ascii")

    def freq_hz(self, hz):
        """The stored StartFreq or MinFreq value of a frequency in Hertz."""
        return lib.quavix_freq_hz(ctypes.byref(self._c), int(hz))

    def as_dict(self):
        return {name: self[name] for name in PARAMETERS}

    def copy(self):
        other = Params()
        ctypes.memmove(ctypes.byref(other._c), ctypes.byref(self._c), ctypes.sizeof(CParams))
        other.random = self.random.copy() if self.random is not None else None
        return other

    def __eq__(self, other):
        return isinstance(other, Params) and bytes(self._c) == bytes(other._c)

    def __repr__(self):
        return "quavix.Params(%r)" % self.settings_string()

    # -- design
    def mutate(self, coefficient=0.05, random=None, seed=None):
        """A copy nudged by up to +-0.5 * coefficient (0 to 1) per parameter."""
        problem = ctypes.c_char_p()
        status = lib.quavix_mutate_check(_float(coefficient, "coefficient"), ctypes.byref(problem))
        if status < 0:  # the core's rule, as the quavix tool's --mutate applies it
            raise QuavixError("mutate: %r is not %s" % (coefficient, problem.value.decode("ascii")),
                              status)
        other = self.copy()
        rng = _random(random if random is not None or seed is not None else other.random, seed)
        _check(lib.quavix_mutate(ctypes.byref(other._c), _float(coefficient, "coefficient"),
                                 ctypes.byref(rng._c)), "mutate")
        other.random = rng if random is None else None
        return other

    # -- exchange
    def settings_string(self):
        """The 24 values as comma-separated "%.4f" text. NaN and infinite values
        have no text: QuavixError."""
        size = lib.quavix_settings_string(ctypes.byref(self._c), None, 0)
        if size == 0:
            raise QuavixError("a parameter is NaN or infinite, which a settings string cannot hold")
        buffer = ctypes.create_string_buffer(size + 1)
        lib.quavix_settings_string(ctypes.byref(self._c), buffer, size + 1)
        return buffer.value.decode("ascii")

    @classmethod
    def from_settings_string(cls, text, strict=True):
        """Parameters from the defaults and a settings string; strict refuses a
        field that is not exactly one number, naming it."""
        if not isinstance(text, str):
            raise QuavixError("a settings string is text, not %r" % (text,))
        data = text.encode("utf-8")
        if strict:
            bad = ctypes.c_int32(-1)
            status = lib.quavix_settings_string_check_n(data, len(data), ctypes.byref(bad))
            if status < 0:
                field = PARAMETERS[bad.value] if 0 <= bad.value < 24 else "beyond the 24th"
                raise QuavixError("settings string field %d (%s): %s" % (
                    bad.value, field, lib.quavix_strerror(status).decode("ascii")), status)
        params = cls()
        _check(lib.quavix_settings_string_import_n(ctypes.byref(params._c), data, len(data)), "import")
        return params

    def settings_file(self):
        """The 105 bytes of a version-102 settings file (*.sfs)."""
        buffer = ctypes.create_string_buffer(_SETTINGS_FILE_SIZE)
        _check(lib.quavix_settings_file_encode(ctypes.byref(self._c), buffer), "settings file")
        return buffer.raw

    @classmethod
    def from_settings_file(cls, data):
        """Parameters from the bytes of a settings file of version 100, 101 or 102."""
        data = bytes(data)
        params = cls()
        _check(lib.quavix_settings_file_decode(ctypes.byref(params._c), data, len(data)),
               "settings file")
        return params

    def save(self, path):
        with open(path, "wb") as f:
            f.write(self.settings_file())

    @classmethod
    def load(cls, path):
        with open(path, "rb") as f:
            return cls.from_settings_file(f.read())

    # -- synthesis
    def _render_random(self, random, seed):
        if random is None and seed is None:
            return self.random.copy() if self.random is not None else Random(0)
        return _random(random, seed)

    def render(self, random=None, seed=None, max_samples=None):
        """The samples as a numpy int16 array. Without random or seed the sound
        continues the preset's or randomize's own random source (a copy: the
        same sound each time); a Random given advances."""
        rng = self._render_random(random, seed)
        limit = _INT32_MAX if max_samples is None else int(max_samples)
        if limit < 0:
            raise QuavixError("max_samples must be 0 or more, not %d" % limit)
        start = rng._c.state
        size = min(limit, MAX_SOUND_SAMPLES)
        out = numpy.empty(size, dtype=numpy.int16)
        count = _check(lib.quavix_render(ctypes.byref(self._c), ctypes.byref(rng._c),
                                         out.ctypes.data, size), "render")
        if count == size and limit > size:
            # A sound longer than the usual maximum: its exact length, then once more.
            rng._c.state = start
            size = _check(lib.quavix_render_count(ctypes.byref(self._c), ctypes.byref(rng._c), limit),
                          "render")
            out = numpy.empty(size, dtype=numpy.int16)
            count = _check(lib.quavix_render(ctypes.byref(self._c), ctypes.byref(rng._c),
                                             out.ctypes.data, size), "render")
        return out[:count].copy() if count < size else out

    def wav(self, random=None, seed=None, max_samples=None):
        """The sound as the bytes of a WAV file (16-bit mono, 44100 Hz)."""
        rng = self._render_random(random, seed)
        limit = _INT32_MAX if max_samples is None else int(max_samples)
        capacity = 44 + 2 * min(limit, MAX_SOUND_SAMPLES)
        while True:
            buffer = ctypes.create_string_buffer(capacity)
            size = _check(lib.quavix_wav_image(ctypes.byref(self._c), ctypes.byref(rng._c), limit,
                                               buffer, capacity), "wav")
            if size <= capacity:
                return buffer.raw[:size]
            capacity = size


def preset(family, seed=None, random=None):
    """A fresh sound of a preset family ("coin", "laser", "explosion",
    "powerup", "hurt", "jump", "blip", or 0 to 6)."""
    number = _family(family)
    rng = _random(random, seed)
    params = Params()
    _check(lib.quavix_preset(ctypes.byref(params._c), number, ctypes.byref(rng._c)), "preset")
    params.random = rng if random is None else None
    return params


def randomize(seed=None, random=None, audible=False):
    """Random parameters; audible=True never picks the silent wave type 4."""
    rng = _random(random, seed)
    params = Params()
    _check(lib.quavix_randomize_ex(ctypes.byref(params._c), ctypes.byref(rng._c), 1 if audible else 0),
           "randomize")
    params.random = rng if random is None else None
    return params


def render_preset(family, seed):
    """The samples of preset family made with seed, as one call."""
    return preset(family, seed=seed).render()
