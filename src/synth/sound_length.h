// How long a sound is: the envelope's stage lengths and the bound a wave
// buffer of a given length puts on a sound.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "synth/synth_params.h"

namespace quavix {

// A stage of stored time t lasts trunc(t^2 x kEnvelopeScale) samples.
inline constexpr double kEnvelopeScale = 100000.0;
// A wave buffer holds this many samples for each second of its stored length,
// and is at most kMaxBufferSeconds long.
inline constexpr std::uint32_t kSamplesPerBufferSecond = 41000;
inline constexpr std::uint32_t kMaxBufferSeconds = 60;
// Samples a sound takes beyond its three stage lengths: the first steps of
// sustain and decay and the final step.
inline constexpr std::int32_t kEnvelopeExtraSamples = 3;

// trunc(t x t x kEnvelopeScale): -2147483648 for NaN or beyond the int32 range.
std::int32_t EnvelopeStageLength(float storedTime);

// Samples between two repeats, or until the pitch jump, for a stored
// RepeatSpeed or ChangeSpeed: trunc(single(single(1 - speed)^2) x 20000);
// -2147483648 for NaN or beyond the int32 range. Below 1 no event happens
// (nor for a RepeatSpeed of exactly 0 or a ChangeSpeed of exactly 1).
std::int32_t SpeedSamples(float storedSpeed);

// The lengths of attack, sustain and decay.
std::array<std::int32_t, 3> EnvelopeStageLengths(const SynthParams& params);

// Samples a wave buffer of bufferSeconds holds (values above the maximum
// count as the maximum).
std::uint32_t BufferSamples(std::uint32_t bufferSeconds);

// The longest sound any buffer holds, in samples.
inline constexpr std::uint32_t kLongestSound = kMaxBufferSeconds * kSamplesPerBufferSecond;

// True when a stage of stored time t would outlast the longest sound.
bool StageOutlastsLongestSound(float storedTime);

// At most how many samples the parameters make in a buffer of bufferSeconds:
// the envelope's length (its three stages and kEnvelopeExtraSamples), cut at
// the buffer; the whole buffer when a stage is NaN or outlasts it. The
// frequency floor may stop the sound sooner.
std::size_t SoundLengthBound(const SynthParams& params, std::uint32_t bufferSeconds);

}  // namespace quavix
