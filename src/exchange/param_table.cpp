#include "exchange/param_table.h"

#include "exchange/param_cells.h"
#include "exchange/param_units.h"
#include "synth/ascii_text.h"
#include "synth/exact_math.h"

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

}  // namespace

const std::array<ParamInfo, kParamCount> kParamTable = {{
    {0, "Volume", "Set volume to %0", "Sound volume", "", QUAVIX_STORED(Volume)},
    {1, "WaveType", "Set wave type to %0",
     "Wave type (0: Square wave, 1: Sawtooth, 2: Sine, 3: Noise)",
     "0 square wave, 1 sawtooth, 2 sine, 3 noise", ParamUnit::WaveType, &SetWaveType,
     &GetWaveType},
    {2, "AttackTime", "Set attack time to %0", "Attack time", "seconds",
     QUAVIX_SECONDS(AttackTime)},
    {3, "SustainTime", "Set sustain time to %0", "Sustain time in seconds", "seconds",
     QUAVIX_SECONDS(SustainTime)},
    {4, "SustainPunch", "Set sustain punch to %0", "Sustain punch", "",
     QUAVIX_STORED(SustainPunch)},
    {5, "DecayTime", "Set decay time to %0", "Decay time in seconds", "seconds",
     QUAVIX_SECONDS(DecayTime)},
    {6, "StartFreq", "Set start frequency to %0",
     "Start frequency (Use expression to enter Hertz)", "", QUAVIX_STORED(StartFreq)},
    {7, "MinFreq", "Set minimum frequency to %0",
     "Minimum frequency (Use expression to enter Hertz)", "", QUAVIX_STORED(MinFreq)},
    {8, "Slide", "Set slide to %0", "Slide", "", QUAVIX_STORED(Slide)},
    {9, "DeltaSlide", "Set delta slide to %0", "Delta slide", "", QUAVIX_STORED(DeltaSlide)},
    {10, "VibDepth", "Set vibrato depth to %0", "Vibrato depth", "", QUAVIX_STORED(VibDepth)},
    {11, "VibSpeed", "Set vibrato speed to %0", "Vibrato Speed in cycles per second",
     "cycles per second", ParamUnit::CyclesPerSecond, &SetVibSpeed, &GetVibSpeed},
    {12, "ChangeAmount", "Set change amount to %0", "Change amount", "",
     QUAVIX_STORED(ChangeAmount)},
    {13, "ChangeSpeed", "Set change speed to %0", "Change speed in seconds", "seconds",
     ParamUnit::ChangeSeconds, &SetChangeSpeed, &GetChangeSpeed},
    {14, "SquareDuty", "Set square duty to %0", "Square duty", "", QUAVIX_STORED(SquareDuty)},
    {15, "DutySweep", "Set square duty sweep to %0", "Square duty sweep", "",
     QUAVIX_STORED(DutySweep)},
    {16, "RepeatSpeed", "Set repeat speed to %0", "Repeat speed in repeats per second",
     "repeats per second", ParamUnit::RepeatsPerSecond, &SetRepeatSpeed, &GetRepeatSpeed},
    {17, "PhaserOffset", "Set phaser offset to %0", "Phaser offset", "",
     QUAVIX_STORED(PhaserOffset)},
    {18, "PhaserSweep", "Set phaser sweep to %0", "Phaser sweep", "",
     QUAVIX_STORED(PhaserSweep)},
    {19, "LPCutoff", "Set LP filter cutoff to %0", "Low pass filter cutoff", "",
     QUAVIX_STORED(LPCutoff)},
    {20, "LPCutoffSweep", "Set LP filter cutoff sweep to %0", "Low pass filter cutoff sweep",
     "", QUAVIX_STORED(LPCutoffSweep)},
    {21, "LPResonance", "Set LP filter resonance to %0", "Low pass filter resonance", "",
     QUAVIX_STORED(LPResonance)},
    {22, "HPCutoff", "Set HP filter cutoff to %0", "High pass filter cutoff", "",
     QUAVIX_STORED(HPCutoff)},
    {23, "HPCutoffSweep", "Set HP filter cutoff sweep to %0", "High pass filter cutoff sweep",
     "", QUAVIX_STORED(HPCutoffSweep)},
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
