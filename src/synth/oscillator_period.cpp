#include "synth/oscillator_period.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "synth/exact_math.h"

namespace quavix {

double ExactPeriod(float storedFreq) {
  return kPeriodScale / (Square(D(storedFreq)) + kPeriodOffset);
}

std::int32_t StartPeriod(float storedFreq) {
  const std::int32_t period = TruncToInt32(D(Single(ExactPeriod(storedFreq))));
  return period < kMinPeriod ? kMinPeriod : period;
}

double PitchOfPeriod(std::int32_t sampleRate, std::int32_t period) {
  return static_cast<double>(kSubsamplesPerSample) * sampleRate / period;
}

double PitchOfFreq(std::int32_t sampleRate, float storedFreq) {
  return PitchOfPeriod(sampleRate, StartPeriod(storedFreq));
}

double FreqHzExcess(std::int32_t sampleRate) {
  return static_cast<double>(kSubsamplesPerSample) * sampleRate * kPeriodOffset / kPeriodScale;
}

double LowestPitch(std::int32_t sampleRate) { return PitchOfPeriod(sampleRate, kLongestPeriod); }

double HighestPitch(std::int32_t sampleRate) { return PitchOfPeriod(sampleRate, kMinPeriod); }

float StoredFreqForPitch(std::int32_t sampleRate, double hz) {
  const double wanted = static_cast<double>(kSubsamplesPerSample) * sampleRate / hz;
  std::int32_t period = kLongestPeriod;
  double best = -1;
  for (const double candidate : {std::floor(wanted), std::ceil(wanted)}) {
    const auto p = static_cast<std::int32_t>(
        std::clamp(candidate, static_cast<double>(kMinPeriod), static_cast<double>(kLongestPeriod)));
    const double error = std::abs(PitchOfPeriod(sampleRate, p) - hz);
    if (best < 0 || error < best) {
      best = error;
      period = p;
    }
  }
  // The period falls as the stored value grows: search the bit patterns of
  // the non-negative floats, which sort as the values do.
  const auto firstAtMost = [](std::int32_t p) {
    std::uint32_t lo = 0;
    std::uint32_t hi = 0x7f800000;  // infinity: the shortest period
    while (lo < hi) {
      const std::uint32_t mid = lo + (hi - lo) / 2;
      if (StartPeriod(std::bit_cast<float>(mid)) <= p) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return lo;
  };
  const std::uint32_t first = firstAtMost(period);
  if (period == kMinPeriod) return std::bit_cast<float>(first);
  const std::uint32_t past = firstAtMost(period - 1);
  return std::bit_cast<float>(first + (past - first) / 2);  // the middle of the values with that period
}

}  // namespace quavix
