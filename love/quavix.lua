-- quavix.lua: Quavix sound effects for LÖVE 11, through LuaJIT's FFI.
--
--   local quavix = require("quavix")
--   local coin = quavix.preset("coin", 1)      -- parameters, and the random source they continue
--   coin:source():play()                        -- a static Source of its sound
--
-- Needs libquavix.so.1, looked for in this order: the path in QUAVIX_LIBRARY;
-- beside the game (in the game's folder for `love .` and `love FOLDER`, beside
-- the .love file, beside the executable of a fused game); where the system's
-- loader finds it. Samples are the C library's, bit for bit: 16-bit mono
-- SoundData at 44100 samples per second, cut at a buffer of 5 seconds unless
-- bufferLength says otherwise, as the quavix tool cuts them.
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
enum { QUAVIX_MAX_LAYERS = 8 };
enum { QUAVIX_MAX_LAYER_OFFSET = 2646000 };
enum { QUAVIX_MIN_LAYER_GAIN_TENTHS = -600 };
enum { QUAVIX_MAX_LAYER_GAIN_TENTHS = 120 };

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

typedef struct quavix_layer {
  quavix_params params;
  uint32_t random_state;
  uint32_t buffer_seconds;
  int32_t offset;
  int32_t gain_tenths;
  int32_t muted;
} quavix_layer;

float quavix_layer_gain(int32_t gain_tenths);

int quavix_layer_gain_tenths(double db, int32_t* tenths);

int quavix_layers_check(const quavix_layer* layers, size_t count, int32_t* bad_layer,
                                   char* problem, size_t capacity);

int64_t quavix_render_layers(const quavix_layer* layers, size_t count, int16_t* out,
                                        size_t capacity, int64_t* clipped);

int64_t quavix_render_layers_floats(const quavix_layer* layers, size_t count, int16_t* samples,
                                               float* floats, size_t capacity, int64_t* clipped);

int64_t quavix_layers_text(const quavix_layer* layers, size_t count, char* out, size_t capacity,
                                      int32_t* bad_layer, char* problem, size_t problem_capacity);

int64_t quavix_layers_from_text(const char* text, size_t length, quavix_layer* layers,
                                           size_t capacity, int32_t* bad_layer, char* problem,
                                           size_t problem_capacity);
]=]

-- Where libquavix.so.1 is beside the game: the game's folder, or the folder
-- holding the .love file or the fused executable.
local function besideTheGame()
  local filesystem = love and love.filesystem
  if not (filesystem and filesystem.getSource and filesystem.getSourceBaseDirectory) then return nil end
  local source = filesystem.getSource()
  if not filesystem.isFused() and source and source ~= "" then
    local file = io.open(source, "rb")
    local isFile = file and file:read(1) ~= nil  -- a folder opens but reads nothing
    if file then file:close() end
    if not isFile then return source end
  end
  return filesystem.getSourceBaseDirectory()
end

local function loadLibrary()
  local candidates = {}
  if os.getenv("QUAVIX_LIBRARY") and os.getenv("QUAVIX_LIBRARY") ~= "" then
    candidates[#candidates + 1] = os.getenv("QUAVIX_LIBRARY")
  end
  local folder = besideTheGame()
  if folder then candidates[#candidates + 1] = folder .. "/libquavix.so.1" end
  candidates[#candidates + 1] = "libquavix.so.1"
  local problems = {}
  for _, path in ipairs(candidates) do
    local ok, lib = pcall(ffi.load, path)
    if ok then return lib, path end
    problems[#problems + 1] = tostring(lib)
  end
  error("quavix: libquavix.so.1 not found (" .. table.concat(problems, "; ") .. ")", 3)
end

local C, libraryPath = loadLibrary()
if C.quavix_abi_version() ~= C.QUAVIX_ABI_VERSION or C.quavix_params_size() ~= ffi.sizeof("quavix_params")
    or C.quavix_stream_size() ~= ffi.sizeof("quavix_stream") then
  error("quavix: the libquavix at " .. libraryPath .. " does not fit these declarations (ABI " ..
        tonumber(C.quavix_abi_version()) .. ")", 2)
end

local M = {
  lib = C,
  libraryPath = libraryPath,  -- where the library was loaded from
  SAMPLE_RATE = C.QUAVIX_SAMPLE_RATE,
  MAX_SOUND_SAMPLES = C.QUAVIX_MAX_SOUND_SAMPLES,
  MAX_BUFFER_SECONDS = C.QUAVIX_MAX_BUFFER_SECONDS,
  BUFFER_LENGTH = 5,  -- seconds: the quavix tool's default --buffer-length
  presets = { "coin", "laser", "explosion", "powerup", "hurt", "jump", "blip" },
  parameters = {},
}
for i = 0, C.quavix_param_count() - 1 do M.parameters[i + 1] = ffi.string(C.quavix_param_name(i)) end

-- Seeds as the quavix tool's --seed takes them: whole numbers from SEED_MIN to
-- SEED_MAX, a negative one standing for its 32 bits (-1 is 4294967295).
local SEED_MIN, SEED_MAX = -2147483648, 4294967295

-- A text as messages show it: at most 40 characters, then "...".
local function shown(text)
  text = tostring(text)
  local cut = #text > 40 and "..." or ""
  return "'" .. text:sub(1, 40):gsub("[^\32-\126]", function(c) return ("\\x%02x"):format(c:byte()) end) .. "'" .. cut
end

-- Raises the error at the caller's line, the first outside this file.
local here = debug.getinfo(1, "S").source
local function fail(call, message)
  local level = 2
  while debug.getinfo(level, "S") and debug.getinfo(level, "S").source == here do level = level + 1 end
  error("quavix." .. call .. ": " .. message, level)
end

local function whole(call, what, value, min, max)
  if type(value) ~= "number" then fail(call, what .. " must be a number, not " .. type(value)) end
  if value ~= value or value % 1 ~= 0 then fail(call, what .. " " .. tostring(value) .. " is not a whole number") end
  if value < min or value > max then
    fail(call, ("%s %s is out of range (%d to %d)"):format(what, tostring(value), min, max))
  end
  return value
end

local Random, Params = {}, {}
Random.__index, Params.__index = Random, Params

local function isRandom(value) return getmetatable(value) == Random end
local function isParams(value) return getmetatable(value) == Params end

local function newRandom(state)
  local random = setmetatable({ c = ffi.new("quavix_random") }, Random)
  random.c.state = state
  return random
end

-- A seed for quavix.random() without one: the time, the timer's fraction of
-- a second, a count of calls and an address, so that no two calls share one.
local calls = 0
local function freshSeed()
  calls = calls + 1
  local now = love and love.timer and love.timer.getTime() or os.clock()
  local fraction = math.floor((now % 1) * 4294967296)
  local address = tonumber(ffi.cast("uintptr_t", ffi.new("char[1]")) % 4294967296)
  local mixed = bit.bxor(bit.tobit(os.time()), bit.tobit(fraction), bit.rol(calls, 16), bit.tobit(address))
  local random = ffi.new("quavix_random")
  C.quavix_random_seed(random, mixed % 4294967296)
  C.quavix_random_draw(random)
  return random.state
end

-- A random source: quavix.random(seed) with a whole number as the quavix
-- tool's --seed takes it (-2147483648 to 4294967295), or a fresh one.
function M.random(seed)
  local value = seed == nil and freshSeed() or whole("random", "seed", seed, SEED_MIN, SEED_MAX)
  local random = newRandom(0)
  C.quavix_random_seed(random.c, value < 0 and value + 4294967296 or value)
  return random
end

function Random:state()
  if not isRandom(self) then fail("state", "call it as r:state(), with a colon") end
  return tonumber(self.c.state)
end

function Random:copy()
  if not isRandom(self) then fail("copy", "call it as r:copy(), with a colon") end
  return newRandom(self.c.state)
end

function Random:__tostring() return "quavix.random(state " .. tonumber(self.c.state) .. ")" end

-- The random source a call draws from: a seed (0 when nil) or a source it advances.
local function source(call, seed)
  if isRandom(seed) then return seed.c end
  if seed ~= nil and type(seed) ~= "number" then
    fail(call, "seed must be a number or a random source from quavix.random(), not " .. type(seed))
  end
  return M.random(whole(call, "seed", seed or 0, SEED_MIN, SEED_MAX)).c
end

local function newParams()
  local params = setmetatable({ c = ffi.new("quavix_params") }, Params)
  C.quavix_params_default(params.c)
  return params
end

-- Remembers where a sound of params continues its random source.
local function continuing(params, random)
  params.continues = ffi.new("quavix_random")
  params.continues.state = random.state
  return params
end

-- A copy of the source where a sound of params continues (seed 0 for
-- parameters not drawn from one).
local function continuation(params)
  local random = ffi.new("quavix_random")
  if params.continues then random.state = params.continues.state else C.quavix_random_seed(random, 0) end
  return random
end

local function family(call, name)
  if type(name) == "number" and name >= 0 and name < #M.presets and name % 1 == 0 then return name end
  if type(name) ~= "string" and type(name) ~= "number" then
    fail(call, "name must be a string such as \"coin\" or a number 0 to 6, not " .. type(name))
  end
  name = tostring(name)
  local number = C.quavix_preset_family_of_n(name, #name)
  if number < 0 then
    fail(call, "unknown preset " .. shown(name) .. " (choose " .. table.concat(M.presets, ", ") .. " or 0-6)")
  end
  return number
end

local function index(call, name)
  if type(name) ~= "string" then fail(call, "name must be a string such as \"SustainTime\", not " .. type(name)) end
  local number = C.quavix_param_index_n(name, #name)
  if number < 0 then fail(call, "unknown parameter " .. shown(name)) end
  return number
end

local function checkSelf(call, params)
  if not isParams(params) then fail(call, "call it as p:" .. call .. "(...), with a colon, on parameters") end
end

-- Default parameters.
function M.params() return newParams() end

-- A preset ("coin" ... "blip", any case, or 0 to 6) drawn from a seed (0 when
-- nil) or a random source; its sound continues that source.
function M.preset(name, seed)
  local number, random = family("preset", name), source("preset", seed)
  local params = newParams()
  C.quavix_preset(params.c, number, random)
  return continuing(params, random)
end

-- Random parameters drawn from a seed or a random source; audible never
-- picks the silent wave type. Its sound continues that source.
function M.randomize(seed, audible)
  local random = source("randomize", seed)
  local params = newParams()
  C.quavix_randomize_ex(params.c, random, audible and C.QUAVIX_RANDOMIZE_AUDIBLE or 0)
  return continuing(params, random)
end

-- Parameters from the defaults and a settings string (24 comma-separated
-- stored values, empty fields keeping the default); a field that is not one
-- number is refused.
function M.fromSettingsString(text)
  if type(text) ~= "string" then fail("fromSettingsString", "text must be a string, not " .. type(text)) end
  local bad = ffi.new("int32_t[1]", -1)
  local status = C.quavix_settings_string_check_n(text, #text, bad)
  if status < 0 then
    local field = bad[0]
    local fields = {}
    for each in (text .. ","):gmatch("([^,]*),") do fields[#fields + 1] = each end
    local what = fields[field + 1] and (" " .. shown(fields[field + 1])) or ""
    fail("fromSettingsString", ("field %d%s: %s"):format(field, what, ffi.string(C.quavix_strerror(status))))
  end
  local params = newParams()
  C.quavix_settings_string_import_n(params.c, text, #text)
  return params
end

function Params:copy()
  checkSelf("copy", self)
  local other = newParams()
  ffi.copy(other.c, self.c, ffi.sizeof("quavix_params"))
  if self.continues then continuing(other, self.continues) end
  return other
end

-- A parameter in users' units (seconds, cycles or repeats per second; see
-- quavix.unit), as the quavix tool's --set takes it.
function Params:get(name)
  checkSelf("get", self)
  local value = ffi.new("float[1]")
  C.quavix_param_get_user(self.c, index("get", name), value)
  return value[0]
end

-- A parameter as stored (as the settings string holds it).
function Params:getStored(name)
  checkSelf("getStored", self)
  local value = ffi.new("float[1]")
  C.quavix_param_get(self.c, index("getStored", name), value)
  return value[0]
end

-- Sets a parameter in users' units, checked by the core's rule; returns p.
function Params:set(name, value)
  checkSelf("set", self)
  local number = index("set", name)
  if type(value) ~= "number" then fail("set", name .. " takes a number, not " .. type(value)) end
  local problem = ffi.new("const char*[1]")
  if C.quavix_param_check_user(number, value, problem) < 0 then
    fail("set", name .. " " .. tostring(value) .. ": " .. ffi.string(problem[0]))
  end
  C.quavix_param_set_user(self.c, number, value)
  return self
end

-- A copy nudged by up to +-0.5 * amount (0 to 1, 0.05 when nil) per
-- parameter, drawing from random (which advances) or else from where p's
-- sound continues; the copy's sound continues after the mutation.
function Params:mutate(amount, random)
  checkSelf("mutate", self)
  amount = amount == nil and 0.05 or amount
  if type(amount) ~= "number" then fail("mutate", "amount must be a number, not " .. type(amount)) end
  local problem = ffi.new("const char*[1]")
  if C.quavix_mutate_check(amount, problem) < 0 then
    fail("mutate", tostring(amount) .. " is not " .. ffi.string(problem[0]))
  end
  if random ~= nil and not isRandom(random) then
    fail("mutate", "random must be a random source from quavix.random(), not " .. type(random))
  end
  local from = random and random.c or continuation(self)
  local other = self:copy()
  C.quavix_mutate(other.c, amount, from)
  return continuing(other, from)
end

-- The 24 stored values as comma-separated text.
function Params:settingsString()
  checkSelf("settingsString", self)
  local size = tonumber(C.quavix_settings_string(self.c, nil, 0))
  if size == 0 then fail("settingsString", "a parameter is NaN or infinite, which a settings string cannot hold") end
  local text = ffi.new("char[?]", size + 1)
  C.quavix_settings_string(self.c, text, size + 1)
  return ffi.string(text, size)
end

-- The 105 bytes of a settings file (*.sfs, version 102) as a string.
function Params:settingsFile()
  checkSelf("settingsFile", self)
  local bytes = ffi.new("uint8_t[?]", C.QUAVIX_SETTINGS_FILE_SIZE)
  local status = C.quavix_settings_file_encode(self.c, bytes)
  if status < 0 then fail("settingsFile", ffi.string(C.quavix_strerror(status))) end
  return ffi.string(bytes, C.QUAVIX_SETTINGS_FILE_SIZE)
end

function Params:__tostring()
  local ok, text = pcall(self.settingsString, self)
  return "quavix.params(" .. (ok and text or "a value NaN or infinite") .. ")"
end

-- The users' unit of a parameter: "seconds", "cycles per second", ... or "".
function M.unit(name) return ffi.string(C.quavix_param_unit(index("unit", name))) end

local scratch  -- one usual sound's worth of samples, reused

-- The options of a render: {random = r, bufferLength = seconds}.
local function renderOptions(call, options, extra)
  if options == nil then return nil, M.BUFFER_LENGTH end
  if type(options) ~= "table" then
    fail(call, "options must be a table such as {random = r, bufferLength = 5}, not " .. type(options))
  end
  for key in pairs(options) do
    if key ~= "random" and key ~= "bufferLength" and key ~= extra then
      fail(call, "no option " .. shown(key) .. " (its options: random, bufferLength" .. (extra and ", " .. extra or "") .. ")")
    end
  end
  if options.random ~= nil and not isRandom(options.random) then
    fail(call, "random must be a random source from quavix.random(), not " .. type(options.random))
  end
  local seconds = options.bufferLength
  if seconds == nil then seconds = M.BUFFER_LENGTH end
  return options.random, whole(call, "bufferLength", seconds, 0, C.QUAVIX_MAX_BUFFER_SECONDS)
end

-- Renders params into samples of at most the sound's length bound.
local function render(params, random, seconds)
  random = random or continuation(params)
  local bound = tonumber(C.quavix_sound_length_bound(params.c, seconds))
  local samples = scratch
  if bound > C.QUAVIX_MAX_SOUND_SAMPLES then
    samples = ffi.new("int16_t[?]", bound)
  elseif not scratch then
    scratch = ffi.new("int16_t[?]", C.QUAVIX_MAX_SOUND_SAMPLES)
    samples = scratch
  end
  return samples, tonumber(C.quavix_render(params.c, random, samples, bound))
end

-- The samples as a new int16_t array, and their count. Options: random, a
-- source that advances (else p's sound continues where p was made: the same
-- sound each time), and bufferLength, whole seconds 0 to 60 (5 when nil).
function Params:render(options)
  checkSelf("render", self)
  local random, seconds = renderOptions("render", options)
  local from, count = render(self, random and random.c, seconds)
  local samples = ffi.new("int16_t[?]", math.max(count, 1))
  ffi.copy(samples, from, 2 * count)
  return samples, count
end

-- 16-bit mono SoundData of count samples. LÖVE has no empty SoundData: a
-- sound of no samples is one silent sample.
local function newSoundData(samples, count)
  local data = love.sound.newSoundData(math.max(count, 1), C.QUAVIX_SAMPLE_RATE, 16, 1)
  if data.getFFIPointer then
    ffi.copy(data:getFFIPointer(), samples, 2 * count)
  else
    for i = 0, count - 1 do data:setSample(i, samples[i] / 32767) end  -- exact for every int16
  end
  return data
end

local function soundData(call, params, options, extra)
  local random, seconds = renderOptions(call, options, extra)
  return newSoundData(render(params, random and random.c, seconds))
end

-- The sound as 16-bit mono SoundData, sample for sample (options as render's).
function Params:soundData(options)
  checkSelf("soundData", self)
  return soundData("soundData", self, options)
end

-- A Source of the sound: options as render's, and type, "static" when nil.
function Params:source(options)
  checkSelf("source", self)
  if options and options.type ~= nil and type(options.type) ~= "string" then
    fail("source", "type must be a string such as \"static\", not " .. type(options.type))
  end
  local data = soundData("source", self, options, "type")
  return love.audio.newSource(data, options and options.type or "static")
end

-- The SoundData and a Source of a preset made with a seed, as one call.
function M.presetSoundData(name, seed, options)
  family("presetSoundData", name)
  return M.preset(name, seed):soundData(options)
end

function M.presetSource(name, seed, options)
  family("presetSource", name)
  return M.preset(name, seed):source(options)
end

-- Layered sounds ------------------------------------------------------------

local Layers = {}
Layers.__index = Layers

local INT32, UINT32 = { -2147483648, 2147483647 }, { 0, 4294967295 }
local layerOptions = "params, random, bufferLength, offset, gainDb, muted"

-- value, or the record field's extreme beyond it (the largest for a negative
-- unsigned value), which the check refuses as it would refuse value.
local function fitted(value, limits)
  if value < limits[1] then return limits[1] < 0 and limits[1] or limits[2] end
  return math.min(value, limits[2])
end

-- A layer's gain in tenths of a decibel: gainDb must be a whole number of them.
local function tenths(what, value)
  if type(value) ~= "number" then fail("layers", what .. " must be a number, not " .. type(value)) end
  local count = ffi.new("int32_t[1]")
  if C.quavix_layer_gain_tenths(value, count) ~= 0 then
    fail("layers", what .. " " .. tostring(value) .. " is not a number of decibels in steps of 0.1")
  end
  return count[0]
end

-- A layered sound: quavix.layers{ {params = p, offset = 0, gainDb = -6, muted
-- = false, bufferLength = 5, random = r}, ... } with 1 to 8 layers. Each layer
-- is p's sound rendered alone, as p:render{random = r, bufferLength = ...}
-- renders it (the parameters and the random state are taken now; r does not
-- advance), starts offset samples into the mix and is scaled by gainDb.
function M.layers(list)
  if type(list) ~= "table" or isParams(list) then
    fail("layers", "layers must be a table such as {{params = p}, {params = q, offset = 4410}}, not " ..
                   (isParams(list) and "parameters" or type(list)))
  end
  local count = #list
  local records = ffi.new("quavix_layer[?]", math.max(count, 1))
  local given = {}  -- per layer: the values given that its record cannot hold
  for i = 1, count do
    local layer, where = list[i], "layer " .. i .. ": "
    if type(layer) ~= "table" or isParams(layer) then
      fail("layers", "layer " .. i .. " must be a table such as {params = p, gainDb = -6}, not " ..
                     (isParams(layer) and "parameters" or type(layer)))
    end
    for key in pairs(layer) do
      if not (" " .. layerOptions .. ","):find(" " .. tostring(key) .. ",", 1, true) then
        fail("layers", where .. "no option " .. shown(key) .. " (its options: " .. layerOptions .. ")")
      end
    end
    if not isParams(layer.params) then
      fail("layers", where .. "params must be parameters such as quavix.preset(\"coin\", 1), not " .. type(layer.params))
    end
    if layer.random ~= nil and not isRandom(layer.random) then
      fail("layers", where .. "random must be a random source from quavix.random(), not " .. type(layer.random))
    end
    if layer.muted ~= nil and type(layer.muted) ~= "boolean" then
      fail("layers", where .. "muted must be true or false, not " .. type(layer.muted))
    end
    local record = records[i - 1]
    record.params = layer.params.c
    record.random_state = layer.random and layer.random.c.state or continuation(layer.params).state
    record.muted = layer.muted and 1 or 0
    given[i] = {}
    for _, field in ipairs{
        { "buffer_seconds", UINT32, whole("layers", where .. "bufferLength", layer.bufferLength or M.BUFFER_LENGTH,
                                          -math.huge, math.huge) },
        { "offset", INT32, whole("layers", where .. "offset", layer.offset or 0, -math.huge, math.huge) },
        { "gain_tenths", INT32, tenths(where .. "gainDb", layer.gainDb or 0), true } } do
      local value = fitted(field[3], field[2])
      record[field[1]] = value
      if value ~= field[3] then
        -- As the check writes it: 2147483647 tenths are "+214748364.7" dB.
        given[i][("%.0f"):format(value) .. (field[4] and " dB" or "")] =
          field[4] and ("%+.1f"):format(layer.gainDb) or ("%.0f"):format(field[3])
      end
    end
  end
  local bad = ffi.new("int32_t[1]", -1)
  if C.quavix_layers_check(records, count, bad, nil, 0) ~= 0 then
    local problem = ffi.new("char[512]")
    C.quavix_layers_check(records, count, bad, problem, 512)
    local message = ffi.string(problem)
    local unit, before, written = " dB", message:match("^(.* not )(%S+) dB$")
    if not before then unit, before, written = "", message:match("^(.* not )(%S+)$") end
    if written and bad[0] >= 0 then
      local value = given[bad[0] + 1][written:gsub("[+.]", "") .. unit]
      if value then message = before .. value .. unit end
    end
    fail("layers", message)
  end
  -- Room for the longest mix the layers can make.
  local capacity = 0
  for i = 0, count - 1 do
    if records[i].muted == 0 then
      local bound = tonumber(C.quavix_sound_length_bound(records[i].params, records[i].buffer_seconds))
      capacity = math.max(capacity, records[i].offset + bound)
    end
  end
  return setmetatable({ c = records, count = count, capacity = capacity }, Layers)
end

local function checkLayers(call, layers)
  if getmetatable(layers) ~= Layers then
    fail(call, "call it as mix:" .. call .. "(...), with a colon, on a layered sound from quavix.layers{...}")
  end
end

-- Mixes the layers: a new int16_t array, its count, and how many samples the
-- clamp to 16 bits changed.
function Layers:render()
  checkLayers("render", self)
  local capacity, clipped = self.capacity, ffi.new("int64_t[1]")
  while true do
    local samples = ffi.new("int16_t[?]", math.max(capacity, 1))
    local count = tonumber(C.quavix_render_layers(self.c, self.count, samples, capacity, clipped))
    if count < 0 then fail("render", ffi.string(C.quavix_strerror(count))) end
    if count <= capacity then return samples, count, tonumber(clipped[0]) end
    capacity = count
  end
end

-- The mix as 16-bit mono SoundData, and how many samples the clamp changed.
function Layers:soundData()
  checkLayers("soundData", self)
  local samples, count, clipped = self:render()
  return newSoundData(samples, count), clipped
end

-- A Source of the mix: options {type = "static"} (when nil) or "stream".
function Layers:source(options)
  checkLayers("source", self)
  if options ~= nil and type(options) ~= "table" then
    fail("source", "options must be a table such as {type = \"static\"}, not " .. type(options))
  end
  for key in pairs(options or {}) do
    if key ~= "type" then fail("source", "no option " .. shown(key) .. " (its options: type)") end
  end
  if options and options.type ~= nil and type(options.type) ~= "string" then
    fail("source", "type must be a string such as \"static\", not " .. type(options.type))
  end
  return love.audio.newSource((self:soundData()), options and options.type or "static")
end

function Layers:__tostring() return "quavix.layers(" .. self.count .. " layers)" end

-- The functions over parameters of earlier versions are methods now.
local methods = { get = "get(name)", set = "set(name, value)", mutate = "mutate(amount, random)",
                  settingsString = "settingsString()", render = "render(options)",
                  soundData = "soundData(options)", source = "source(options)" }
return setmetatable(M, { __index = function(_, key)
  if methods[key] then
    fail(key, "parameters have it as a method now: p:" .. methods[key] .. " on p = quavix.preset(...)")
  end
end })
