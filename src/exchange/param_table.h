// One description per sound parameter, in index order: its name and label,
// group, the users' unit and conversion, whether it takes whole numbers, its
// typical ranges, a one-line help text, and the rule a value typed by a person
// must keep. The module's registry, the C API, the command-line tool, the
// JavaScript package, the Studio and the guide all read from this table; the
// defaults are those of DefaultParams(). The module's own texts for its
// setters live beside its registry (host/param_texts.h).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

#include "synth/synth_params.h"

namespace quavix {

// How a parameter's user value maps to the stored value.
enum class ParamUnit {
  Stored,            // stored as given
  WaveType,          // the integer wave type, stored as given
  Seconds,           // time conversion: f = sqrt(v / 2.2675)
  CyclesPerSecond,   // vibrato conversion
  ChangeSeconds,     // change conversion: f = 1 - sqrt(v / 20000 * R)
  RepeatsPerSecond,  // repeat conversion
};

// The groups the parameters are shown in, in the order they are shown.
enum class ParamGroup { Wave, Envelope, Pitch, Vibrato, Change, Duty, Repeat, Phaser, Filters, Volume };
inline constexpr int kParamGroupCount = 10;

struct ParamGroupInfo {
  std::string_view Id;     // "wave", "envelope", ...
  std::string_view Title;  // "Wave", "Envelope", "Pitch jump", ...
};
extern const std::array<ParamGroupInfo, kParamGroupCount> kParamGroups;
const ParamGroupInfo& GroupOf(ParamGroup group);

// A typical range: the values presets and randomize produce.
struct ParamRange {
  float Min;
  float Max;
};

struct ParamInfo {
  std::int32_t Index = 0;        // 0..23, also the settings-string field
  std::string_view Name;         // field and expression name, e.g. "AttackTime"
  std::string_view Label;        // "Attack time": the parameter in a person's words
  ParamGroup Group = ParamGroup::Wave;
  std::string_view UnitName{};   // user unit for docs: "seconds", "" when stored as is;
                                 // for WaveType the meaning of its values
  ParamUnit Unit = ParamUnit::Stored;
  // Dedicated setter and getter in the user's unit. For WaveType the value is
  // truncated toward zero with the checked conversion.
  void (*Set)(SynthParams& params, float userValue) = nullptr;
  float (*Get)(const SynthParams& params) = nullptr;
  bool Whole = false;            // takes whole numbers only (WaveType)
  bool Frequency = false;        // a stored frequency, also set by pitch in Hertz
  ParamRange TypicalStored{};    // in stored units
  ParamRange TypicalUser{};      // in the users' unit
  std::string_view Help;         // one line: what the parameter does
};

extern const std::array<ParamInfo, kParamCount> kParamTable;

// The entry of a field name (ASCII case-insensitive), or nullptr.
const ParamInfo* FindParam(std::string_view name);

// What is wrong with a value a person typed in the users' unit of a
// parameter; the module itself stores any value.
enum class UserValueProblem {
  None,
  NotFinite,       // not a number or infinite
  NotAWaveType,    // WaveType other than the whole numbers 0-3
  NegativeTime,    // a time below 0 (its conversion would store NaN)
  NegativeSpeed,   // a vibrato, change or repeat speed below 0 (likewise)
  StageTooLong,    // an envelope stage longer than the longest sound
  VibratoTooFast,  // a vibrato above half the sample rate (it would sound slower)
};

// The rule a typed value keeps, checked after the conversion where the
// conversion decides (a stage's length).
UserValueProblem CheckUserValue(const ParamInfo& info, float userValue);

// The rule in the user's words, e.g. "a time cannot be negative"; "" for None.
std::string_view UserValueRule(UserValueProblem problem);

// Stores a value in the users' unit as the tool, the C API, the JavaScript
// package and the Studio store it: the dedicated setter's conversion, except
// for a positive jump time or repeat speed whose stored form the synthesis
// would read as no event or as a count beyond the int32 range (which wraps to
// an event at every sample, or a jump at once). Such a value stores the
// nearest value that keeps its meaning: a count too long for int32 the
// longest count (2147483593 samples, later than any sound), a count below one
// sample one sample, and a repeat speed that rounds to the stored 0 ("no
// repeat") the stored value just below 0, with the same 20000 samples. The
// module's setters (ParamInfo::Set) store the plain conversion.
void SetUserValue(const ParamInfo& info, SynthParams& params, float userValue);

// The smallest and largest value CheckUserValue accepts in the users' unit
// (-/+infinity when unbounded); a time's largest is LongestStageSeconds(), a
// vibrato's FastestVibrato().
ParamRange ValidUserRange(const ParamInfo& info);

// The longest envelope stage a time may ask for, in seconds.
float LongestStageSeconds();

// The fastest vibrato a speed may ask for: half the sample rate, in cycles
// per second. The vibrato moves once per sample, so a faster one would sound
// as slow as its distance from the sample rate.
float FastestVibrato();

// The default of a parameter, stored and in the users' unit.
float DefaultStored(const ParamInfo& info);
float DefaultUser(const ParamInfo& info);

// The stored value of index i as the settings string and indexed access see
// it: the float, or WaveType converted to float.
float StoredValue(const SynthParams& params, std::int32_t index);

// "Set variable with index %0 to %1": index 1 truncates the value toward zero
// into WaveType, 0 and 2..23 store it unconverted; other indexes (compared as
// unsigned) change nothing.
void SetVariable(SynthParams& params, std::int32_t index, float value);

// Variable(index): WaveType as an integer for index 1, the stored float for
// 0 and 2..23, the integer 0 for any other index.
std::variant<std::int32_t, float> GetVariable(const SynthParams& params, std::int32_t index);

}  // namespace quavix
