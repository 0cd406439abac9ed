-- quavix.lua: Quavix sound effects for LÖVE 11, through LuaJIT's FFI.
--
--   local quavix = require("quavix")
--   local coin = quavix.presetSource("coin", 1)   -- a static Source
--   coin:play()
--
-- Needs libquavix.so.1: next to the game's .love file or folder, at the path
-- in QUAVIX_LIBRARY, or where the system's loader finds it. Samples are the
-- C library's, bit for bit: 16-bit mono SoundData at 44100 samples per second.
local ffi = require("ffi")

ffi.cdef[=[
/* The declarations of quavix.h for foreign-function interfaces, made from
 * it by scripts/ffi_declarations.py: no preprocessor lines, the constants
 * as enums. Do not edit; see quavix.h for what each call does. */

enum { QUAVIX_VERSION_MAJOR = 1 };
enum { QUAVIX_VERSION_MINOR = 2 };
enum { QUAVIX_VERSION_PATCH = 0 };
enum { QUAVIX_ABI_VERSION = 1 };
enum { QUAVIX_PARAMS_SIZE = 116 };
enum { QUAVIX_PARAM_COUNT = 24 };
enum { QUAVIX_SAMPLE_RATE = 44100 };
enum { QUAVIX_SETTINGS_FILE_SIZE = 105 };
enum { QUAVIX_MAX_BUFFER_SECONDS = 60 };
enum { QUAVIX_SAMPLES_PER_BUFFER_SECOND = 41000 };
enum { QUAVIX_MAX_SOUND_SAMPLES = 675003 };
enum { QUAVIX_STREAM_SIZE = 5120 };
enum { QUAVIX_WAV_HEADER_SIZE = 44 };

uint32_t quavix_version(void);

uint32_t quavix_abi_version(void);

const char* quavix_version_string(void);

size_t quavix_params_size(void);

typedef enum quavix_status {
  QUAVIX_OK = 0,
  QUAVIX_ERROR_ARGUMENT = -1,
  QUAVIX_ERROR_INDEX = -2,
  QUAVIX_ERROR_NAME = -3,
  QUAVIX_ERROR_FAMILY = -4,
  QUAVIX_ERROR_NOT_A_NUMBER = -5,
  QUAVIX_ERROR_TOO_MANY_FIELDS = -6,
  QUAVIX_ERROR_VERSION = -7,
  QUAVIX_ERROR_SHORT_DATA = -8,
  QUAVIX_ERROR_BUFFER_TOO_SMALL = -9,
  QUAVIX_ERROR_VALUE = -10,
  QUAVIX_ERROR_RANGE = -11,
  QUAVIX_ERROR_FIXED_FIELD = -12,
  QUAVIX_ERROR_STREAM = -13,
  QUAVIX_ERROR_MEMORY = -14
} quavix_status;

const char* quavix_strerror(int status);

typedef enum quavix_wave_type {
  QUAVIX_WAVE_SQUARE = 0,
  QUAVIX_WAVE_SAWTOOTH = 1,
  QUAVIX_WAVE_SINE = 2,
  QUAVIX_WAVE_NOISE = 3
} quavix_wave_type;

typedef struct quavix_params {
  int32_t BitsPerSample;
  int32_t SampleRate;

  float Volume;
  int32_t WaveType;
  float AttackTime;
  float SustainTime;
  float SustainPunch;
  float DecayTime;
  float StartFreq;
  float MinFreq;
  float Slide;
  float DeltaSlide;
  float VibDepth;
  float VibSpeed;
  float ChangeAmount;
  float ChangeSpeed;
  float SquareDuty;
  float DutySweep;
  float RepeatSpeed;
  float PhaserOffset;
  float PhaserSweep;
  float LPCutoff;
  float LPCutoffSweep;
  float LPResonance;
  float HPCutoff;
  float HPCutoffSweep;
  float MasterVolume;
  uint8_t FlagReserved;
  float VibReserved;
} quavix_params;

void quavix_params_default(quavix_params* params);

int quavix_param_index(const char* name);

const char* quavix_param_name(int32_t index);

const char* quavix_param_unit(int32_t index);

int quavix_param_get(const quavix_params* params, int32_t index, float* value);
int quavix_param_set(quavix_params* params, int32_t index, float value);

int quavix_param_get_user(const quavix_params* params, int32_t index, float* value);
int quavix_param_set_user(quavix_params* params, int32_t index, float value);

int quavix_param_get_by_name(const quavix_params* params, const char* name, float* value);
int quavix_param_set_by_name(quavix_params* params, const char* name, float value);
int quavix_param_get_user_by_name(const quavix_params* params, const char* name,
                                             float* value);
int quavix_param_set_user_by_name(quavix_params* params, const char* name, float value);

int quavix_param_index_n(const char* name, size_t length);

typedef enum quavix_param_group {
  QUAVIX_GROUP_WAVE = 0,
  QUAVIX_GROUP_ENVELOPE = 1,
  QUAVIX_GROUP_PITCH = 2,
  QUAVIX_GROUP_VIBRATO = 3,
  QUAVIX_GROUP_CHANGE = 4,
  QUAVIX_GROUP_DUTY = 5,
  QUAVIX_GROUP_REPEAT = 6,
  QUAVIX_GROUP_PHASER = 7,
  QUAVIX_GROUP_FILTERS = 8,
  QUAVIX_GROUP_VOLUME = 9
} quavix_param_group;

typedef struct quavix_param_description {
  int32_t index;
  const char* name;
  const char* label;
  int32_t group;
  const char* group_id;
  const char* group_title;
  const char* unit;
  int32_t whole;
  int32_t frequency;
  float default_stored;
  float default_user;
  float typical_stored_min;
  float typical_stored_max;
  float typical_user_min;
  float typical_user_max;
  float valid_user_min;
  float valid_user_max;
  const char* help;
  const char* setter_text;
  const char* setter_title;
} quavix_param_description;

int32_t quavix_param_count(void);

int quavix_param_info(int32_t index, quavix_param_description* info);

int quavix_param_check_user(int32_t index, float value, const char** problem);

int32_t quavix_start_period(float stored_freq);

double quavix_pitch_of_period(const quavix_params* params, int32_t period);

double quavix_pitch_of_freq(const quavix_params* params, float stored_freq);

float quavix_freq_for_pitch(const quavix_params* params, double hz);

float quavix_freq_hz(const quavix_params* params, int32_t hz);

typedef struct quavix_random {
  uint32_t state;
} quavix_random;

void quavix_random_seed(quavix_random* random, uint32_t seed);

int32_t quavix_random_draw(quavix_random* random);

float quavix_random_fraction(quavix_random* random, float range);

typedef enum quavix_preset_family {
  QUAVIX_PRESET_COIN = 0,
  QUAVIX_PRESET_LASER = 1,
  QUAVIX_PRESET_EXPLOSION = 2,
  QUAVIX_PRESET_POWERUP = 3,
  QUAVIX_PRESET_HURT = 4,
  QUAVIX_PRESET_JUMP = 5,
  QUAVIX_PRESET_BLIP = 6
} quavix_preset_family;

int quavix_preset_family_of(const char* name);

int quavix_preset(quavix_params* params, int32_t family, quavix_random* random);

int quavix_randomize(quavix_params* params, quavix_random* random);

int quavix_mutate(quavix_params* params, float coefficient, quavix_random* random);

int quavix_mutate_check(float coefficient, const char** problem);

int quavix_preset_family_of_n(const char* name, size_t length);

typedef enum quavix_randomize_flags {
  QUAVIX_RANDOMIZE_AUDIBLE = 1
} quavix_randomize_flags;

int quavix_randomize_ex(quavix_params* params, quavix_random* random, uint32_t flags);

size_t quavix_settings_string(const quavix_params* params, char* out, size_t capacity);

int quavix_settings_string_import(quavix_params* params, const char* text);

int quavix_settings_string_check(const char* text, int32_t* bad_field);

typedef enum quavix_settings_string_flags {
  QUAVIX_SETTINGS_MODULE_TEXT = 1
} quavix_settings_string_flags;

size_t quavix_settings_string_ex(const quavix_params* params, char* out, size_t capacity,
                                            uint32_t flags);

int quavix_settings_string_import_n(quavix_params* params, const char* text,
                                               size_t length);
int quavix_settings_string_check_n(const char* text, size_t length,
                                              int32_t* bad_field);

int quavix_settings_file_encode(const quavix_params* params,
                                           uint8_t out[105]);

int quavix_settings_file_decode(quavix_params* params, const uint8_t* data, size_t size);

int quavix_envelope_lengths(const quavix_params* params, int32_t lengths[3]);

size_t quavix_sound_length_bound(const quavix_params* params, uint32_t buffer_seconds);

int32_t quavix_render(const quavix_params* params, quavix_random* random, int16_t* out,
                                 int32_t max_samples);

int32_t quavix_render_count(const quavix_params* params, const quavix_random* random,
                                       int32_t max_samples);

int32_t quavix_render_preset(int32_t family, uint32_t seed, int16_t* out,
                                        int32_t max_samples);

typedef struct quavix_render_job {
  const quavix_params* params;
  quavix_random* random;
  int16_t* out;
  int32_t max_samples;
  int32_t count;
} quavix_render_job;

int quavix_render_many(quavix_render_job* jobs, size_t job_count);

typedef struct quavix_stream {
  uint64_t opaque[640];
} quavix_stream;

size_t quavix_stream_size(void);

int quavix_stream_start(quavix_stream* stream, const quavix_params* params,
                                   const quavix_random* random);

int32_t quavix_stream_render(quavix_stream* stream, int16_t* out, int32_t count);

int quavix_stream_random(const quavix_stream* stream, quavix_random* random);

int quavix_wav_header(const quavix_params* params, uint32_t data_bytes,
                                 uint8_t header[44]);

size_t quavix_wav_buffer_size(uint32_t buffer_seconds);

int32_t quavix_render_wav(const quavix_params* params, quavix_random* random,
                                     uint32_t buffer_seconds, uint8_t* out, size_t out_size);

int64_t quavix_wav_image(const quavix_params* params, quavix_random* random,
                                    int32_t max_samples, uint8_t* out, size_t capacity);
]=]

local function loadLibrary()
  local candidates = {}
  if os.getenv("QUAVIX_LIBRARY") then candidates[#candidates + 1] = os.getenv("QUAVIX_LIBRARY") end
  if love and love.filesystem and love.filesystem.getSourceBaseDirectory then
    candidates[#candidates + 1] = love.filesystem.getSourceBaseDirectory() .. "/libquavix.so.1"
  end
  candidates[#candidates + 1] = "libquavix.so.1"
  candidates[#candidates + 1] = "quavix"
  local problems = {}
  for _, path in ipairs(candidates) do
    local ok, lib = pcall(ffi.load, path)
    if ok then return lib end
    problems[#problems + 1] = tostring(lib)
  end
  error("quavix: libquavix.so.1 not found (" .. table.concat(problems, "; ") .. ")", 3)
end

local C = loadLibrary()
if C.quavix_abi_version() ~= C.QUAVIX_ABI_VERSION or C.quavix_params_size() ~= ffi.sizeof("quavix_params")
    or C.quavix_stream_size() ~= ffi.sizeof("quavix_stream") then
  error("quavix: the loaded libquavix does not fit these declarations (ABI " ..
        tonumber(C.quavix_abi_version()) .. ")", 2)
end

local M = {
  lib = C,
  SAMPLE_RATE = C.QUAVIX_SAMPLE_RATE,
  MAX_SOUND_SAMPLES = C.QUAVIX_MAX_SOUND_SAMPLES,
  presets = { "coin", "laser", "explosion", "powerup", "hurt", "jump", "blip" },
}

local function check(status, what)
  status = tonumber(status)
  if status < 0 then error("quavix: " .. what .. ": " .. ffi.string(C.quavix_strerror(status)), 3) end
  return status
end

local function family(name)
  if type(name) == "number" and name >= 0 and name <= 6 and name % 1 == 0 then return name end
  if type(name) == "string" then
    local number = C.quavix_preset_family_of_n(name, #name)
    if number >= 0 then return number end
  end
  error("quavix: unknown preset " .. tostring(name) .. " (one of " .. table.concat(M.presets, ", ") .. ")", 3)
end

local function index(name)
  if type(name) == "number" and name >= 0 and name <= 23 and name % 1 == 0 then return name end
  if type(name) == "string" then
    local number = C.quavix_param_index_n(name, #name)
    if number >= 0 then return number end
  end
  error("quavix: unknown parameter " .. tostring(name), 3)
end

-- A random source: a seed (a whole number 0 to 4294967295) or one to continue.
function M.random(seed)
  if ffi.istype("quavix_random", seed) then return seed end
  if type(seed) ~= "number" or seed < 0 or seed > 4294967295 or seed % 1 ~= 0 then
    error("quavix: a seed is a whole number from 0 to 4294967295, not " .. tostring(seed), 2)
  end
  local random = ffi.new("quavix_random")
  C.quavix_random_seed(random, seed)
  return random
end

-- Default parameters.
function M.params()
  local params = ffi.new("quavix_params")
  C.quavix_params_default(params)
  return params
end

-- A preset ("coin" ... "blip" or 0 to 6) drawn from a seed or random source;
-- returns the parameters and the random source, which the render continues.
function M.preset(name, seed)
  local params, random = M.params(), M.random(seed or 0)
  check(C.quavix_preset(params, family(name), random), "preset")
  return params, random
end

-- Random parameters; audible never picks the silent wave type.
function M.randomize(seed, audible)
  local params, random = M.params(), M.random(seed or 0)
  check(C.quavix_randomize_ex(params, random, audible and C.QUAVIX_RANDOMIZE_AUDIBLE or 0), "randomize")
  return params, random
end

-- Nudges params (in place) by up to +-0.5 * coefficient (0 to 1) per parameter.
function M.mutate(params, coefficient, random)
  coefficient = coefficient or 0.05
  -- The core's rule, as the quavix tool's --mutate applies it.
  local problem = ffi.new("const char*[1]")
  if C.quavix_mutate_check(coefficient, problem) < 0 then
    error("quavix: mutate: " .. tostring(coefficient) .. " is not " .. ffi.string(problem[0]), 2)
  end
  check(C.quavix_mutate(params, coefficient, M.random(random or 0)), "mutate")
  return params
end

-- A parameter in stored units, or in users' units when user is true.
function M.get(params, name, user)
  local value = ffi.new("float[1]")
  local get = user and C.quavix_param_get_user or C.quavix_param_get
  check(get(params, index(name), value), "get")
  return value[0]
end

function M.set(params, name, value, user)
  if type(value) ~= "number" then error("quavix: " .. tostring(name) .. " takes a number", 2) end
  local set = user and C.quavix_param_set_user or C.quavix_param_set
  check(set(params, index(name), value), "set")
  return params
end

function M.settingsString(params)
  local size = tonumber(C.quavix_settings_string(params, nil, 0))
  if size == 0 then error("quavix: a parameter is NaN or infinite, which a settings string cannot hold", 2) end
  local text = ffi.new("char[?]", size + 1)
  C.quavix_settings_string(params, text, size + 1)
  return ffi.string(text, size)
end

function M.fromSettingsString(text)
  local bad = ffi.new("int32_t[1]")
  local status = C.quavix_settings_string_check_n(text, #text, bad)
  if status < 0 then
    error("quavix: settings string field " .. bad[0] .. ": " .. ffi.string(C.quavix_strerror(status)), 2)
  end
  local params = M.params()
  check(C.quavix_settings_string_import_n(params, text, #text), "settings string")
  return params
end

local scratch  -- one sound's worth of samples, reused by soundData

-- Renders into scratch (or, for a sound longer than it, into an array of its own).
local function renderInto(params, random)
  random = M.random(random or 0)
  scratch = scratch or ffi.new("int16_t[?]", C.QUAVIX_MAX_SOUND_SAMPLES)
  local start = random.state
  local count = check(C.quavix_render(params, random, scratch, C.QUAVIX_MAX_SOUND_SAMPLES), "render")
  if count < C.QUAVIX_MAX_SOUND_SAMPLES then return scratch, count end
  random.state = start
  count = check(C.quavix_render_count(params, random, 2147483647), "render")
  local samples = ffi.new("int16_t[?]", count)
  check(C.quavix_render(params, random, samples, count), "render")
  return samples, count
end

-- The samples as a new int16_t array, and their count. The random source advances.
function M.render(params, random)
  local from, count = renderInto(params, random)
  local samples = ffi.new("int16_t[?]", math.max(count, 1))
  ffi.copy(samples, from, 2 * count)
  return samples, count
end

-- The sound as 16-bit mono SoundData, sample for sample.
function M.soundData(params, random)
  local samples, count = renderInto(params, random)
  local data = love.sound.newSoundData(math.max(count, 1), C.QUAVIX_SAMPLE_RATE, 16, 1)
  if data.getFFIPointer then
    ffi.copy(data:getFFIPointer(), samples, 2 * count)
  else
    for i = 0, count - 1 do data:setSample(i, samples[i] / 32767) end  -- exact for every int16
  end
  return data
end

-- A Source ("static" unless kind says otherwise) of the sound.
function M.source(params, random, kind)
  return love.audio.newSource(M.soundData(params, random), kind or "static")
end

function M.presetSoundData(name, seed)
  return M.soundData(M.preset(name, seed))
end

function M.presetSource(name, seed, kind)
  return love.audio.newSource(M.presetSoundData(name, seed), kind or "static")
end

return M
