// The sound parameters: 24 values that scripts, presets and the exchange
// formats read and write, plus fixed output settings and two reserved fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quavix {

inline constexpr int kParamCount = 24;

// Samples per second of every sound, and R of the unit conversions.
inline constexpr std::int32_t kSampleRate = 44100;

// The values of WaveType that make a sound; any other value makes silence.
enum WaveShape : std::int32_t {
  kSquareWave = 0,
  kSawtoothWave = 1,
  kSineWave = 2,
  kNoiseWave = 3,
};

// Every written sample is trunc(gain-scaled sum × kOutputScale): -32000 to 32000.
inline constexpr std::int32_t kOutputScale = 32000;

struct SynthParams {
  std::int32_t BitsPerSample;
  std::int32_t SampleRate;
  // The 24 parameters, in index order: 24 consecutive 4-byte cells from Volume.
  float Volume;
  std::int32_t WaveType;
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
  // Fixed output gain and the two fields kept only for the settings file.
  float MasterVolume;
  std::uint8_t FlagReserved;
  float VibReserved;
};

// Parameter index i lives at byte offsetof(Volume) + 4 * i.
static_assert(sizeof(float) == 4 && sizeof(std::int32_t) == 4);
static_assert(offsetof(SynthParams, WaveType) == offsetof(SynthParams, Volume) + 4 * 1);
static_assert(offsetof(SynthParams, AttackTime) == offsetof(SynthParams, Volume) + 4 * 2);
static_assert(offsetof(SynthParams, StartFreq) == offsetof(SynthParams, Volume) + 4 * 6);
static_assert(offsetof(SynthParams, ChangeAmount) == offsetof(SynthParams, Volume) + 4 * 12);
static_assert(offsetof(SynthParams, RepeatSpeed) == offsetof(SynthParams, Volume) + 4 * 16);
static_assert(offsetof(SynthParams, LPCutoff) == offsetof(SynthParams, Volume) + 4 * 19);
static_assert(offsetof(SynthParams, HPCutoffSweep) == offsetof(SynthParams, Volume) + 4 * 23);
static_assert(offsetof(SynthParams, MasterVolume) == offsetof(SynthParams, Volume) + 4 * kParamCount);

// Default values; the float defaults are single-precision (0.3f, 0.4f, 0.05f).
SynthParams DefaultParams();

}  // namespace quavix
