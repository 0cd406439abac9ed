// A synthesized sound's levels: its peak and how many of its samples the
// synthesis clamped. The tool reports them, and the WebAssembly module hands
// them to JavaScript, from this one measurement.
#pragma once

#include <cstdint>
#include <span>

#include "synth/synth_params.h"

namespace quavix {

inline constexpr std::int32_t kClipLevel = kOutputScale;  // the synthesis clamps there

struct SoundLevels {
  std::int32_t Peak = 0;     // largest magnitude of a sample
  std::int64_t Clipped = 0;  // samples at +32000 or -32000 (the synthesis clamps there)
};

inline SoundLevels MeasureLevels(std::span<const std::int16_t> samples) {
  SoundLevels levels;
  for (const std::int16_t s : samples) {
    const std::int32_t magnitude = s < 0 ? -static_cast<std::int32_t>(s) : static_cast<std::int32_t>(s);
    if (magnitude > levels.Peak) levels.Peak = magnitude;
    if (magnitude >= kClipLevel) ++levels.Clipped;
  }
  return levels;
}

}  // namespace quavix
