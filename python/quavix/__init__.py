"""Quavix sound effects for Python games.

    import quavix
    coin = quavix.preset("coin", seed=1)
    samples = coin.render()          # numpy int16, mono, 44100 per second
    wav_bytes = coin.wav()
    mix = quavix.render_layers([quavix.Layer(coin), quavix.Layer(coin, offset=4410, gain_db=-6)])

A sound is a pure function of its parameters and of the random state it is
rendered with: the same seed gives the same samples on every machine. A
render is cut at its buffer, buffer_length whole seconds (default 5, as the
quavix tool's --buffer-length) of 41000 samples each.
"""
from __future__ import annotations

import ctypes
import operator
import os
import re
from dataclasses import dataclass
from typing import Iterable, NamedTuple, Optional, Tuple, Union, overload

import numpy

from ._library import CLayer, CParamDescription, CParams, CRandom, LibraryError, lib

__all__ = ["QuavixError", "LibraryError", "Random", "Params", "ParamInfo", "ValueRange", "random",
           "preset", "randomize", "render_preset", "param_info", "check_user", "check_mutate",
           "Layer", "LayerMix", "render_layers", "layers_wav", "PRESETS", "PARAMETERS",
           "SAMPLE_RATE", "DEFAULT_BUFFER_LENGTH", "MAX_BUFFER_LENGTH",
           "SAMPLES_PER_BUFFER_SECOND", "version"]

ParamKey = Union[str, int]
"""A parameter by name ("AttackTime", ASCII case ignored) or by index 0 to 23."""
Family = Union[str, int]
"""A preset family by name ("coin") or by number 0 to 6."""


def _sample_rate() -> int:
    defaults = CParams()
    lib.quavix_params_default(ctypes.byref(defaults))
    return defaults.SampleRate


SAMPLE_RATE = _sample_rate()
PRESETS = ("coin", "laser", "explosion", "powerup", "hurt", "jump", "blip")
PARAMETERS = tuple(lib.quavix_param_name(i).decode("ascii") for i in range(lib.quavix_param_count()))
# The wave buffer as the core sizes it: 44 bytes of header and 2 bytes a sample,
# SAMPLES_PER_BUFFER_SECOND samples a second, lengths above the longest counted as it.
SAMPLES_PER_BUFFER_SECOND = (lib.quavix_wav_buffer_size(1) - lib.quavix_wav_buffer_size(0)) // 2
MAX_BUFFER_LENGTH = ((lib.quavix_wav_buffer_size(2**32 - 1) - lib.quavix_wav_buffer_size(0))
                     // (2 * SAMPLES_PER_BUFFER_SECOND))
DEFAULT_BUFFER_LENGTH = 5  # the quavix tool's default --buffer-length
# The quavix tool's --seed: 32 bits, a negative number naming the bits of its unsigned twin.
_SEED_MIN, _SEED_MAX = -2**31, 2**32 - 1
_SETTINGS_FILE_SIZE = 105
_SHOWN = 40  # the longest text a message repeats before cutting it


class QuavixError(ValueError):
    """A call the library refused; status is its negative status code, if it gave one."""

    def __init__(self, message: str, status: Optional[int] = None) -> None:
        super().__init__(message)
        self.status = status


def _shown(value: object) -> str:
    """A value as a message repeats it: text quoted, at most 40 characters then "..."."""
    if isinstance(value, (str, bytes, bytearray)):
        return repr(value[:_SHOWN]) + ("..." if len(value) > _SHOWN else "")
    if isinstance(value, int) and abs(value) >= 10**_SHOWN:
        return "a whole number of %d bits" % value.bit_length()
    text = repr(value)
    return text[:_SHOWN] + ("..." if len(text) > _SHOWN else "")


def _check(status: int, what: str) -> int:
    if status < 0:
        raise QuavixError("%s: %s" % (what, lib.quavix_strerror(status).decode("ascii")), status)
    return status


def version() -> str:
    """The library's version, "major.minor.patch"."""
    return lib.quavix_version_string().decode("ascii")


def _whole(value: object, what: str, low: int, high: int) -> int:
    """A whole number from low to high, refused in the quavix tool's words otherwise."""
    if isinstance(value, bool) or not hasattr(type(value), "__index__"):
        raise QuavixError("%s: %s is not a whole number" % (what, _shown(value)))
    number = operator.index(value)  # type: ignore[arg-type]
    if not low <= number <= high:
        raise QuavixError("%s: %s is out of range (%d to %d)" % (what, _shown(number), low, high))
    return number


def _buffer_length(value: object) -> int:
    return _whole(value, "buffer_length", 0, MAX_BUFFER_LENGTH)


class Random:
    """The one random source of a sequence of presets, randomizations, mutations
    and renders: a 32-bit state that each of them advances. A seed is a whole
    number from -2147483648 to 4294967295 (a negative one names the same 32
    bits as seed + 2**32), as the quavix tool's --seed; without one the state
    comes from os.urandom."""

    def __init__(self, seed: Optional[int] = None) -> None:
        if seed is None:
            state = int.from_bytes(os.urandom(4), "little")
        else:
            state = _whole(seed, "seed", _SEED_MIN, _SEED_MAX) % 2**32
        self.seed: int = state
        self._c = CRandom(state)

    @property
    def state(self) -> int:
        """The state now, 0 to 4294967295."""
        return self._c.state

    def copy(self) -> "Random":
        """An independent copy that continues the same sequence."""
        other = Random(self.seed)
        other._c.state = self._c.state
        return other

    def __repr__(self) -> str:
        return "quavix.Random(state=%d)" % self._c.state


def random(seed: Optional[int] = None) -> Random:
    """A random source seeded with seed, or from os.urandom without one."""
    return Random(seed)


def _random(random: Optional[Random], seed: Optional[int]) -> Random:
    if random is not None and seed is not None:
        raise QuavixError("give a random source or a seed, not both")
    if random is None:
        return Random(seed)
    if not isinstance(random, Random):
        raise QuavixError("random must be a quavix.Random, not %s" % _shown(random))
    return random


def _family(family: Family) -> int:
    if isinstance(family, int) and not isinstance(family, bool) and 0 <= family < len(PRESETS):
        return family
    if isinstance(family, str):
        data = family.encode("utf-8", "surrogatepass")
        number = lib.quavix_preset_family_of_n(data, len(data))
        if number >= 0:
            return number
    raise QuavixError("unknown preset %s: one of %s or 0 to %d"
                      % (_shown(family), ", ".join(PRESETS), len(PRESETS) - 1))


def _index(name: ParamKey) -> int:
    if isinstance(name, int) and not isinstance(name, bool):
        if 0 <= name < len(PARAMETERS):
            return name
        raise QuavixError("parameter index %s outside 0 to %d" % (_shown(name), len(PARAMETERS) - 1))
    if not isinstance(name, str):
        raise QuavixError("a parameter is a name such as 'AttackTime' or an index, not %s"
                          % _shown(name))
    data = name.encode("utf-8", "surrogatepass")
    index = lib.quavix_param_index_n(data, len(data))
    if index < 0:
        raise QuavixError("unknown parameter %s (the names are in quavix.PARAMETERS)"
                          % _shown(name), index)
    return index


def _number(value: object, what: str) -> float:
    if not isinstance(value, (str, bytes, bytearray)):
        try:
            return float(value)  # type: ignore[arg-type]
        except (TypeError, ValueError, OverflowError):
            pass
    raise QuavixError("%s must be a number, not %s" % (what, _shown(value)))


@dataclass(frozen=True)
class ValueRange:
    min: float
    max: float


@dataclass(frozen=True)
class ParamInfo:
    """One parameter as the core's parameter table describes it."""
    index: int
    name: str
    label: str          # the parameter in a person's words, "Attack time"
    group: str          # "wave", "envelope", ..., "volume"
    group_index: int    # the group's place in the order the groups are shown, 0 to 9
    group_title: str
    unit: str           # the users' unit, as Params.unit()
    whole: bool         # only whole numbers are meant (WaveType)
    frequency: bool     # a stored frequency (StartFreq, MinFreq)
    default: float      # in the users' unit
    default_stored: float
    typical: ValueRange          # what presets and randomize produce, users' unit
    typical_stored: ValueRange
    valid: ValueRange            # what set_user accepts (-/+inf when unbounded)
    help: str
    setter_text: str


def _info(index: int) -> ParamInfo:
    d = CParamDescription()
    _check(lib.quavix_param_info(index, ctypes.byref(d)), "param_info")
    text = lambda b: b.decode("utf-8")  # noqa: E731
    return ParamInfo(d.index, text(d.name), text(d.label), text(d.group_id), d.group,
                     text(d.group_title), text(d.unit), bool(d.whole), bool(d.frequency),
                     d.default_user, d.default_stored,
                     ValueRange(d.typical_user_min, d.typical_user_max),
                     ValueRange(d.typical_stored_min, d.typical_stored_max),
                     ValueRange(d.valid_user_min, d.valid_user_max), text(d.help),
                     text(d.setter_text))


_INFOS = tuple(_info(i) for i in range(len(PARAMETERS)))


@overload
def param_info() -> Tuple[ParamInfo, ...]: ...
@overload
def param_info(name: ParamKey) -> ParamInfo: ...
def param_info(name: Optional[ParamKey] = None) -> Union[ParamInfo, Tuple[ParamInfo, ...]]:
    """All 24 descriptions in index order, or the one of a parameter."""
    return _INFOS if name is None else _INFOS[_index(name)]


def _rule(index: int, value: float) -> Optional[str]:
    """The core's rule that a value in the users' unit of index breaks, or None."""
    problem = ctypes.c_char_p()
    if lib.quavix_param_check_user(index, value, ctypes.byref(problem)) == 0:
        return None
    rule = (problem.value or b"").decode("ascii")
    info = _INFOS[index]
    # A finite time that is not negative breaks the rule only by its length.
    stored = ctypes.c_float(value).value
    if info.unit == "seconds" and abs(info.valid.max) != float("inf") and 0 <= stored < float("inf"):
        rule += " (%.2f s)" % info.valid.max
    return rule


def check_user(name: ParamKey, value: float) -> Optional[str]:
    """What is wrong with a value in the users' unit of a parameter, as
    "SustainTime -5: a time cannot be negative", or None when nothing is: the
    core's rule, which set_user and the quavix tool's --set apply. An unknown
    parameter or a value that is no number raises QuavixError."""
    index = _index(name)
    number = _number(value, PARAMETERS[index])
    rule = _rule(index, number)
    return None if rule is None else "%s %s: %s" % (PARAMETERS[index], _shown(value), rule)


def check_mutate(amount: float) -> Optional[str]:
    """What is wrong with a mutation amount, as "mutate: 2 is not an amount
    from 0 to 1", or None: the core's rule, as the quavix tool's --mutate."""
    number = _number(amount, "mutate")
    problem = ctypes.c_char_p()
    if lib.quavix_mutate_check(number, ctypes.byref(problem)) == 0:
        return None
    return "mutate: %s is not %s" % (_shown(amount), (problem.value or b"").decode("ascii"))


# A parameter whose users' unit is the stored one: its rule is the rule of any stored value.
_STORED_RULE = next(i for i, info in enumerate(_INFOS) if info.unit == "")


class Params:
    """The 24 sound parameters. p.user("AttackTime") and p.set_user("AttackTime",
    0.3) use the users' units (seconds, cycles or repeats per second, see
    unit()); p["AttackTime"] reads and writes stored units (as the settings
    string holds them). A preset, randomize or mutate keeps the state of its
    random source after it in .random, which render() and wav() continue."""

    def __init__(self) -> None:
        self._c = CParams()
        lib.quavix_params_default(ctypes.byref(self._c))
        self.random: Optional[Random] = None

    # -- parameters
    def __getitem__(self, name: ParamKey) -> float:
        value = ctypes.c_float()
        _check(lib.quavix_param_get(ctypes.byref(self._c), _index(name), ctypes.byref(value)), "get")
        return value.value

    def __setitem__(self, name: ParamKey, value: float) -> None:
        """Sets a stored value: finite, and for a parameter stored in its users'
        unit (WaveType, Volume, ...) one that set_user accepts."""
        index = _index(name)
        number = _number(value, PARAMETERS[index])
        rule = _rule(index if _INFOS[index].unit == "" else _STORED_RULE, number)
        if rule is not None:
            raise QuavixError("%s %s (stored): %s" % (PARAMETERS[index], _shown(value), rule))
        lib.quavix_param_set(ctypes.byref(self._c), index, number)

    def user(self, name: ParamKey) -> float:
        """The parameter in users' units."""
        value = ctypes.c_float()
        _check(lib.quavix_param_get_user(ctypes.byref(self._c), _index(name), ctypes.byref(value)),
               "get")
        return value.value

    def set_user(self, name: ParamKey, value: float) -> None:
        """Sets the parameter from users' units (a time in seconds, for instance);
        QuavixError with the core's rule when check_user finds a problem."""
        problem = check_user(name, value)
        if problem is not None:
            raise QuavixError(problem)
        lib.quavix_param_set_user(ctypes.byref(self._c), _index(name), _number(value, ""))

    @staticmethod
    def unit(name: ParamKey) -> str:
        """The users' unit of a parameter: "seconds", "cycles per second",
        "repeats per second", or "" where it is the stored value."""
        return _INFOS[_index(name)].unit

    def freq_hz(self, hz: int) -> float:
        """The stored StartFreq or MinFreq value of a frequency in Hertz."""
        return lib.quavix_freq_hz(ctypes.byref(self._c), _whole(hz, "freq_hz", 0, 2**31 - 1))

    def as_dict(self) -> dict:
        return {name: self[name] for name in PARAMETERS}

    def copy(self) -> "Params":
        other = Params()
        ctypes.memmove(ctypes.byref(other._c), ctypes.byref(self._c), ctypes.sizeof(CParams))
        other.random = self.random.copy() if self.random is not None else None
        return other

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Params) and bytes(self._c) == bytes(other._c)

    def __repr__(self) -> str:
        return "quavix.Params(%r)" % self.settings_string()

    # -- design
    def mutate(self, coefficient: float = 0.05, random: Optional[Random] = None,
               seed: Optional[int] = None) -> "Params":
        """A copy nudged by up to +-0.5 * coefficient (0 to 1) per parameter,
        drawing from random, from a source seeded with seed, or else from this
        sound's own source (a fresh one from os.urandom if it has none)."""
        problem = check_mutate(coefficient)
        if problem is not None:
            raise QuavixError(problem)
        other = self.copy()
        if random is None and seed is None and other.random is not None:
            rng = other.random
        else:
            rng = _random(random, seed)
        _check(lib.quavix_mutate(ctypes.byref(other._c), _number(coefficient, "mutate"),
                                 ctypes.byref(rng._c)), "mutate")
        other.random = rng.copy()
        return other

    # -- exchange
    def settings_string(self) -> str:
        """The 24 values as comma-separated "%.4f" text. NaN and infinite values
        have no text: QuavixError."""
        size = lib.quavix_settings_string(ctypes.byref(self._c), None, 0)
        if size == 0:
            raise QuavixError("a parameter is NaN or infinite, which a settings string cannot hold")
        buffer = ctypes.create_string_buffer(size + 1)
        lib.quavix_settings_string(ctypes.byref(self._c), buffer, size + 1)
        return buffer.value.decode("ascii")

    @classmethod
    def from_settings_string(cls, text: str, strict: bool = True) -> "Params":
        """Parameters from the defaults and a settings string; strict refuses a
        field that is not exactly one number, naming it."""
        if not isinstance(text, str):
            raise QuavixError("a settings string is text, not %s" % _shown(text))
        data = text.encode("utf-8", "surrogatepass")
        if strict:
            bad = ctypes.c_int32(-1)
            status = lib.quavix_settings_string_check_n(data, len(data), ctypes.byref(bad))
            if status < 0:
                field = PARAMETERS[bad.value] if 0 <= bad.value < 24 else "beyond the 24th"
                raise QuavixError("settings string %s, field %d (%s): %s" % (
                    _shown(text), bad.value, field, lib.quavix_strerror(status).decode("ascii")),
                    status)
        params = cls()
        _check(lib.quavix_settings_string_import_n(ctypes.byref(params._c), data, len(data)), "import")
        return params

    def settings_file(self) -> bytes:
        """The 105 bytes of a version-102 settings file (*.sfs)."""
        buffer = ctypes.create_string_buffer(_SETTINGS_FILE_SIZE)
        _check(lib.quavix_settings_file_encode(ctypes.byref(self._c), buffer), "settings file")
        return buffer.raw

    @classmethod
    def from_settings_file(cls, data: bytes) -> "Params":
        """Parameters from the bytes of a settings file of version 100, 101 or 102."""
        data = bytes(data)
        params = cls()
        _check(lib.quavix_settings_file_decode(ctypes.byref(params._c), data, len(data)),
               "settings file")
        return params

    def save(self, path: Union[str, os.PathLike]) -> None:
        with open(path, "wb") as f:
            f.write(self.settings_file())

    @classmethod
    def load(cls, path: Union[str, os.PathLike]) -> "Params":
        with open(path, "rb") as f:
            return cls.from_settings_file(f.read())

    # -- synthesis
    def length_bound(self, buffer_length: int = DEFAULT_BUFFER_LENGTH) -> int:
        """At most how many samples the sound has in a buffer of buffer_length
        whole seconds, 0 to 60: its envelope's length, cut at the buffer."""
        return lib.quavix_sound_length_bound(ctypes.byref(self._c), _buffer_length(buffer_length))

    def _render_random(self, random: Optional[Random], seed: Optional[int]) -> Random:
        if random is None and seed is None and self.random is not None:
            return self.random.copy()
        return _random(random, seed)

    def render(self, random: Optional[Random] = None, seed: Optional[int] = None,
               buffer_length: int = DEFAULT_BUFFER_LENGTH) -> numpy.ndarray:
        """The samples as a numpy int16 array, cut at buffer_length seconds of
        41000 samples (as the quavix tool's --buffer-length). Without random or
        seed the sound continues its preset's, randomize's or mutate's random
        source (a copy: the same sound each time; a fresh source from os.urandom
        when it has none); a Random given advances."""
        size = self.length_bound(buffer_length)
        rng = self._render_random(random, seed)
        out = numpy.empty(size, dtype=numpy.int16)
        count = _check(lib.quavix_render(ctypes.byref(self._c), ctypes.byref(rng._c),
                                         out.ctypes.data, size), "render")
        return out if count == size else out[:count].copy()

    def wav(self, random: Optional[Random] = None, seed: Optional[int] = None,
            buffer_length: int = DEFAULT_BUFFER_LENGTH) -> bytes:
        """The sound as the bytes of a WAV file (16-bit mono, 44100 Hz): the
        samples of render() with the same arguments behind a 44-byte header."""
        size = self.length_bound(buffer_length)
        rng = self._render_random(random, seed)
        capacity = lib.quavix_wav_buffer_size(0) + 2 * size
        buffer = ctypes.create_string_buffer(capacity)
        length = _check(lib.quavix_wav_image(ctypes.byref(self._c), ctypes.byref(rng._c), size,
                                             buffer, capacity), "wav")
        return ctypes.string_at(buffer, length)


def preset(family: Family, seed: Optional[int] = None, random: Optional[Random] = None) -> Params:
    """A fresh sound of a preset family ("coin", "laser", "explosion",
    "powerup", "hurt", "jump", "blip", or 0 to 6), drawn from random or from a
    source seeded with seed (from os.urandom without either)."""
    number = _family(family)
    rng = _random(random, seed)
    params = Params()
    _check(lib.quavix_preset(ctypes.byref(params._c), number, ctypes.byref(rng._c)), "preset")
    params.random = rng.copy()
    return params


def randomize(seed: Optional[int] = None, random: Optional[Random] = None,
              audible: bool = False) -> Params:
    """Random parameters; audible=True never picks the silent wave type 4."""
    rng = _random(random, seed)
    params = Params()
    _check(lib.quavix_randomize_ex(ctypes.byref(params._c), ctypes.byref(rng._c), 1 if audible else 0),
           "randomize")
    params.random = rng.copy()
    return params


def render_preset(family: Family, seed: int, buffer_length: int = DEFAULT_BUFFER_LENGTH) -> numpy.ndarray:
    """The samples of preset family made with seed, as one call."""
    return preset(family, seed=seed).render(buffer_length=buffer_length)


# The C record's integer fields: a value that does not fit one is handed to the
# check as the field's extreme, and the check's message given back with the value.
_INT32 = (-2**31, 2**31 - 1)
_UINT32 = (0, 2**32 - 1)


def _fitted(value: int, limits: Tuple[int, int]) -> int:
    """value, or the field's extreme beyond it (the largest for a negative unsigned value)."""
    if value < limits[0]:
        return limits[0] if limits[0] < 0 else limits[1]
    return min(value, limits[1])


class Layer:
    """One layer of a layered sound: a recipe rendered alone, exactly as
    params.render(random, seed, buffer_length) renders it, that starts offset
    samples into the mix and is scaled by gain_db decibels (in steps of 0.1);
    a muted layer adds nothing. The random state is the one that render would
    start from, taken when the layer is made (a Random given is not advanced).
    The ranges (offset 0 to 2646000, gain -60.0 to +12.0 dB, buffer_length 0
    to 60) are checked when the layers are mixed, naming the layer."""

    def __init__(self, params: Params, random: Optional[Random] = None, seed: Optional[int] = None,
                 buffer_length: int = DEFAULT_BUFFER_LENGTH, offset: int = 0,
                 gain_db: float = 0.0, muted: bool = False) -> None:
        if not isinstance(params, Params):
            raise QuavixError("a layer is made of a quavix.Params, not %s" % _shown(params))
        if not isinstance(muted, (bool, numpy.bool_)):
            raise QuavixError("muted: %s is not True or False" % _shown(muted))
        self.params: Params = params.copy()
        self.random_state: int = params._render_random(random, seed).state
        self.buffer_length: int = _whole(buffer_length, "buffer_length", -float("inf"), float("inf"))
        self.offset: int = _whole(offset, "offset", -float("inf"), float("inf"))
        number = _number(gain_db, "gain_db")
        tenths = ctypes.c_int32()
        if lib.quavix_layer_gain_tenths(number, ctypes.byref(tenths)) != 0:
            raise QuavixError("gain_db %s is not a number of decibels in steps of 0.1"
                              % _shown(gain_db))
        self.gain_db: float = number
        self._gain_tenths = tenths.value
        self.muted: bool = bool(muted)

    @property
    def gain(self) -> float:
        """The factor the layer's samples are scaled by: the float nearest to
        10 ** (gain_db / 20), 0 outside -60.0 to +12.0 dB."""
        return lib.quavix_layer_gain(_fitted(self._gain_tenths, _INT32))

    def __repr__(self) -> str:
        return ("quavix.Layer(%r, random_state=%d, buffer_length=%d, offset=%d, gain_db=%.1f%s)"
                % (self.params, self.random_state, self.buffer_length, self.offset, self.gain_db,
                   ", muted=True" if self.muted else ""))


class LayerMix(NamedTuple):
    """A layered sound: its samples, and how many of them the clamp to 16 bits changed."""
    samples: numpy.ndarray
    clipped: int


def _c_layers(layers: Iterable[Layer]) -> Tuple[ctypes.Array, list]:
    """The layers as C records, checked by the core's rule."""
    if isinstance(layers, Layer) or not hasattr(layers, "__iter__"):
        raise QuavixError("layers are a list of quavix.Layer, not %s" % _shown(layers))
    items = list(layers)
    records = (CLayer * max(len(items), 1))()
    unfit = []  # per layer: {(the record's value, in dB), the value given}
    for i, layer in enumerate(items):
        if not isinstance(layer, Layer):
            raise QuavixError("layer %d is a quavix.Layer, not %s" % (i + 1, _shown(layer)))
        record = records[i]
        record.params = layer.params._c
        record.random_state = layer.random_state
        record.muted = 1 if layer.muted else 0
        given = {}
        for field, value, limits, in_db, text in (
                ("buffer_seconds", layer.buffer_length, _UINT32, False, str(layer.buffer_length)),
                ("offset", layer.offset, _INT32, False, str(layer.offset)),
                ("gain_tenths", layer._gain_tenths, _INT32, True, "%+.1f" % layer.gain_db)):
            setattr(record, field, _fitted(value, limits))
            if value != getattr(record, field):
                given[(str(getattr(record, field)), in_db)] = text
        unfit.append(given)
    bad = ctypes.c_int32(-1)
    if lib.quavix_layers_check(records, len(items), ctypes.byref(bad), None, 0) != 0:
        problem = ctypes.create_string_buffer(512)
        lib.quavix_layers_check(records, len(items), ctypes.byref(bad), problem, len(problem))
        message = problem.value.decode("utf-8")
        written = re.search(r"not (\S+)( dB)?$", message)
        if written and bad.value >= 0:  # "+214748364.7 dB" is the record's 2147483647 tenths
            key = (re.sub(r"[+.]", "", written.group(1)), written.group(2) is not None)
            if key in unfit[bad.value]:
                message = message[:written.start(1)] + unfit[bad.value][key] + message[written.end(1):]
        raise QuavixError(message)
    return records, items


def render_layers(layers: Iterable[Layer]) -> LayerMix:
    """Mixes a layered sound of 1 to 8 layers: sample n is the sum, in layer
    order, of each sounding layer's gain x its sample n - offset, rounded half
    away from zero and clamped to 16 bits; the mix lasts until the latest end
    of a layer that sounds. Returns (samples, clipped): a numpy int16 array,
    and how many samples the clamp changed. The bytes of quavix render --layers."""
    records, items = _c_layers(layers)
    # Room for the longest mix the layers can make; the call says how long it is.
    capacity = max([layer.offset + layer.params.length_bound(layer.buffer_length)
                    for layer in items if not layer.muted] or [0])
    clipped = ctypes.c_int64()
    while True:
        out = numpy.empty(capacity, dtype=numpy.int16)
        size = _check(lib.quavix_render_layers(records, len(items), out.ctypes.data, capacity,
                                               ctypes.byref(clipped)), "render_layers")
        if size <= capacity:
            return LayerMix(out if size == capacity else out[:size].copy(), clipped.value)
        capacity = size


def layers_wav(layers: Iterable[Layer]) -> bytes:
    """A layered sound as the bytes of a WAV file (16-bit mono, 44100 Hz): the
    samples of render_layers(layers) behind a 44-byte header."""
    samples = render_layers(layers).samples
    header = ctypes.create_string_buffer(lib.quavix_wav_buffer_size(0))
    _check(lib.quavix_wav_header(ctypes.byref(Params()._c), 2 * len(samples), header), "layers_wav")
    return header.raw + samples.astype("<i2").tobytes()
