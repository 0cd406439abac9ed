#pragma once

#include <cstdint>
#include <vector>

#include "synth/synthesizer.h"

namespace quavix::test {

// A synthesizer holding the defaults changed by `set`, after one sound of at
// most maxSamples from a source seeded with `seed` just before it.
struct Rendered {
  Synthesizer Synth;
  std::vector<std::int16_t> Samples;
  RandomSource Random;  // after the sound
};

inline Rendered RenderWith(void (*set)(SynthParams&), std::int32_t maxSamples,
                           std::uint32_t seed = 0) {
  RandomSource r;
  Rendered out{Synthesizer(r), std::vector<std::int16_t>(maxSamples > 0 ? maxSamples : 0), {}};
  set(out.Synth.Params);
  r.State = seed;
  Synthesize(out.Synth, maxSamples, out.Samples.data(), r);
  out.Samples.resize(static_cast<std::size_t>(out.Synth.SampleCount));
  out.Random = r;
  return out;
}

inline void Defaults(SynthParams&) {}

}  // namespace quavix::test
