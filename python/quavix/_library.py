"""The C library libquavix through ctypes: its records mirrored, its calls typed,
and the checks that the mirrors fit the library that was loaded."""
import ctypes
import ctypes.util
import os

ABI_VERSION = 1

_PARAM_FIELDS = [
    "Volume", "WaveType", "AttackTime", "SustainTime", "SustainPunch", "DecayTime",
    "StartFreq", "MinFreq", "Slide", "DeltaSlide", "VibDepth", "VibSpeed", "ChangeAmount",
    "ChangeSpeed", "SquareDuty", "DutySweep", "RepeatSpeed", "PhaserOffset", "PhaserSweep",
    "LPCutoff", "LPCutoffSweep", "LPResonance", "HPCutoff", "HPCutoffSweep",
]


class CParams(ctypes.Structure):
    _fields_ = ([("BitsPerSample", ctypes.c_int32), ("SampleRate", ctypes.c_int32)]
                + [(name, ctypes.c_int32 if name == "WaveType" else ctypes.c_float)
                   for name in _PARAM_FIELDS]
                + [("MasterVolume", ctypes.c_float), ("FlagReserved", ctypes.c_uint8),
                   ("VibReserved", ctypes.c_float)])


class CRandom(ctypes.Structure):
    _fields_ = [("state", ctypes.c_uint32)]


class CLayer(ctypes.Structure):
    _fields_ = [("params", CParams), ("random_state", ctypes.c_uint32),
                ("buffer_seconds", ctypes.c_uint32), ("offset", ctypes.c_int32),
                ("gain_tenths", ctypes.c_int32), ("muted", ctypes.c_int32)]


class CParamDescription(ctypes.Structure):
    _fields_ = [("index", ctypes.c_int32), ("name", ctypes.c_char_p), ("label", ctypes.c_char_p),
                ("group", ctypes.c_int32), ("group_id", ctypes.c_char_p),
                ("group_title", ctypes.c_char_p), ("unit", ctypes.c_char_p),
                ("whole", ctypes.c_int32), ("frequency", ctypes.c_int32)]
    _fields_ += [(name, ctypes.c_float) for name in (
        "default_stored", "default_user", "typical_stored_min", "typical_stored_max",
        "typical_user_min", "typical_user_max", "valid_user_min", "valid_user_max")]
    _fields_ += [(name, ctypes.c_char_p) for name in ("help", "setter_text", "setter_title")]


class LibraryError(OSError):
    """libquavix could not be found or does not fit this package."""


def _candidates():
    here = os.path.dirname(os.path.abspath(__file__))
    for name in ("libquavix.so.%d" % ABI_VERSION, "libquavix.so"):
        path = os.path.join(here, name)
        if os.path.exists(path):
            yield path
    yield "libquavix.so.%d" % ABI_VERSION
    found = ctypes.util.find_library("quavix")
    if found:
        yield found


def _load():
    override = os.environ.get("QUAVIX_LIBRARY")
    if override:  # a library being developed, in place of the one installed
        try:
            return ctypes.CDLL(override)
        except OSError as error:
            raise LibraryError("QUAVIX_LIBRARY names %s, which cannot be loaded: %s"
                               % (override, error)) from None
    tried = []
    for path in _candidates():
        try:
            return ctypes.CDLL(path)
        except OSError as error:
            tried.append("%s (%s)" % (path, error))
    raise LibraryError("libquavix.so.%d was not found; reinstall the quavix package or set "
                       "QUAVIX_LIBRARY to the library's path. Tried: %s"
                       % (ABI_VERSION, "; ".join(tried) or "nothing"))


lib = _load()

P = ctypes.POINTER
_c = ctypes
_signatures = {
    "quavix_abi_version": (_c.c_uint32, []),
    "quavix_version_string": (_c.c_char_p, []),
    "quavix_params_size": (_c.c_size_t, []),
    "quavix_strerror": (_c.c_char_p, [_c.c_int]),
    "quavix_params_default": (None, [P(CParams)]),
    "quavix_param_index_n": (_c.c_int, [_c.c_char_p, _c.c_size_t]),
    "quavix_param_name": (_c.c_char_p, [_c.c_int32]),
    "quavix_param_unit": (_c.c_char_p, [_c.c_int32]),
    "quavix_param_info": (_c.c_int, [_c.c_int32, P(CParamDescription)]),
    "quavix_param_check_user": (_c.c_int, [_c.c_int32, _c.c_float, P(_c.c_char_p)]),
    "quavix_param_get": (_c.c_int, [P(CParams), _c.c_int32, P(_c.c_float)]),
    "quavix_param_set": (_c.c_int, [P(CParams), _c.c_int32, _c.c_float]),
    "quavix_param_get_user": (_c.c_int, [P(CParams), _c.c_int32, P(_c.c_float)]),
    "quavix_param_set_user": (_c.c_int, [P(CParams), _c.c_int32, _c.c_float]),
    "quavix_freq_hz": (_c.c_float, [P(CParams), _c.c_int32]),
    "quavix_preset_family_of_n": (_c.c_int, [_c.c_char_p, _c.c_size_t]),
    "quavix_preset": (_c.c_int, [P(CParams), _c.c_int32, P(CRandom)]),
    "quavix_randomize_ex": (_c.c_int, [P(CParams), P(CRandom), _c.c_uint32]),
    "quavix_mutate": (_c.c_int, [P(CParams), _c.c_float, P(CRandom)]),
    "quavix_mutate_check": (_c.c_int, [_c.c_float, P(_c.c_char_p)]),
    "quavix_settings_string": (_c.c_size_t, [P(CParams), _c.c_char_p, _c.c_size_t]),
    "quavix_settings_string_import_n": (_c.c_int, [P(CParams), _c.c_char_p, _c.c_size_t]),
    "quavix_settings_string_check_n": (_c.c_int, [_c.c_char_p, _c.c_size_t, P(_c.c_int32)]),
    "quavix_settings_file_encode": (_c.c_int, [P(CParams), _c.c_char_p]),
    "quavix_settings_file_decode": (_c.c_int, [P(CParams), _c.c_char_p, _c.c_size_t]),
    "quavix_sound_length_bound": (_c.c_size_t, [P(CParams), _c.c_uint32]),
    "quavix_wav_buffer_size": (_c.c_size_t, [_c.c_uint32]),
    "quavix_render": (_c.c_int32, [P(CParams), P(CRandom), _c.c_void_p, _c.c_int32]),
    "quavix_render_count": (_c.c_int32, [P(CParams), P(CRandom), _c.c_int32]),
    "quavix_wav_image": (_c.c_int64, [P(CParams), P(CRandom), _c.c_int32, _c.c_void_p,
                                      _c.c_size_t]),
    "quavix_wav_header": (_c.c_int, [P(CParams), _c.c_uint32, _c.c_char_p]),
    "quavix_layer_gain": (_c.c_float, [_c.c_int32]),
    "quavix_layer_gain_tenths": (_c.c_int, [_c.c_double, _c.POINTER(_c.c_int32)]),
    "quavix_layers_check": (_c.c_int, [P(CLayer), _c.c_size_t, P(_c.c_int32), _c.c_char_p,
                                       _c.c_size_t]),
    "quavix_render_layers": (_c.c_int64, [P(CLayer), _c.c_size_t, _c.c_void_p, _c.c_size_t,
                                          P(_c.c_int64)]),
}
for _name, (_result, _arguments) in _signatures.items():
    _function = getattr(lib, _name)
    _function.restype = _result
    _function.argtypes = _arguments

if lib.quavix_abi_version() != ABI_VERSION:
    raise LibraryError("libquavix has ABI version %d; this package needs %d"
                       % (lib.quavix_abi_version(), ABI_VERSION))
if lib.quavix_params_size() != ctypes.sizeof(CParams):
    raise LibraryError("libquavix's parameter record has %d bytes; this package's mirror %d"
                       % (lib.quavix_params_size(), ctypes.sizeof(CParams)))
