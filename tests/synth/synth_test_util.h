#pragma once

#include <cstdint>
#include <vector>

#include "synth/random_source.h"
#include "synth/synthesizer.h"

namespace quavix::test {

// Renders the synthesizer's parameters into a fresh area of maxSamples and
// returns the samples written.
inline std::vector<std::int16_t> Render(Synthesizer& s, RandomSource& r, std::int32_t maxSamples) {
  std::vector<std::int16_t> area(static_cast<std::size_t>(maxSamples > 0 ? maxSamples : 0));
  Synthesize(s, maxSamples, area.data(), r);
  area.resize(static_cast<std::size_t>(s.SampleCount));
  return area;
}

}  // namespace quavix::test
