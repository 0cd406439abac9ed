// The oscillator's period and the pitch it sounds: how a stored frequency
// value (StartFreq, MinFreq) becomes a period in subsamples, and back.
#pragma once

#include <cstdint>

namespace quavix {

// The oscillator runs this many subsamples per output sample.
inline constexpr int kSubsamplesPerSample = 8;
// The period of a stored frequency f is kPeriodScale / (f^2 + kPeriodOffset)
// subsamples; the offset keeps a stored 0 finite (100000 subsamples).
inline constexpr double kPeriodScale = 100.0;
inline constexpr double kPeriodOffset = 0.001;
// The shortest period the synthesis lets the oscillator run with.
inline constexpr std::int32_t kMinPeriod = 8;
// The period of a stored frequency 0, the longest a stored value gives.
inline constexpr std::int32_t kLongestPeriod = 100000;

// kPeriodScale / (f^2 + kPeriodOffset) in double, as the synthesis starts the
// period (StartFreq) and caps it (MinFreq).
double ExactPeriod(float storedFreq);

// The whole period, in subsamples, that a stored frequency starts with:
// trunc(single(ExactPeriod)), at least kMinPeriod (NaN gives kMinPeriod).
std::int32_t StartPeriod(float storedFreq);

// The pitch in Hertz of a whole period at sampleRate samples per second:
// kSubsamplesPerSample x sampleRate / period.
double PitchOfPeriod(std::int32_t sampleRate, std::int32_t period);

// The pitch in Hertz a stored frequency starts with (before slide, vibrato
// and change): PitchOfPeriod(StartPeriod(storedFreq)).
double PitchOfFreq(std::int32_t sampleRate, float storedFreq);

// How far above the requested frequency a stored value from FreqHz sounds
// (before the period is cut to whole subsamples): FreqHz does not compensate
// the period's offset, kSubsamplesPerSample x sampleRate x kPeriodOffset /
// kPeriodScale Hz (3.528 at 44100).
double FreqHzExcess(std::int32_t sampleRate);

// The lowest and highest pitch a stored frequency can start with.
double LowestPitch(std::int32_t sampleRate);
double HighestPitch(std::int32_t sampleRate);

// The non-negative stored frequency whose whole period gives the pitch closest
// to hz: the middle of the stored values that share that period. hz must lie
// within LowestPitch..HighestPitch (values outside are taken at the nearer end).
float StoredFreqForPitch(std::int32_t sampleRate, double hz);

}  // namespace quavix
