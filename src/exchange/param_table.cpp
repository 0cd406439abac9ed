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

#define QUAVIX_STORED(field)                                                  \
  .Unit = ParamUnit::Stored, .Set = &SetAsStored<&SynthParams::field>,      \
  .Get = &GetAsStored<&SynthParams::field>
#define QUAVIX_SECONDS(field)                                                 \
  .UnitName = "seconds", .Unit = ParamUnit::Seconds,                        \
  .Set = &SetSeconds<&SynthParams::field>, .Get = &GetSeconds<&SynthParams::field>

// Shorthands for the typical ranges of the entries below.
constexpr ParamRange kUnit{0.0f, 1.0f};
constexpr ParamRange kSigned{-1.0f, 1.0f};
constexpr ParamRange kTypicalTime{0.0f, 2.2675f};  // seconds of a stored 0 to 1

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
    {.Index = 0, .Name = "Volume", .Label = "Volume", .Group = ParamGroup::Volume,
     QUAVIX_STORED(Volume), .TypicalStored = {0.0f, 2.0f}, .TypicalUser = {0.0f, 2.0f},
     .Help = "loudness, proportional; loud sounds are clipped"},
    {.Index = 1, .Name = "WaveType", .Label = "Wave type", .Group = ParamGroup::Wave,
     .UnitName = "0 square, 1 sawtooth, 2 sine, 3 noise", .Unit = ParamUnit::WaveType,
     .Set = &SetWaveType, .Get = &GetWaveType, .Whole = true, .TypicalStored = {0.0f, 3.0f},
     .TypicalUser = {0.0f, 3.0f},
     .Help = "the oscillator's shape; any other number gives silence of the normal length"},
    {.Index = 2, .Name = "AttackTime", .Label = "Attack time", .Group = ParamGroup::Envelope,
     QUAVIX_SECONDS(AttackTime), .TypicalStored = kUnit, .TypicalUser = kTypicalTime,
     .Help = "time to rise from silence to full level"},
    {.Index = 3, .Name = "SustainTime", .Label = "Sustain time", .Group = ParamGroup::Envelope,
     QUAVIX_SECONDS(SustainTime), .TypicalStored = kUnit, .TypicalUser = kTypicalTime,
     .Help = "time at full level"},
    {.Index = 4, .Name = "SustainPunch", .Label = "Sustain punch", .Group = ParamGroup::Envelope,
     QUAVIX_STORED(SustainPunch), .TypicalStored = {0.0f, 0.8f}, .TypicalUser = {0.0f, 0.8f},
     .Help = "the sustain starts at (1 + 2 \u00d7 punch) times full level and falls back to it: "
             "a percussive hit"},
    {.Index = 5, .Name = "DecayTime", .Label = "Decay time", .Group = ParamGroup::Envelope,
     QUAVIX_SECONDS(DecayTime), .TypicalStored = kUnit, .TypicalUser = kTypicalTime,
     .Help = "time to fade out to silence"},
    {.Index = 6, .Name = "StartFreq", .Label = "Start frequency", .Group = ParamGroup::Pitch,
     QUAVIX_STORED(StartFreq), .Frequency = true, .TypicalStored = kUnit, .TypicalUser = kUnit,
     .Help = "the starting pitch: about 3528 \u00d7 value\u00b2 + 3.5 Hz; enter Hertz through "
             "FreqHz"},
    {.Index = 7, .Name = "MinFreq", .Label = "Minimum frequency", .Group = ParamGroup::Pitch,
     QUAVIX_STORED(MinFreq), .Frequency = true, .TypicalStored = kUnit, .TypicalUser = kUnit,
     .Help = "a pitch floor: when a falling pitch reaches it, the sound stops"},
    {.Index = 8, .Name = "Slide", .Label = "Slide", .Group = ParamGroup::Pitch,
     QUAVIX_STORED(Slide), .TypicalStored = kSigned, .TypicalUser = kSigned,
     .Help = "continuous pitch slide: positive rises, negative falls; strength grows with the "
             "cube of the value"},
    {.Index = 9, .Name = "DeltaSlide", .Label = "Delta slide", .Group = ParamGroup::Pitch,
     QUAVIX_STORED(DeltaSlide), .TypicalStored = kSigned, .TypicalUser = kSigned,
     .Help = "changes the slide over time: positive bends it upwards, negative downwards"},
    {.Index = 10, .Name = "VibDepth", .Label = "Vibrato depth", .Group = ParamGroup::Vibrato,
     QUAVIX_STORED(VibDepth), .TypicalStored = kUnit, .TypicalUser = kUnit,
     .Help = "width of the pitch wobble (1 swings the period by \u00b150%); 0 or less turns "
             "vibrato off"},
    {.Index = 11, .Name = "VibSpeed", .Label = "Vibrato speed", .Group = ParamGroup::Vibrato,
     .UnitName = "cycles per second", .Unit = ParamUnit::CyclesPerSecond, .Set = &SetVibSpeed,
     .Get = &GetVibSpeed, .TypicalStored = kUnit, .TypicalUser = {0.0f, 70.0f},
     .Help = "rate of the wobble"},
    {.Index = 12, .Name = "ChangeAmount", .Label = "Jump amount", .Group = ParamGroup::Change,
     QUAVIX_STORED(ChangeAmount), .TypicalStored = kSigned, .TypicalUser = kSigned,
     .Help = "size of the jump: positive jumps up (0.5 raises the pitch by about 29%), negative "
             "down (-0.5 lowers it to 29%)"},
    {.Index = 13, .Name = "ChangeSpeed", .Label = "Jump time", .Group = ParamGroup::Change,
     .UnitName = "seconds", .Unit = ParamUnit::ChangeSeconds, .Set = &SetChangeSpeed,
     .Get = &GetChangeSpeed, .TypicalStored = kUnit, .TypicalUser = {0.0f, 0.4535f},
     .Help = "when the jump happens after the start (or repeat); 0 means never"},
    {.Index = 14, .Name = "SquareDuty", .Label = "Square duty", .Group = ParamGroup::Duty,
     QUAVIX_STORED(SquareDuty), .TypicalStored = kUnit, .TypicalUser = kUnit,
     .Help = "0 is an even square (50% duty); towards 1 the pulse narrows to nothing and the "
             "tone grows thin and nasal"},
    {.Index = 15, .Name = "DutySweep", .Label = "Duty sweep", .Group = ParamGroup::Duty,
     QUAVIX_STORED(DutySweep), .TypicalStored = kSigned, .TypicalUser = kSigned,
     .Help = "changes the duty over time: positive narrows the pulse, negative widens it"},
    {.Index = 16, .Name = "RepeatSpeed", .Label = "Repeat speed", .Group = ParamGroup::Repeat,
     .UnitName = "repeats per second", .Unit = ParamUnit::RepeatsPerSecond,
     .Set = &SetRepeatSpeed, .Get = &GetRepeatSpeed, .TypicalStored = {0.0f, 0.8f},
     .TypicalUser = {0.0f, 55.0f},
     .Help = "restarts the pitch (slide, jump and duty) this often while the envelope goes on: "
             "trills, alarms, engines; 0 turns it off"},
    {.Index = 17, .Name = "PhaserOffset", .Label = "Phaser offset", .Group = ParamGroup::Phaser,
     QUAVIX_STORED(PhaserOffset), .TypicalStored = kSigned, .TypicalUser = kSigned,
     .Help = "mixes in a delayed copy of the sound (up to 3 ms): a hollow, flanged colour; the "
             "sign matters only together with the sweep"},
    {.Index = 18, .Name = "PhaserSweep", .Label = "Phaser sweep", .Group = ParamGroup::Phaser,
     QUAVIX_STORED(PhaserSweep), .TypicalStored = kSigned, .TypicalUser = kSigned,
     .Help = "moves the delay over time, for a swooshing sound"},
    {.Index = 19, .Name = "LPCutoff", .Label = "Low-pass cutoff", .Group = ParamGroup::Filters,
     QUAVIX_STORED(LPCutoff), .TypicalStored = kUnit, .TypicalUser = kUnit,
     .Help = "low-pass filter: lower values make the sound duller and softer; exactly 1 turns "
             "the filter off"},
    {.Index = 20, .Name = "LPCutoffSweep", .Label = "Low-pass sweep", .Group = ParamGroup::Filters,
     QUAVIX_STORED(LPCutoffSweep), .TypicalStored = kSigned, .TypicalUser = kSigned,
     .Help = "opens (positive) or closes (negative) the low-pass filter over time"},
    {.Index = 21, .Name = "LPResonance", .Label = "Low-pass resonance",
     .Group = ParamGroup::Filters, QUAVIX_STORED(LPResonance), .TypicalStored = kUnit,
     .TypicalUser = kUnit, .Help = "emphasis at the low-pass cutoff: higher values ring and whistle"},
    {.Index = 22, .Name = "HPCutoff", .Label = "High-pass cutoff", .Group = ParamGroup::Filters,
     QUAVIX_STORED(HPCutoff), .TypicalStored = kUnit, .TypicalUser = kUnit,
     .Help = "high-pass filter: higher values remove more of the bass, for a thinner sound"},
    {.Index = 23, .Name = "HPCutoffSweep", .Label = "High-pass sweep",
     .Group = ParamGroup::Filters, QUAVIX_STORED(HPCutoffSweep), .TypicalStored = kSigned,
     .TypicalUser = kSigned,
     .Help = "raises (positive) or lowers (negative) the high-pass cutoff over time"},
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
      if (userValue > FastestVibrato()) return UserValueProblem::VibratoTooFast;
      [[fallthrough]];
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
    case UserValueProblem::VibratoTooFast: return "a vibrato faster than 22050 cycles per second sounds slower";
  }
  return "";
}

float LongestStageSeconds() {
  return StoredToTime(DefaultParams(),
                      Single(std::sqrt(static_cast<double>(kLongestSound) / kEnvelopeScale)));
}

float FastestVibrato() {
  return static_cast<float>(DefaultParams().SampleRate / 2);
}

namespace {

// The stored speeds at the ends of the counts trunc(single(single(1 - f)^2) x
// 20000): the most negative whose count still fits int32 (1 - f = 327.67999,
// the root of 107374.1796875, the float below 2^31 / 20000: 2147483593
// samples), the largest that counts one sample (1 - f just above
// sqrt(1 / 20000)), and the one just below 0 (1 - f = 1 + 2^-23, which
// counts 20000 samples as 0 does without meaning "no repeat").
constexpr float kRarestEventSpeed = -326.679993f;
constexpr float kEverySampleSpeed = 0.992928922f;
constexpr float kJustBelowZeroSpeed = -0x1p-23f;

}  // namespace

void SetUserValue(const ParamInfo& info, SynthParams& params, float userValue) {
  info.Set(params, userValue);
  const bool repeat = info.Unit == ParamUnit::RepeatsPerSecond;
  if (!(userValue > 0.0f) || (!repeat && info.Unit != ParamUnit::ChangeSeconds)) return;
  float& stored = repeat ? params.RepeatSpeed : params.ChangeSpeed;
  const std::int32_t count = SpeedSamples(stored);
  if (count < 0) {
    stored = kRarestEventSpeed;  // NaN, infinite or past the int32 range
  } else if (count == 0) {
    stored = kEverySampleSpeed;  // faster than a sample, or the jump's stored 1
  } else if (repeat && stored == 0.0f) {
    stored = kJustBelowZeroSpeed;
  }
}

ParamRange ValidUserRange(const ParamInfo& info) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  switch (info.Unit) {
    case ParamUnit::WaveType: return {0.0f, 3.0f};
    case ParamUnit::Seconds: return {0.0f, LongestStageSeconds()};
    case ParamUnit::CyclesPerSecond:
      return {0.0f, FastestVibrato()};
    case ParamUnit::ChangeSeconds:
    case ParamUnit::RepeatsPerSecond: return {0.0f, kInfinity};
    case ParamUnit::Stored: break;
  }
  return {-kInfinity, kInfinity};
}

float DefaultStored(const ParamInfo& info) { return StoredValue(DefaultParams(), info.Index); }

float DefaultUser(const ParamInfo& info) { return info.Get(DefaultParams()); }

}  // namespace quavix
