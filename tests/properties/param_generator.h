// Random parameter sets for property tests: ordinary values mixed with NaN,
// infinities, huge, tiny, negative and signed-zero values in every field.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "synth/synth_params.h"

namespace quavix::test {

inline float SpecialOrOrdinary(std::mt19937& gen) {
  static constexpr float kSpecials[] = {
      std::numeric_limits<float>::quiet_NaN(),
      std::numeric_limits<float>::infinity(),
      -std::numeric_limits<float>::infinity(),
      3.0e38f,
      -3.0e38f,
      1.0e-40f,  // subnormal
      -1.0e-40f,
      1.0e-30f,
      -0.0f,
      0.0f,
      1.0f,
      -1.0f,
      2.5e9f,
      -2.5e9f,
      1.0e6f,
  };
  std::uniform_int_distribution<int> pick(0, 9);
  const int kind = pick(gen);
  if (kind == 0) {
    std::uniform_int_distribution<std::size_t> which(0, std::size(kSpecials) - 1);
    return kSpecials[which(gen)];
  }
  if (kind == 1) {
    std::uniform_real_distribution<float> wide(-50.0f, 50.0f);
    return wide(gen);
  }
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  return unit(gen);
}

// A parameter set where every one of the 24 fields (and the reserved ones)
// is drawn independently.
inline SynthParams RandomParams(std::mt19937& gen) {
  SynthParams p = DefaultParams();
  for (int index = 0; index < kParamCount; ++index) {
    const float value = SpecialOrOrdinary(gen);
    if (index == 1) {
      std::uniform_int_distribution<int> wave(-2, 6);
      p.WaveType = wave(gen);
      continue;
    }
    std::memcpy(reinterpret_cast<unsigned char*>(&p.Volume) + 4 * index, &value, 4);
  }
  p.VibReserved = SpecialOrOrdinary(gen);
  p.FlagReserved = static_cast<std::uint8_t>(gen());
  return p;
}

}  // namespace quavix::test
