#include "exchange/param_units.h"

#include <cmath>

#include "synth/exact_math.h"

namespace quavix {
namespace {

// Both constants are single-precision values used widened to double.
constexpr double kTimeScale = static_cast<double>(2.2675f);  // 2.2674999237060547
constexpr double kPi = static_cast<double>(3.14159f);        // 3.141590118408203

double Rate(const SynthParams& params) { return static_cast<double>(params.SampleRate); }

// f = 1 - sqrt(q), with sqrt(q) and the difference each rounded to single.
float OneMinusRoot(float q) {
  const float s = Single(std::sqrt(static_cast<double>(q)));
  return Single(1.0 - static_cast<double>(s));
}

}  // namespace

float TimeToStored(const SynthParams&, float seconds) {
  const float q = Single(static_cast<double>(seconds) / kTimeScale);
  return Single(std::sqrt(static_cast<double>(q)));
}

float StoredToTime(const SynthParams&, float stored) {
  const double f = static_cast<double>(stored);
  return Single(f * f * kTimeScale);
}

float VibratoToStored(const SynthParams& params, float cyclesPerSecond) {
  const double v = static_cast<double>(cyclesPerSecond);
  const float q = Single(((v + v) * kPi / Rate(params)) * 100.0);
  return Single(std::sqrt(static_cast<double>(q)));
}

float StoredToVibrato(const SynthParams& params, float stored) {
  const double f = static_cast<double>(stored);
  return Single(f * f * 0.5 / kPi * Rate(params) / 100.0);
}

float ChangeToStored(const SynthParams& params, float seconds) {
  const float q = Single((static_cast<double>(seconds) / 20000.0) * Rate(params));
  return OneMinusRoot(q);
}

float StoredToChange(const SynthParams& params, float stored) {
  const double d = 1.0 - static_cast<double>(stored);
  return Single(d * d * 20000.0 / Rate(params));
}

float RepeatToStored(const SynthParams& params, float repeatsPerSecond) {
  // 0 repeats per second passes through as 0 and ends as the stored 1.0 that
  // synthesis reads as "no repeat".
  float p = repeatsPerSecond;
  if (repeatsPerSecond != 0.0f) {
    p = Single(1.0 / static_cast<double>(repeatsPerSecond));
  }
  const float q = Single((static_cast<double>(p) / 20000.0) * Rate(params));
  return OneMinusRoot(q);
}

float StoredToRepeat(const SynthParams& params, float stored) {
  if (stored == 0.0f) {
    return 0.0f;
  }
  const double d = 1.0 - static_cast<double>(stored);
  return Single((1.0 / (d * d)) * Rate(params) / 20000.0);
}

float FreqHz(const SynthParams& params, std::int32_t hz) {
  return Single(std::sqrt(100.0 / (Rate(params) / (static_cast<double>(hz) * 0.125))));
}

}  // namespace quavix
