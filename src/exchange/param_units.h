// The unit conversions of the dedicated setters and getters, and FreqHz.
// Every conversion reads R = SampleRate of the parameters each time.
#pragma once

#include <cstdint>

#include "synth/synth_params.h"

namespace quavix {

// Seconds <-> stored envelope time (AttackTime, SustainTime, DecayTime).
float TimeToStored(const SynthParams& params, float seconds);
float StoredToTime(const SynthParams& params, float stored);

// Cycles per second <-> stored VibSpeed.
float VibratoToStored(const SynthParams& params, float cyclesPerSecond);
float StoredToVibrato(const SynthParams& params, float stored);

// Seconds <-> stored ChangeSpeed.
float ChangeToStored(const SynthParams& params, float seconds);
float StoredToChange(const SynthParams& params, float stored);

// Repeats per second <-> stored RepeatSpeed (0 stores 1.0; a stored 0 reads 0).
float RepeatToStored(const SynthParams& params, float repeatsPerSecond);
float StoredToRepeat(const SynthParams& params, float stored);

// The stored frequency unit for a frequency in Hertz: sqrt(100 / (R / (hz * 0.125))).
float FreqHz(const SynthParams& params, std::int32_t hz);

}  // namespace quavix
