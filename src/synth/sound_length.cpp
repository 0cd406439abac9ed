#include "synth/sound_length.h"

#include <algorithm>
#include <cmath>

#include "synth/exact_math.h"

namespace quavix {

std::int32_t EnvelopeStageLength(float storedTime) {
  return TruncToInt32(D(storedTime) * D(storedTime) * kEnvelopeScale);
}

std::int32_t SpeedSamples(float storedSpeed) {
  const float inverse = Single(1.0 - D(storedSpeed));
  const float squared = Single(Square(D(inverse)));
  return TruncToInt32(D(squared) * 20000.0);
}

std::array<std::int32_t, 3> EnvelopeStageLengths(const SynthParams& params) {
  return {EnvelopeStageLength(params.AttackTime), EnvelopeStageLength(params.SustainTime),
          EnvelopeStageLength(params.DecayTime)};
}

std::uint32_t BufferSamples(std::uint32_t bufferSeconds) {
  return std::min(bufferSeconds, kMaxBufferSeconds) * kSamplesPerBufferSecond;
}

bool StageOutlastsLongestSound(float storedTime) {
  return !(D(storedTime) * D(storedTime) * kEnvelopeScale <= static_cast<double>(kLongestSound));
}

std::size_t SoundLengthBound(const SynthParams& params, std::uint32_t bufferSeconds) {
  const double capacity = BufferSamples(bufferSeconds);
  double total = kEnvelopeExtraSamples;
  for (const float stage : {params.AttackTime, params.SustainTime, params.DecayTime}) {
    const double length = D(stage) * D(stage) * kEnvelopeScale;
    if (!(length < capacity)) return static_cast<std::size_t>(capacity);  // NaN included
    total += std::floor(length);
  }
  return static_cast<std::size_t>(std::min(total, capacity));
}

}  // namespace quavix
