/*
 * quavix.h - the Quavix sound-effect synthesizer as a C library.
 *
 * A sound is a pure function of its parameters and of the state of one
 * explicit random source: the same parameters and the same random state give
 * the same samples, bit for bit, on every machine and in every build (the
 * extension module, the quavix tool and this library make the same bytes).
 *
 * The output is signed 16-bit mono at 44100 samples per second. Samples range
 * from -32000 to 32000.
 *
 * Rules that hold for every function below:
 *  - No global state, no input or output, no locale: every function is
 *    re-entrant and thread-safe as long as two threads do not use the same
 *    quavix_params, quavix_random or quavix_stream at once. (The shared
 *    library is linked against the C and C++ runtimes, whose symbol tables
 *    list file and clock functions; no quavix_ call reaches them.)
 *  - Memory: every record lives in the caller's memory (the library never
 *    keeps a pointer after a call returns), and the calls work on the stack.
 *    The calls of many sounds and of layered sounds allocate:
 *    quavix_render_many, quavix_layers_check, quavix_render_layers,
 *    quavix_render_layers_floats, quavix_layers_text and
 *    quavix_layers_from_text. Their working memory is
 *    freed before they return (QUAVIX_ERROR_MEMORY when it cannot be had).
 *  - Functions that can fail return a quavix_status (negative) or a count
 *    (zero or more); quavix_strerror() describes a status.
 *  - Pointers must not be NULL unless a function says otherwise; a NULL
 *    pointer where one is required gives QUAVIX_ERROR_ARGUMENT.
 *  - Nothing is range-tested: any parameter value, NaN included, is stored
 *    and synthesized with a defined result.
 *
 * The sections, by topic: lifetime (versions, record sizes, status),
 * parameters, random source and design, exchange (settings strings and
 * files), rendering, streaming, WAV images, layered sounds.
 *
 * Written in C99; usable from C++.
 */
#ifndef QUAVIX_QUAVIX_H
#define QUAVIX_QUAVIX_H

#include <stddef.h>
#include <stdint.h>

/* The shared library exports the API and nothing else; the static library's
 * functions are hidden, so that a plug-in linking it does not export them. */
#if defined(QUAVIX_BUILDING_STATIC) && defined(__GNUC__)
#define QUAVIX_API __attribute__((visibility("hidden")))
#elif defined(QUAVIX_BUILDING_LIBRARY) && defined(__GNUC__)
#define QUAVIX_API __attribute__((visibility("default")))
#else
#define QUAVIX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifetime: versions, record sizes, status -------------------------- */

/* QUAVIX_VERSION_MAJOR, QUAVIX_VERSION_MINOR and QUAVIX_VERSION_PATCH: the
 * version of the library this header belongs to. */
#include "quavix_version.h"

/* The library's version as (major << 16) | (minor << 8) | patch; compare it
 * with the QUAVIX_VERSION_* macros of the header you compiled against. A new
 * minor version only adds functions, records and status values; a program
 * built against an older header of the same major version runs unchanged. */
QUAVIX_API uint32_t quavix_version(void);

/*
 * ABI policy. The shared library is libquavix.so.<QUAVIX_ABI_VERSION>. Within
 * one ABI version functions are only added (the minor version counts them),
 * never removed or changed; quavix_params, quavix_random and quavix_stream
 * keep their size and layout; status and enum values keep their numbers. A
 * binding that mirrors the records checks at run time that
 * quavix_abi_version() equals the ABI version it was written for and that
 * quavix_params_size() and quavix_stream_size() equal its mirrors' sizes
 * (116, 5120 and 4 bytes for quavix_random on every platform).
 */
#define QUAVIX_ABI_VERSION 1
#define QUAVIX_PARAMS_SIZE 116

/* The library's ABI version, QUAVIX_ABI_VERSION of its header. */
QUAVIX_API uint32_t quavix_abi_version(void);

/* The library's version as text, "major.minor.patch" ("1.2.0"); static. */
QUAVIX_API const char* quavix_version_string(void);

/* sizeof(quavix_params) in the library: QUAVIX_PARAMS_SIZE. */
QUAVIX_API size_t quavix_params_size(void);

/* The status of a call that can fail. */
typedef enum quavix_status {
  QUAVIX_OK = 0,
  QUAVIX_ERROR_ARGUMENT = -1,        /* a required pointer is NULL */
  QUAVIX_ERROR_INDEX = -2,           /* parameter index outside 0..23 */
  QUAVIX_ERROR_NAME = -3,            /* unknown parameter or preset name */
  QUAVIX_ERROR_FAMILY = -4,          /* preset family outside 0..6 */
  QUAVIX_ERROR_NOT_A_NUMBER = -5,    /* settings-string field is no number */
  QUAVIX_ERROR_TOO_MANY_FIELDS = -6, /* settings string with over 24 fields */
  QUAVIX_ERROR_VERSION = -7,         /* settings file version not 100..102 */
  QUAVIX_ERROR_SHORT_DATA = -8,      /* settings file ends inside its fields */
  QUAVIX_ERROR_BUFFER_TOO_SMALL = -9, /* output buffer below the needed size */
  QUAVIX_ERROR_VALUE = -10,         /* a typed value or mutation amount breaks its rule (1.1) */
  QUAVIX_ERROR_RANGE = -11,         /* a size beyond what a WAV image holds (1.1) */
  QUAVIX_ERROR_FIXED_FIELD = -12,   /* BitsPerSample or SampleRate changed (1.1) */
  QUAVIX_ERROR_STREAM = -13,        /* a stream that was never started (1.1) */
  QUAVIX_ERROR_MEMORY = -14         /* working memory could not be allocated (1.2) */
} quavix_status;

/* A short English description of a status ("unknown status" for others).
 * The text is static; never free it. */
QUAVIX_API const char* quavix_strerror(int status);

/* ---- Parameters -------------------------------------------------------- */

#define QUAVIX_PARAM_COUNT 24
#define QUAVIX_SAMPLE_RATE 44100

/* Values of WaveType that sound; any other value renders silence of the
 * normal length. */
typedef enum quavix_wave_type {
  QUAVIX_WAVE_SQUARE = 0,
  QUAVIX_WAVE_SAWTOOTH = 1,
  QUAVIX_WAVE_SINE = 2,
  QUAVIX_WAVE_NOISE = 3
} quavix_wave_type;

/*
 * Fields marked [fixed] below are the output format and the file's reserved
 * fields: quavix_params_default sets them; do not write them (a changed
 * BitsPerSample or SampleRate makes the WAV calls refuse with
 * QUAVIX_ERROR_FIXED_FIELD, and SampleRate is the R of the users' units).
 *
 * The sound parameters. The 24 named parameters stand in index order (the
 * index of quavix_param_get/set and the field of the settings string), from
 * Volume (0) to HPCutoffSweep (23), all in stored units. BitsPerSample (16),
 * SampleRate (44100) and MasterVolume (0.05) are fixed output settings that
 * only quavix_params_default sets; FlagReserved and VibReserved are kept for
 * the settings file (randomize and mutate change VibReserved; the synthesis
 * reads neither). Start from quavix_params_default.
 */
typedef struct quavix_params {
  int32_t BitsPerSample; /* [fixed] 16 */
  int32_t SampleRate;    /* [fixed] 44100; R of the unit conversions */
  /* index, default (stored) and typical stored range; quavix_param_info()
   * gives the users' unit, its range and a help text for each */
  float Volume;          /*  0  output gain; default 1; 0 to 2 */
  int32_t WaveType;      /*  1  a quavix_wave_type; default 0; 0 to 3 */
  float AttackTime;      /*  2  default 0; 0 to 1 (seconds = stored^2 * 2.2675) */
  float SustainTime;     /*  3  default 0.3; 0 to 1 (as AttackTime) */
  float SustainPunch;    /*  4  default 0; 0 to 0.8 */
  float DecayTime;       /*  5  default 0.4; 0 to 1 (as AttackTime) */
  float StartFreq;       /*  6  default 0.3; 0 to 1; see quavix_freq_hz and
                          *     quavix_freq_for_pitch */
  float MinFreq;         /*  7  default 0; 0 to 1; above 0 it ends the sound */
  float Slide;           /*  8  default 0; -1 to 1 */
  float DeltaSlide;      /*  9  default 0; -1 to 1 */
  float VibDepth;        /* 10  default 0; 0 to 1 */
  float VibSpeed;        /* 11  default 0; 0 to 1 */
  float ChangeAmount;    /* 12  default 0; -1 to 1 */
  float ChangeSpeed;     /* 13  default 0; 0 to 1 (1: no change) */
  float SquareDuty;      /* 14  default 0; 0 to 1 */
  float DutySweep;       /* 15  default 0; -1 to 1 */
  float RepeatSpeed;     /* 16  default 0; 0 to 0.8 (0 or 1: no repeat) */
  float PhaserOffset;    /* 17  default 0; -1 to 1 */
  float PhaserSweep;     /* 18  default 0; -1 to 1 */
  float LPCutoff;        /* 19  default 1; 0 to 1 (exactly 1 bypasses the low-pass) */
  float LPCutoffSweep;   /* 20  default 0; -1 to 1 */
  float LPResonance;     /* 21  default 0; 0 to 1 */
  float HPCutoff;        /* 22  default 0; 0 to 1 */
  float HPCutoffSweep;   /* 23  default 0; -1 to 1 */
  float MasterVolume;    /* [fixed] 0.05 */
  uint8_t FlagReserved;  /* [fixed] 0; kept for the settings file */
  float VibReserved;     /* [fixed] 0; kept for the settings file */
} quavix_params;

/* Fills params with the defaults: every field 0 except BitsPerSample 16,
 * SampleRate 44100, Volume 1, SustainTime 0.3, DecayTime 0.4, StartFreq 0.3,
 * LPCutoff 1 and MasterVolume 0.05 (float values, 0.3 is 0.30000001...). */
QUAVIX_API void quavix_params_default(quavix_params* params);

/* The index 0..23 of a parameter name such as "AttackTime" (ASCII case is
 * ignored), or QUAVIX_ERROR_NAME; QUAVIX_ERROR_ARGUMENT for a NULL name. */
QUAVIX_API int quavix_param_index(const char* name);

/* The name of parameter index 0..23, or NULL for any other index. */
QUAVIX_API const char* quavix_param_name(int32_t index);

/* The unit of a parameter in the users' units: "seconds" (AttackTime,
 * SustainTime, DecayTime, ChangeSpeed), "cycles per second" (VibSpeed),
 * "repeats per second" (RepeatSpeed), "" when the users' unit is the stored
 * one; NULL for an index outside 0..23. */
QUAVIX_API const char* quavix_param_unit(int32_t index);

/*
 * Stored units: the value exactly as the field holds it, no conversion.
 * WaveType reads as a float and is set truncated toward zero (2.9 -> 2,
 * -2.9 -> -2; NaN or beyond the int32 range -> -2147483648).
 * Return QUAVIX_OK or QUAVIX_ERROR_INDEX (then nothing is read or written).
 */
QUAVIX_API int quavix_param_get(const quavix_params* params, int32_t index, float* value);
QUAVIX_API int quavix_param_set(quavix_params* params, int32_t index, float value);

/*
 * Users' units, as the module's dedicated setters and getters convert them
 * with R = SampleRate, in double precision, rounded to float where the module
 * rounds (results are exact to the bit):
 *   times (AttackTime, SustainTime, DecayTime): stored = sqrt(seconds / 2.2675);
 *     read back as stored^2 * 2.2675 (0.3 s stores 0.3637366);
 *   VibSpeed: stored = sqrt(cycles/s * 2 * 3.14159 / R * 100) (10 -> 0.3774596);
 *   ChangeSpeed: stored = 1 - sqrt(seconds / 20000 * R) (0 -> 1);
 *   RepeatSpeed: stored = 1 - sqrt(1 / (repeats/s) / 20000 * R), 0 stores 1
 *     (10 -> 0.5304257); a stored 0 reads 0, a stored 1 reads +infinity;
 *   every other parameter: as stored (WaveType truncated as above).
 * A negative time or speed stores NaN, as the module does. Unlike the
 * module, a positive ChangeSpeed or RepeatSpeed whose stored value would mean
 * no event, or a count of samples beyond 2147483647 (which the synthesis
 * reads as an event at every sample), stores the nearest value that keeps
 * the event: a repeat rarer than once in 48695.8 s, or a jump later than
 * that, stores -326.68 (2147483593 samples, later than any sound); a repeat
 * faster than once a sample, or a jump sooner than one sample, stores the
 * value of one sample (0.9929289); a repeat speed that would store 0 (2.205
 * repeats/s) stores -2^-23, every 20000 samples.
 * Return QUAVIX_OK or QUAVIX_ERROR_INDEX.
 */
QUAVIX_API int quavix_param_get_user(const quavix_params* params, int32_t index, float* value);
QUAVIX_API int quavix_param_set_user(quavix_params* params, int32_t index, float value);

/* The four accessors above by parameter name; QUAVIX_ERROR_NAME for an
 * unknown name, QUAVIX_ERROR_ARGUMENT for a NULL one. */
QUAVIX_API int quavix_param_get_by_name(const quavix_params* params, const char* name, float* value);
QUAVIX_API int quavix_param_set_by_name(quavix_params* params, const char* name, float value);
QUAVIX_API int quavix_param_get_user_by_name(const quavix_params* params, const char* name,
                                             float* value);
QUAVIX_API int quavix_param_set_user_by_name(quavix_params* params, const char* name, float value);

/* quavix_param_index for text[0 .. length-1], which need not be terminated
 * (a NUL inside ends the text, as it would otherwise); text may be NULL when
 * length is 0. */
QUAVIX_API int quavix_param_index_n(const char* name, size_t length);

/* Parameter descriptions (1.1). */

/* The groups the parameters are shown in, in the order they are shown. */
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

/* One parameter, as quavix_param_info() describes it. Texts are static
 * English; never free them. */
typedef struct quavix_param_description {
  int32_t index;            /* 0..23 */
  const char* name;         /* "AttackTime": field, expression and settings name */
  const char* label;        /* "Attack time": the parameter in a person's words */
  int32_t group;            /* a quavix_param_group */
  const char* group_id;     /* "wave", "envelope", ..., "volume" */
  const char* group_title;  /* "Wave", "Envelope", ..., "Pitch jump", ... */
  const char* unit;         /* users' unit, as quavix_param_unit() */
  int32_t whole;            /* 1 when only whole numbers are meant (WaveType) */
  int32_t frequency;        /* 1 for StartFreq and MinFreq (see quavix_freq_for_pitch) */
  float default_stored;     /* the default, as quavix_params_default() sets it */
  float default_user;       /* the default in the users' unit */
  float typical_stored_min; /* the typical range (what presets and randomize */
  float typical_stored_max; /*   produce), in stored units */
  float typical_user_min;   /* the same range in the users' unit (a value */
  float typical_user_max;   /*   that turns a feature off included) */
  float valid_user_min;     /* the values quavix_param_check_user() accepts, */
  float valid_user_max;     /*   -/+infinity when unbounded */
  const char* help;         /* one line: what the parameter does */
  const char* setter_text;  /* the extension module's texts, kept for compatibility: */
  const char* setter_title; /*   its action, "Set attack time to %0", and the title of
                                 its parameter, "Attack time" */
} quavix_param_description;

/* The number of parameters: QUAVIX_PARAM_COUNT. */
QUAVIX_API int32_t quavix_param_count(void);

/* Fills *info for parameter index 0..23. Returns QUAVIX_OK,
 * QUAVIX_ERROR_INDEX or QUAVIX_ERROR_ARGUMENT (info NULL). */
QUAVIX_API int quavix_param_info(int32_t index, quavix_param_description* info);

/*
 * Checks a value a person typed in the users' unit of parameter index before
 * quavix_param_set_user() stores it. The rule: a finite number; WaveType a
 * whole number 0 to 3; a time (AttackTime, SustainTime, DecayTime) not
 * negative and no stage longer than the longest sound
 * (QUAVIX_MAX_BUFFER_SECONDS * QUAVIX_SAMPLES_PER_BUFFER_SECOND samples, that
 * is valid_user_max seconds); VibSpeed, ChangeSpeed and RepeatSpeed not
 * negative (their conversions would store NaN); VibSpeed at most half the
 * sample rate, 22050 cycles per second (a faster vibrato, which moves once a
 * sample, would sound slower). Returns QUAVIX_OK,
 * QUAVIX_ERROR_VALUE (then *problem, when problem is not NULL, is the rule in
 * a person's words, e.g. "a time cannot be negative"; otherwise "") or
 * QUAVIX_ERROR_INDEX. The setters themselves store any value.
 */
QUAVIX_API int quavix_param_check_user(int32_t index, float value, const char** problem);

/* Pitch (1.1). */

/* The oscillator period, in subsamples (8 per sample), that a stored
 * frequency starts with: trunc(single(100 / (f^2 + 0.001))), at least 8 (NaN
 * gives 8). The default 0.3 gives 1098. */
QUAVIX_API int32_t quavix_start_period(float stored_freq);

/* The pitch in Hertz of a period: 8 * R / period (R = SampleRate of params,
 * the defaults' 44100 when params is NULL); 0 for a period below 1. */
QUAVIX_API double quavix_pitch_of_period(const quavix_params* params, int32_t period);

/* The pitch in Hertz a stored frequency starts with (before slide, vibrato
 * and jump): quavix_pitch_of_period(quavix_start_period(stored_freq)). */
QUAVIX_API double quavix_pitch_of_freq(const quavix_params* params, float stored_freq);

/* The stored frequency whose whole period sounds closest to hz: the middle of
 * the stored values that share that period. hz from 8 * R / 100000 (3.528) to
 * 8 * R / 8 (44100 at R = 44100); returns NaN outside that range. Unlike
 * quavix_freq_hz, the result sounds at the closest achievable pitch. */
QUAVIX_API float quavix_freq_for_pitch(const quavix_params* params, double hz);

/* The stored frequency value (for StartFreq and MinFreq) of a frequency in
 * Hertz: sqrt(100 / (R / (hz * 0.125))) in double, rounded to float once.
 * At R = 44100: 3528 Hz -> 1.0, 440 -> 0.35315, 20 -> 0.0752923; not clamped;
 * a negative hz gives NaN. The tone sounds about 3.5 Hz higher, as in the
 * module. A NULL params gives NaN. */
QUAVIX_API float quavix_freq_hz(const quavix_params* params, int32_t hz);

/* ---- Random source and sound design ------------------------------------ */

/* The one random source of a sequence of operations: a 32-bit linear
 * congruential generator. Presets, randomize, mutate and every render draw
 * from it, so the order of the calls matters. Copying the struct copies the
 * sequence. */
typedef struct quavix_random {
  uint32_t state;
} quavix_random;

/* Sets the state to seed (the module's "Set random seed" with a non-zero
 * seed; a seed of 0 is used as the state 0 itself: take a clock time yourself
 * if you want one). */
QUAVIX_API void quavix_random_seed(quavix_random* random, uint32_t seed);

/* One draw: state = state * 214013 + 2531011 (mod 2^32), returns bits 16..30
 * of the new state, 0..32767. Returns -1 (QUAVIX_ERROR_ARGUMENT) for NULL. */
QUAVIX_API int32_t quavix_random_draw(quavix_random* random);

/* One draw r mapped to (r mod 10001) / 10000 * range, rounded to float: a value
 * from 0 to range inclusive in steps of range / 10000. */
QUAVIX_API float quavix_random_fraction(quavix_random* random, float range);

typedef enum quavix_preset_family {
  QUAVIX_PRESET_COIN = 0,
  QUAVIX_PRESET_LASER = 1,
  QUAVIX_PRESET_EXPLOSION = 2,
  QUAVIX_PRESET_POWERUP = 3,
  QUAVIX_PRESET_HURT = 4,
  QUAVIX_PRESET_JUMP = 5,
  QUAVIX_PRESET_BLIP = 6
} quavix_preset_family;

/* The family of a lower-case name "coin", "laser", "explosion", "powerup",
 * "hurt", "jump" or "blip" (ASCII case is ignored), or QUAVIX_ERROR_NAME;
 * QUAVIX_ERROR_ARGUMENT for a NULL name. */
QUAVIX_API int quavix_preset_family_of(const char* name);

/* Resets params to the defaults and fills them with a fresh sound of the
 * family, drawing from random. A family outside 0..6 returns
 * QUAVIX_ERROR_FAMILY and changes nothing, not even the random state. */
QUAVIX_API int quavix_preset(quavix_params* params, int32_t family, quavix_random* random);

/* Resets params and draws every parameter but Volume and MinFreq (24 to 27
 * draws). About one sound in five gets WaveType 4, which renders silence. */
QUAVIX_API int quavix_randomize(quavix_params* params, quavix_random* random);

/* Nudges 22 parameters (all but WaveType, Volume and MinFreq) by up to
 * +-0.5 * coefficient each, a coin per parameter deciding (22 to 44 draws).
 * Nothing is clamped. A coefficient that quavix_mutate_check refuses returns
 * QUAVIX_ERROR_VALUE and changes nothing, not even the random state (the
 * extension module's action takes any). */
QUAVIX_API int quavix_mutate(quavix_params* params, float coefficient, quavix_random* random);

/* Checks a mutation amount: 0 (no change) to 1 (nudges of up to +-0.5).
 * Returns QUAVIX_OK or QUAVIX_ERROR_VALUE; then *problem, when problem is not
 * NULL, is what the amount is not, "an amount from 0 to 1" (otherwise ""). */
QUAVIX_API int quavix_mutate_check(float coefficient, const char** problem);

/* quavix_preset_family_of for name[0 .. length-1], as quavix_param_index_n
 * reads its text. */
QUAVIX_API int quavix_preset_family_of_n(const char* name, size_t length);

/* Flags of quavix_randomize_ex. */
typedef enum quavix_randomize_flags {
  QUAVIX_RANDOMIZE_AUDIBLE = 1 /* WaveType drawn from 0..3, never silent 4 */
} quavix_randomize_flags;

/* quavix_randomize with flags: 0 is quavix_randomize itself; with
 * QUAVIX_RANDOMIZE_AUDIBLE the wave type is drawn mod 4 instead of mod 5 (the
 * same number of draws), and the other draws are unchanged. Unknown flag bits
 * are ignored. */
QUAVIX_API int quavix_randomize_ex(quavix_params* params, quavix_random* random, uint32_t flags);

/* ---- Exchange ---------------------------------------------------------- */

/*
 * The settings string: the 24 parameters in index order, separated by 23
 * commas, each written as "%.4f" writes it (exactly, rounding half away from
 * zero, always with '.') and empty for 0. The defaults give
 * "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,," (53 characters).
 *
 * Writes the text and a terminator into out as snprintf does: at most
 * capacity - 1 characters, always terminated when capacity > 0 (out may be
 * NULL when capacity is 0). Returns the length of the whole text; a result
 * >= capacity means the text was cut short. 256 bytes hold the text of any
 * parameters below 1000 in magnitude.
 * The grammar has no text for NaN or an infinity: when one of the 24 values
 * is not finite (or params is NULL) nothing but the terminator is written and
 * 0 is returned, so every text this call writes passes
 * quavix_settings_string_check and imports back to the values it shows
 * (quavix_settings_string_ex writes the module's text for them instead).
 */
QUAVIX_API size_t quavix_settings_string(const quavix_params* params, char* out, size_t capacity);

/*
 * Reads a settings string with the module's lenient grammar: for each field
 * in turn, leading white space is skipped, a decimal number (sign, digits,
 * '.', fraction, exponent with e, E, d or D) is read correctly rounded, and
 * whatever follows up to the comma is ignored; a field with no number gives 0.
 * Field 1 is truncated into WaveType. Only the fields present are written;
 * values after the 24th are ignored. Returns QUAVIX_OK.
 */
QUAVIX_API int quavix_settings_string_import(quavix_params* params, const char* text);

/*
 * A strict check of a settings string: at most 24 fields, each empty or
 * exactly one number of the grammar above (no spaces, nothing after it).
 * Returns QUAVIX_OK, QUAVIX_ERROR_NOT_A_NUMBER or QUAVIX_ERROR_TOO_MANY_FIELDS
 * and stores the index of the first bad field (or -1) in *bad_field when
 * bad_field is not NULL. Changes nothing; import it afterwards.
 */
QUAVIX_API int quavix_settings_string_check(const char* text, int32_t* bad_field);

/* Flags of quavix_settings_string_ex. */
typedef enum quavix_settings_string_flags {
  QUAVIX_SETTINGS_MODULE_TEXT = 1 /* NaN and infinities as the module writes them */
} quavix_settings_string_flags;

/* quavix_settings_string with flags: 0 is quavix_settings_string itself. With
 * QUAVIX_SETTINGS_MODULE_TEXT a value that is not finite is written as the
 * extension module and the quavix tool write it ("nan", "inf", "-inf"): the
 * same text they give, which quavix_settings_string_check refuses and the
 * import reads as 0. */
QUAVIX_API size_t quavix_settings_string_ex(const quavix_params* params, char* out, size_t capacity,
                                            uint32_t flags);

/* quavix_settings_string_import and _check for text[0 .. length-1], as
 * quavix_param_index_n reads its text. */
QUAVIX_API int quavix_settings_string_import_n(quavix_params* params, const char* text,
                                               size_t length);
QUAVIX_API int quavix_settings_string_check_n(const char* text, size_t length,
                                              int32_t* bad_field);

/* The settings file (*.sfs), in memory. */

#define QUAVIX_SETTINGS_FILE_SIZE 105

/* Writes the 105 bytes of a version-102 settings file: little-endian int32
 * version 102, then WaveType, Volume, the frequency, slide, duty and vibrato
 * fields, the envelope, FlagReserved (one byte), the filters, the phaser,
 * RepeatSpeed, ChangeSpeed, ChangeAmount. Writing the file is the caller's. */
QUAVIX_API int quavix_settings_file_encode(const quavix_params* params,
                                           uint8_t out[QUAVIX_SETTINGS_FILE_SIZE]);

/*
 * Reads a settings file image of versions 100 (89 bytes), 101 (101 bytes) or
 * 102 (105 bytes) into params, bit for bit; fields a version lacks keep their
 * values; bytes after the last field are ignored.
 * Returns QUAVIX_OK; QUAVIX_ERROR_VERSION for data under 4 bytes or another
 * version (nothing changes); QUAVIX_ERROR_SHORT_DATA when the data end inside
 * the fields (the whole fields before the end are stored, the rest keep their
 * values).
 */
QUAVIX_API int quavix_settings_file_decode(quavix_params* params, const uint8_t* data, size_t size);

/* ---- Rendering --------------------------------------------------------- */

#define QUAVIX_MAX_BUFFER_SECONDS 60
/* Samples a buffer of one second holds: 41000 (82000 bytes). */
#define QUAVIX_SAMPLES_PER_BUFFER_SECOND 41000

/*
 * Sound length. A sound lasts attack + sustain + decay + 3 samples, each stage
 * trunc(t * t * 100000) samples for its stored time t, unless MinFreq ends it
 * earlier. Every preset and every randomize keeps the three times at most
 * 1.5 in magnitude, so its sound has at most QUAVIX_MAX_SOUND_SAMPLES, 675003
 * samples (15.3 seconds); mutation and larger stored times give longer
 * sounds. quavix_render_count tells the
 * length of any one sound.
 */
#define QUAVIX_MAX_SOUND_SAMPLES 675003

/* The lengths in samples of the envelope's attack, sustain and decay:
 * trunc(time^2 * 100000) each (-2147483648 for NaN or beyond the int32
 * range). Returns QUAVIX_OK or QUAVIX_ERROR_ARGUMENT. */
QUAVIX_API int quavix_envelope_lengths(const quavix_params* params, int32_t lengths[3]);

/* At most how many samples a sound of params takes in a wave buffer of
 * buffer_seconds (see quavix_render_wav): its envelope's length, cut at the
 * buffer's QUAVIX_SAMPLES_PER_BUFFER_SECOND samples a second; the frequency
 * floor may stop it sooner. 0 when params is NULL. */
QUAVIX_API size_t quavix_sound_length_bound(const quavix_params* params, uint32_t buffer_seconds);

/*
 * Synthesizes one sound into out[0 .. max_samples-1] and returns the number of
 * samples written: the sound ends with its envelope, when MinFreq > 0 stops it,
 * or when max_samples are written. A sound of the default parameters has 25003
 * samples. The render first draws 32 values from random (the noise table; a
 * noise wave draws more), even when max_samples < 1, in which case it returns
 * 0 and writes nothing. The parameters are only read.
 * Keeps its working state (about 4.5 KB) on the stack; does not allocate.
 * Returns QUAVIX_ERROR_ARGUMENT when params or random is NULL, or out is NULL
 * while max_samples > 0.
 */
QUAVIX_API int32_t quavix_render(const quavix_params* params, quavix_random* random, int16_t* out,
                                 int32_t max_samples);

/*
 * The number of samples quavix_render(params, random, out, max_samples) would
 * write, computed without writing anything and without advancing random (the
 * sound is synthesized on a copy of it, so this takes as long as a render).
 * With max_samples = INT32_MAX it is the whole sound's length: a render of
 * that many samples or more is not cut. Negative status as quavix_render.
 */
QUAVIX_API int32_t quavix_render_count(const quavix_params* params, const quavix_random* random,
                                       int32_t max_samples);

/* One call for a preset sound: seeds a random source with seed, makes a
 * preset of family and renders it, as quavix_random_seed, quavix_preset and
 * quavix_render do (and as "quavix render --preset NAME --seed SEED" writes).
 * Returns the number of samples written or a negative status. Presets are at
 * most QUAVIX_MAX_SOUND_SAMPLES long. */
QUAVIX_API int32_t quavix_render_preset(int32_t family, uint32_t seed, int16_t* out,
                                        int32_t max_samples);

/* One sound of quavix_render_many: what quavix_render takes, and in count the
 * number of samples it wrote. */
typedef struct quavix_render_job {
  const quavix_params* params;
  quavix_random* random;
  int16_t* out;
  int32_t max_samples;
  int32_t count; /* set by quavix_render_many */
} quavix_render_job;

/*
 * Renders jobs[0 .. job_count-1] on the calling thread and sets each job's
 * count: every job's samples, count and random state are exactly what
 * quavix_render(params, random, out, max_samples) gives for it, called for
 * the jobs in order. Where the processor has AVX-512 or AVX2 (x86-64), the
 * sounds play side by side in the lanes of its vector registers, several
 * times faster than one by one; jobs that share a random source are rendered
 * one by one, in order. Outputs must not overlap. Allocates about 5 KB per job
 * and 200 KB more. Returns QUAVIX_OK, QUAVIX_ERROR_ARGUMENT when jobs is NULL
 * while job_count > 0 or a job has a NULL params or random, or a NULL out
 * while max_samples > 0 (nothing is then drawn or written), or
 * QUAVIX_ERROR_MEMORY when the working memory cannot be had. (1.2)
 */
QUAVIX_API int quavix_render_many(quavix_render_job* jobs, size_t job_count);

/* ---- Streaming --------------------------------------------------------- */

/*
 * Incremental rendering, for audio callbacks: a stream holds one sound's
 * synthesis state (the caller owns the memory; nothing is allocated) and
 * yields its samples piece by piece. The pieces joined are, bit for bit, the
 * samples of quavix_render with the same parameters and random state.
 */
#define QUAVIX_STREAM_SIZE 5120
typedef struct quavix_stream {
  uint64_t opaque[640]; /* QUAVIX_STREAM_SIZE / 8 */
} quavix_stream;

/* sizeof(quavix_stream) in the library: QUAVIX_STREAM_SIZE. */
QUAVIX_API size_t quavix_stream_size(void);

/* Starts the sound of params: copies the parameters and *random into the
 * stream and makes the render's restart there. *random is not advanced (see
 * quavix_stream_random). Returns QUAVIX_OK or QUAVIX_ERROR_ARGUMENT. */
QUAVIX_API int quavix_stream_start(quavix_stream* stream, const quavix_params* params,
                                   const quavix_random* random);

/* Writes the next samples, at most count, to out and returns how many were
 * written: count until the sound ends, then fewer, then 0. Returns
 * QUAVIX_ERROR_ARGUMENT for a NULL stream (or a NULL out with count > 0) and
 * QUAVIX_ERROR_STREAM for a stream that was never started (one filled with
 * zeros, say). */
QUAVIX_API int32_t quavix_stream_render(quavix_stream* stream, int16_t* out, int32_t count);

/* The stream's random state: after the last sample, the state a whole
 * quavix_render would have left in its random. */
QUAVIX_API int quavix_stream_random(const quavix_stream* stream, quavix_random* random);

/* ---- WAV images -------------------------------------------------------- */

#define QUAVIX_WAV_HEADER_SIZE 44

/* Writes the 44-byte RIFF/WAVE header for data_bytes of sample data: PCM, one
 * channel, 44100 samples per second, 16 bits. Refuses (writing nothing) with
 * QUAVIX_ERROR_FIXED_FIELD when params has another SampleRate or
 * BitsPerSample, and with QUAVIX_ERROR_RANGE when data_bytes is odd or above
 * 4294967258 (the RIFF size, data_bytes + 36, must fit 32 bits). */
QUAVIX_API int quavix_wav_header(const quavix_params* params, uint32_t data_bytes,
                                 uint8_t header[QUAVIX_WAV_HEADER_SIZE]);

/* Bytes the module's wave buffer takes for a buffer length in seconds (values
 * above 60 count as 60): 44 + seconds * 82000. The default length is 5. */
QUAVIX_API size_t quavix_wav_buffer_size(uint32_t buffer_seconds);

/*
 * Generates a sound as the module does for a buffer length in seconds: renders
 * at most buffer_seconds * 41000 samples (60 seconds at most) behind a 44-byte
 * header into out and returns the size of the WAV image in bytes, 44 + 2 *
 * samples. out_size must be at least quavix_wav_buffer_size(buffer_seconds),
 * otherwise QUAVIX_ERROR_BUFFER_TOO_SMALL is returned and nothing is drawn or
 * written (QUAVIX_ERROR_FIXED_FIELD likewise, as quavix_wav_header). Samples
 * are little-endian; out needs no alignment. quavix_wav_image sizes the
 * image to the sound instead.
 */
QUAVIX_API int32_t quavix_render_wav(const quavix_params* params, quavix_random* random,
                                     uint32_t buffer_seconds, uint8_t* out, size_t out_size);

/*
 * The WAV image (44-byte header, then little-endian samples) of the sound that
 * quavix_render(params, random, ..., max_samples) makes, snprintf style:
 * returns the size of the whole image in bytes. When it is at most capacity
 * the image is written to out and random advances as the render's would;
 * otherwise random is left as it was (call again with a buffer of the returned
 * size) and the bytes of out are unspecified. out may be NULL when capacity is
 * 0; out needs no alignment. max_samples above 2147483629 (the most a WAV
 * image holds) count as that. Negative status: QUAVIX_ERROR_ARGUMENT, QUAVIX_ERROR_FIXED_FIELD.
 */
QUAVIX_API int64_t quavix_wav_image(const quavix_params* params, quavix_random* random,
                                    int32_t max_samples, uint8_t* out, size_t capacity);

/* ---- Layered sounds ---------------------------------------------------- */

/*
 * A layered sound: 1 to QUAVIX_MAX_LAYERS recipes mixed into one sound. Each
 * layer is rendered alone exactly as quavix_render renders params from
 * random_state with at most buffer_seconds * QUAVIX_SAMPLES_PER_BUFFER_SECOND
 * samples, starts offset samples into the mix (0 to QUAVIX_MAX_LAYER_OFFSET,
 * 60 seconds) and is scaled by quavix_layer_gain(gain_tenths), a gain in
 * tenths of a decibel from -60.0 to +12.0 dB. A muted layer (muted non-zero)
 * adds nothing and does not make the mix longer. Sample n of the mix is the
 * sum, in double and in layer order, of gain * x[n - offset] over the layers
 * that sound there, rounded half away from zero and clamped to 16 bits; the
 * mix is as long as the latest end of a layer that sounds.
 */
#define QUAVIX_MAX_LAYERS 8
#define QUAVIX_MAX_LAYER_OFFSET 2646000
#define QUAVIX_MIN_LAYER_GAIN_TENTHS -600
#define QUAVIX_MAX_LAYER_GAIN_TENTHS 120

typedef struct quavix_layer {
  quavix_params params;    /* the recipe, in stored units */
  uint32_t random_state;   /* the random state the layer's render starts from */
  uint32_t buffer_seconds; /* 0 to QUAVIX_MAX_BUFFER_SECONDS; 5 is the tool's default */
  int32_t offset;          /* its start in the mix, in samples */
  int32_t gain_tenths;     /* its gain in tenths of a decibel */
  int32_t muted;           /* non-zero: the layer is silent */
} quavix_layer;

/* The gain factor of a layer: the float nearest to 10^(gain_tenths / 200),
 * from one table that every build shares; 0 outside -600 .. 120. */
QUAVIX_API float quavix_layer_gain(int32_t gain_tenths);

/* A gain in decibels as the gain_tenths of a layer: QUAVIX_OK with *tenths
 * set when db is a whole number of tenths (round(db * 10) / 10 == db) of at
 * most 10^6 dB either way, as every reader of a gain in decibels takes it;
 * else QUAVIX_ERROR_VALUE (NaN included), and QUAVIX_ERROR_ARGUMENT when
 * tenths is NULL. The range, -60.0 to +12.0 dB, is quavix_layers_check's. */
QUAVIX_API int quavix_layer_gain_tenths(double db, int32_t* tenths);

/* Checks layers[0 .. count-1] against the rules above. Returns QUAVIX_OK, or
 * QUAVIX_ERROR_VALUE with the first problem in a person's words written to
 * problem (snprintf style, at most capacity bytes with the ending NUL; NULL
 * when capacity is 0), e.g. "layer 2: the gain is -60.0 to +12.0 dB in steps
 * of 0.1, not +12.1 dB", and in *bad_layer (when not NULL) the index of the
 * layer it concerns, or -1 for the count. QUAVIX_ERROR_ARGUMENT when layers is
 * NULL while count > 0, or problem is NULL while capacity > 0;
 * QUAVIX_ERROR_MEMORY. */
QUAVIX_API int quavix_layers_check(const quavix_layer* layers, size_t count, int32_t* bad_layer,
                                   char* problem, size_t capacity);

/*
 * Mixes a layered sound, snprintf style: returns the number of samples the
 * mix has. When it is at most capacity the mix is written to out[0 ..] and
 * *clipped (when not NULL) is the number of samples the clamp changed;
 * otherwise nothing is written (call again with a buffer of that many
 * samples; each call renders the layers anew). Several layers are rendered
 * side by side in vector lanes. Allocates its working memory: about 2 bytes
 * per sample of each layer and 8 per sample of the mix. Negative status:
 * QUAVIX_ERROR_ARGUMENT (layers NULL, or out NULL with capacity > 0),
 * QUAVIX_ERROR_VALUE (layers that quavix_layers_check refuses),
 * QUAVIX_ERROR_MEMORY.
 */
QUAVIX_API int64_t quavix_render_layers(const quavix_layer* layers, size_t count, int16_t* out,
                                        size_t capacity, int64_t* clipped);

/* quavix_render_layers with the mix before its rounding to 16 bits too, as
 * export steps take it: into floats (when not NULL), each sum / 32768 rounded
 * to float and not clamped (so beyond -1 .. 1 where the mix clips); into
 * samples (when not NULL) the 16-bit mix. One render for both.
 * QUAVIX_ERROR_ARGUMENT when layers is NULL, or both are NULL with capacity
 * > 0; otherwise as quavix_render_layers. */
QUAVIX_API int64_t quavix_render_layers_floats(const quavix_layer* layers, size_t count, int16_t* samples,
                                               float* floats, size_t capacity, int64_t* clipped);

/*
 * A layered sound as one line of text for links and the clipboard: "qxl1~",
 * then each layer as SETTINGS,SEED,BUFFER,START,GAIN, with ",m" after a muted
 * one, the layers separated by "~". SETTINGS is the 105-byte settings file of
 * its parameters in base64url (140 characters), SEED its random_state (1 to
 * 4294967295), BUFFER its buffer_seconds (1 to 60), START its offset in
 * samples and GAIN its gain in decibels with one decimal ("-6.0", "12.0").
 *
 * quavix_layers_text writes the text of layers[0 .. count-1] snprintf style:
 * at most capacity - 1 characters and a terminator; returns the length of the
 * whole text. QUAVIX_ERROR_VALUE when the layers cannot be written: those
 * quavix_layers_check refuses, and a random_state or a buffer_seconds of 0,
 * which the text does not carry; problem and *bad_layer (each when given) then
 * say why as quavix_layers_check does. QUAVIX_ERROR_ARGUMENT when layers is
 * NULL, or out or problem is NULL with its capacity > 0; QUAVIX_ERROR_MEMORY.
 */
QUAVIX_API int64_t quavix_layers_text(const quavix_layer* layers, size_t count, char* out, size_t capacity,
                                      int32_t* bad_layer, char* problem, size_t problem_capacity);

/*
 * Reads a layered sound's text of length bytes (spaces and line ends around
 * it are ignored) into layers[0 .. capacity-1]. Returns the number of layers
 * it holds, written when it is at most capacity (QUAVIX_MAX_LAYERS is always
 * enough). QUAVIX_ERROR_VALUE when the text cannot be used: problem then holds
 * why, naming the layer and its field as quavix_layers_check does (at most
 * capacity - 1 bytes; nothing when problem_capacity is 0), and *bad_layer (when
 * not NULL) the layer's index or -1. QUAVIX_ERROR_ARGUMENT when text is NULL
 * with length > 0, layers NULL with capacity > 0, or problem NULL with
 * problem_capacity > 0. QUAVIX_ERROR_MEMORY.
 */
QUAVIX_API int64_t quavix_layers_from_text(const char* text, size_t length, quavix_layer* layers,
                                           size_t capacity, int32_t* bad_layer, char* problem,
                                           size_t problem_capacity);

#ifdef __cplusplus
}
#endif

#endif /* QUAVIX_QUAVIX_H */
