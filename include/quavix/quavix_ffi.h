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
