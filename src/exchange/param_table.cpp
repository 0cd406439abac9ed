#include "exchange/param_table.h"

#include <cmath>
#include <limits>

#include "exchange/param_cells.h"
#include "exchange/param_units.h"
#include "synth/ascii_text.h"
#include "synth/exact_math.h"
#include "synth/sound_length.h"

namespace quavix {
namespace detail {
namespace {

using FloatMember = float SynthParams::*;

// Index order; the WaveType slot holds no float member.
constexpr std::array<FloatMember, kParamCount> kFloatMembers = {
    &SynthParams::Volume,        nullptr,
    &SynthParams::AttackTime,    &SynthParams::SustainTime,
    &SynthParams::SustainPunch,  &SynthParams::DecayTime,
    &SynthParams::StartFreq,     &SynthParams::MinFreq,
    &SynthParams::Slide,         &SynthParams::DeltaSlide,
    &SynthParams::VibDepth,      &SynthParams::VibSpeed,
    &SynthParams::ChangeAmount,  &SynthParams::ChangeSpeed,
    &SynthParams::SquareDuty,    &SynthParams::DutySweep,
    &SynthParams::RepeatSpeed,   &SynthParams::PhaserOffset,
    &SynthParams::PhaserSweep,   &SynthParams::LPCutoff,
    &SynthParams::LPCutoffSweep, &SynthParams::LPResonance,
    &SynthParams::HPCutoff,      &SynthParams::HPCutoffSweep,
};

}  // namespace

float* FloatCell(SynthParams& params, std::int32_t index) {
  if (!IsParamIndex(index) || index == kWaveTypeIndex) {
    return nullptr;
  }
  return &(params.*kFloatMembers[static_cast<std::size_t>(index)]);
}

const float* FloatCell(const SynthParams& params, std::int32_t index) {
  if (!IsParamIndex(index) || index == kWaveTypeIndex) {
    return nullptr;
  }
  return &(params.*kFloatMembers[static_cast<std::size_t>(index)]);
}

}  // namespace detail

namespace {

// Setters and getters of the table. Each parameter gets its own pair, built
// from the field and the conversion of its unit.
template <float SynthParams::*Field>
void SetAsStored(SynthParams& p, float v) {
  p.*Field = v;
}
template <float SynthParams::*Field>
float GetAsStored(const SynthParams& p) {
  return p.*Field;
}

template <float SynthParams::*Field>
void SetSeconds(SynthParams& p, float v) {
  p.*Field = TimeToStored(p, v);
}
template <float SynthParams::*Field>
float GetSeconds(const SynthParams& p) {
  return StoredToTime(p, p.*Field);
}

void SetWaveType(SynthParams& p, float v) { p.WaveType = TruncToInt32(static_cast<double>(v)); }
float GetWaveType(const SynthParams& p) { return static_cast<float>(p.WaveType); }

void SetVibSpeed(SynthParams& p, float v) { p.VibSpeed = VibratoToStored(p, v); }
float GetVibSpeed(const SynthParams& p) { return StoredToVibrato(p, p.VibSpeed); }

void SetChangeSpeed(SynthParams& p, float v) { p.ChangeSpeed = ChangeToStored(p, v); }
float GetChangeSpeed(const SynthParams& p) { return StoredToChange(p, p.ChangeSpeed); }

void SetRepeatSpeed(SynthParams& p, float v) { p.RepeatSpeed = RepeatToStored(p, v); }
float GetRepeatSpeed(const SynthParams& p) { return StoredToRepeat(p, p.RepeatSpeed); }

#define QUAVIX_STORED(field) ParamUnit::Stored, &SetAsStored<&SynthParams::field>, \
                             &GetAsStored<&SynthParams::field>
#define QUAVIX_SECONDS(field) ParamUnit::Seconds, &SetSeconds<&SynthParams::field>, \
                              &GetSeconds<&SynthParams::field>

// Shorthands for the entries below: the group, the typical ranges (stored,
// then in the users' unit) and the flags.
constexpr ParamRange kUnit{0.0f, 1.0f};
constexpr ParamRange kSigned{-1.0f, 1.0f};
constexpr float kLongestTypicalTime = 2.2675f;  // seconds of a stored 1
constexpr bool kWhole = true;
constexpr bool kFrequency = true;

}  // namespace

const std::array<ParamGroupInfo, kParamGroupCount> kParamGroups = {{
    {"wave", "Wave"},
    {"envelope", "Envelope"},
    {"pitch", "Pitch"},
    {"vibrato", "Vibrato"},
    {"change", "Pitch jump"},
    {"duty", "Square duty"},
    {"repeat", "Repeat"},
    {"phaser", "Phaser"},
    {"filters", "Filters"},
    {"volume", "Volume"},
}};

const ParamGroupInfo& GroupOf(ParamGroup group) {
  return kParamGroups[static_cast<std::size_t>(group)];
}

const std::array<ParamInfo, kParamCount> kParamTable = {{
    {0, "Volume", "Set volume to %0", "Sound volume", "", QUAVIX_STORED(Volume), "Volume",
     ParamGroup::Volume, false, false, {0.0f, 2.0f}, {0.0f, 2.0f},
     "loudness, proportional; loud sounds are clipped", "0.5"},
    {1, "WaveType", "Set wave type to %0",
     "Wave type (0: Square wave, 1: Sawtooth, 2: Sine, 3: Noise)",
     "0 square, 1 sawtooth, 2 sine, 3 noise", ParamUnit::WaveType, &SetWaveType,
     &GetWaveType, "Wave type", ParamGroup::Wave, kWhole, false, {0.0f, 3.0f}, {0.0f, 3.0f},
     "the oscillator's shape; any other number gives silence of the normal length", "3"},
    {2, "AttackTime", "Set attack time to %0", "Attack time", "seconds",
     QUAVIX_SECONDS(AttackTime), "Attack time", ParamGroup::Envelope, false, false, kUnit,
     {0.0f, kLongestTypicalTime}, "time to rise from silence to full level", "0.05"},
    {3, "SustainTime", "Set sustain time to %0", "Sustain time in seconds", "seconds",
     QUAVIX_SECONDS(SustainTime), "Sustain time", ParamGroup::Envelope, false, false, kUnit,
     {0.0f, kLongestTypicalTime}, "time at full level", "0.1"},
    {4, "SustainPunch", "Set sustain punch to %0", "Sustain punch", "",
     QUAVIX_STORED(SustainPunch), "Sustain punch", ParamGroup::Envelope, false, false,
     {0.0f, 0.8f}, {0.0f, 0.8f},
     "the sustain starts at (1 + 2 \u00d7 punch) times full level and falls back to it: a "
     "percussive hit",
     "0.4"},
    {5, "DecayTime", "Set decay time to %0", "Decay time in seconds", "seconds",
     QUAVIX_SECONDS(DecayTime), "Decay time", ParamGroup::Envelope, false, false, kUnit,
     {0.0f, kLongestTypicalTime}, "time to fade out to silence", "0.3"},
    {6, "StartFreq", "Set start frequency to %0",
     "Start frequency (Use expression to enter Hertz)", "", QUAVIX_STORED(StartFreq),
     "Start frequency", ParamGroup::Pitch, false, kFrequency, kUnit, kUnit,
     "the starting pitch: about 3528 \u00d7 value\u00b2 + 3.5 Hz; enter Hertz through FreqHz",
     "FreqHz( \"Quavix\", 440 )"},
    {7, "MinFreq", "Set minimum frequency to %0",
     "Minimum frequency (Use expression to enter Hertz)", "", QUAVIX_STORED(MinFreq),
     "Minimum frequency", ParamGroup::Pitch, false, kFrequency, kUnit, kUnit,
     "a pitch floor: when a falling pitch reaches it, the sound stops", "FreqHz( \"Quavix\", 200 )"},
    {8, "Slide", "Set slide to %0", "Slide", "", QUAVIX_STORED(Slide), "Slide", ParamGroup::Pitch,
     false, false, kSigned, kSigned,
     "continuous pitch slide: positive rises, negative falls; strength grows with the cube of "
     "the value",
     "-0.3"},
    {9, "DeltaSlide", "Set delta slide to %0", "Delta slide", "", QUAVIX_STORED(DeltaSlide),
     "Delta slide", ParamGroup::Pitch, false, false, kSigned, kSigned,
     "changes the slide over time: positive bends it upwards, negative downwards", "0.2"},
    {10, "VibDepth", "Set vibrato depth to %0", "Vibrato depth", "", QUAVIX_STORED(VibDepth),
     "Vibrato depth", ParamGroup::Vibrato, false, false, kUnit, kUnit,
     "width of the pitch wobble (1 swings the period by \u00b150%); 0 or less turns vibrato off",
     "0.3"},
    {11, "VibSpeed", "Set vibrato speed to %0", "Vibrato Speed in cycles per second",
     "cycles per second", ParamUnit::CyclesPerSecond, &SetVibSpeed, &GetVibSpeed,
     "Vibrato speed", ParamGroup::Vibrato, false, false, kUnit, {0.0f, 70.0f},
     "rate of the wobble", "8"},
    {12, "ChangeAmount", "Set change amount to %0", "Change amount", "",
     QUAVIX_STORED(ChangeAmount), "Jump amount", ParamGroup::Change, false, false, kSigned,
     kSigned,
     "size of the jump: positive jumps up (0.5 raises the pitch by about 29%), negative down "
     "(-0.5 lowers it to 29%)",
     "0.4"},
    {13, "ChangeSpeed", "Set change speed to %0", "Change speed in seconds", "seconds",
     ParamUnit::ChangeSeconds, &SetChangeSpeed, &GetChangeSpeed, "Jump time", ParamGroup::Change,
     false, false, kUnit, {0.0f, 0.4535f},
     "when the jump happens after the start (or repeat); 0 means never", "0.1"},
    {14, "SquareDuty", "Set square duty to %0", "Square duty", "", QUAVIX_STORED(SquareDuty),
     "Square duty", ParamGroup::Duty, false, false, kUnit, kUnit,
     "0 is an even square (50% duty); towards 1 the pulse narrows to nothing and the tone grows "
     "thin and nasal",
     "0.5"},
    {15, "DutySweep", "Set square duty sweep to %0", "Square duty sweep", "",
     QUAVIX_STORED(DutySweep), "Duty sweep", ParamGroup::Duty, false, false, kSigned, kSigned,
     "changes the duty over time: positive narrows the pulse, negative widens it", "0.2"},
    {16, "RepeatSpeed", "Set repeat speed to %0", "Repeat speed in repeats per second",
     "repeats per second", ParamUnit::RepeatsPerSecond, &SetRepeatSpeed, &GetRepeatSpeed,
     "Repeat speed", ParamGroup::Repeat, false, false, {0.0f, 0.8f}, {0.0f, 55.0f},
     "restarts the pitch (slide, jump and duty) this often while the envelope goes on: trills, "
     "alarms, engines; 0 turns it off",
     "12"},
    {17, "PhaserOffset", "Set phaser offset to %0", "Phaser offset", "",
     QUAVIX_STORED(PhaserOffset), "Phaser offset", ParamGroup::Phaser, false, false, kSigned,
     kSigned,
     "mixes in a delayed copy of the sound (up to 3 ms): a hollow, flanged colour; the sign "
     "matters only together with the sweep",
     "0.2"},
    {18, "PhaserSweep", "Set phaser sweep to %0", "Phaser sweep", "", QUAVIX_STORED(PhaserSweep),
     "Phaser sweep", ParamGroup::Phaser, false, false, kSigned, kSigned,
     "moves the delay over time, for a swooshing sound", "-0.1"},
    {19, "LPCutoff", "Set LP filter cutoff to %0", "Low pass filter cutoff", "",
     QUAVIX_STORED(LPCutoff), "Low-pass cutoff", ParamGroup::Filters, false, false, kUnit, kUnit,
     "low-pass filter: lower values make the sound duller and softer; exactly 1 turns the "
     "filter off",
     "0.4"},
    {20, "LPCutoffSweep", "Set LP filter cutoff sweep to %0", "Low pass filter cutoff sweep", "",
     QUAVIX_STORED(LPCutoffSweep), "Low-pass sweep", ParamGroup::Filters, false, false, kSigned,
     kSigned, "opens (positive) or closes (negative) the low-pass filter over time", "-0.2"},
    {21, "LPResonance", "Set LP filter resonance to %0", "Low pass filter resonance", "",
     QUAVIX_STORED(LPResonance), "Low-pass resonance", ParamGroup::Filters, false, false, kUnit,
     kUnit, "emphasis at the low-pass cutoff: higher values ring and whistle", "0.6"},
    {22, "HPCutoff", "Set HP filter cutoff to %0", "High pass filter cutoff", "",
     QUAVIX_STORED(HPCutoff), "High-pass cutoff", ParamGroup::Filters, false, false, kUnit, kUnit,
     "high-pass filter: higher values remove more of the bass, for a thinner sound", "0.1"},
    {23, "HPCutoffSweep", "Set HP filter cutoff sweep to %0", "High pass filter cutoff sweep",
     "", QUAVIX_STORED(HPCutoffSweep), "High-pass sweep", ParamGroup::Filters, false, false,
     kSigned, kSigned, "raises (positive) or lowers (negative) the high-pass cutoff over time",
     "0.3"},
}};

#undef QUAVIX_STORED
#undef QUAVIX_SECONDS

const ParamInfo* FindParam(std::string_view name) {
  for (const ParamInfo& info : kParamTable) {
    if (EqualsIgnoringAsciiCase(info.Name, name)) {
      return &info;
    }
  }
  return nullptr;
}

float StoredValue(const SynthParams& params, std::int32_t index) {
  if (index == detail::kWaveTypeIndex) {
    return static_cast<float>(params.WaveType);
  }
  const float* cell = detail::FloatCell(params, index);
  return cell != nullptr ? *cell : 0.0f;
}

void SetVariable(SynthParams& params, std::int32_t index, float value) {
  if (index == detail::kWaveTypeIndex) {
    params.WaveType = TruncToInt32(static_cast<double>(value));
  } else if (float* cell = detail::FloatCell(params, index)) {
    *cell = value;
  }
}

std::variant<std::int32_t, float> GetVariable(const SynthParams& params, std::int32_t index) {
  if (index == detail::kWaveTypeIndex) {
    return params.WaveType;
  }
  if (const float* cell = detail::FloatCell(params, index)) {
    return *cell;
  }
  return std::int32_t{0};
}

}  // namespace quavix

namespace quavix {

UserValueProblem CheckUserValue(const ParamInfo& info, float userValue) {
  if (!std::isfinite(userValue)) return UserValueProblem::NotFinite;
  switch (info.Unit) {
    case ParamUnit::WaveType:
      if (userValue != std::trunc(userValue) || userValue < 0.0f || userValue > 3.0f) {
        return UserValueProblem::NotAWaveType;
      }
      return UserValueProblem::None;
    case ParamUnit::Seconds:
      if (userValue < 0.0f) return UserValueProblem::NegativeTime;
      if (StageOutlastsLongestSound(TimeToStored(DefaultParams(), userValue))) {
        return UserValueProblem::StageTooLong;
      }
      return UserValueProblem::None;
    case ParamUnit::CyclesPerSecond:
    case ParamUnit::ChangeSeconds:
    case ParamUnit::RepeatsPerSecond:
      return userValue < 0.0f ? UserValueProblem::NegativeSpeed : UserValueProblem::None;
    case ParamUnit::Stored:
      return UserValueProblem::None;
  }
  return UserValueProblem::None;
}

std::string_view UserValueRule(UserValueProblem problem) {
  switch (problem) {
    case UserValueProblem::None: return "";
    case UserValueProblem::NotFinite: return "a value must be a finite number";
    case UserValueProblem::NotAWaveType: return "the wave type is 0 square, 1 sawtooth, 2 sine or 3 noise";
    case UserValueProblem::NegativeTime: return "a time cannot be negative";
    case UserValueProblem::NegativeSpeed: return "a speed cannot be negative";
    case UserValueProblem::StageTooLong: return "longer than the longest possible sound";
  }
  return "";
}

float LongestStageSeconds() {
  return StoredToTime(DefaultParams(),
                      Single(std::sqrt(static_cast<double>(kLongestSound) / kEnvelopeScale)));
}

ParamRange ValidUserRange(const ParamInfo& info) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  switch (info.Unit) {
    case ParamUnit::WaveType: return {0.0f, 3.0f};
    case ParamUnit::Seconds: return {0.0f, LongestStageSeconds()};
    case ParamUnit::CyclesPerSecond:
    case ParamUnit::ChangeSeconds:
    case ParamUnit::RepeatsPerSecond: return {0.0f, kInfinity};
    case ParamUnit::Stored: break;
  }
  return {-kInfinity, kInfinity};
}

float DefaultStored(const ParamInfo& info) { return StoredValue(DefaultParams(), info.Index); }

float DefaultUser(const ParamInfo& info) { return info.Get(DefaultParams()); }

}  // namespace quavix
