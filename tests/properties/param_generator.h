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
  constexpr float kInf = std::numeric_limits<float>::infinity();
  static constexpr float kSpecials[] = {std::numeric_limits<float>::quiet_NaN(),
                                        kInf, -kInf, 3.0e38f, -3.0e38f, 1.0e-40f, -1.0e-40f,
                                        1.0e-30f, -0.0f, 0.0f, 1.0f, -1.0f, 2.5e9f, -2.5e9f, 1.0e6f};
  const int kind = std::uniform_int_distribution<int>(0, 9)(gen);
  if (kind == 0) {
    return kSpecials[std::uniform_int_distribution<std::size_t>(0, std::size(kSpecials) - 1)(gen)];
  }
  return std::uniform_real_distribution<float>(kind == 1 ? -50.0f : -1.0f,
                                               kind == 1 ? 50.0f : 1.0f)(gen);
}

// Every one of the 24 fields (and the reserved ones) drawn independently.
inline SynthParams RandomParams(std::mt19937& gen) {
  SynthParams p = DefaultParams();
  for (int index = 0; index < kParamCount; ++index) {
    const float value = SpecialOrOrdinary(gen);
    std::memcpy(reinterpret_cast<unsigned char*>(&p.Volume) + 4 * index, &value, 4);
  }
  p.WaveType = std::uniform_int_distribution<int>(-2, 6)(gen);
  p.VibReserved = SpecialOrOrdinary(gen);
  p.FlagReserved = static_cast<std::uint8_t>(gen());
  return p;
}

}  // namespace quavix::test
