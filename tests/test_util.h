// What the tests share: GoogleTest, the standard headers most of them use, the special floats,
// and two helpers on parameter sets and random states.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix {

inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr float kInf = std::numeric_limits<float>::infinity();

// Every stored field holds the same bits (NaN payloads and the sign of zero included).
inline bool Same(const SynthParams& a, const SynthParams& b) {
  return std::memcmp(&a, &b, offsetof(SynthParams, FlagReserved)) == 0 &&
         a.FlagReserved == b.FlagReserved && std::memcmp(&a.VibReserved, &b.VibReserved, 4) == 0;
}

// The random source after `draws` draws from `seed`.
inline RandomSource AfterDraws(std::uint32_t seed, int draws) {
  RandomSource r{seed};
  for (int i = 0; i < draws; ++i) NextDraw(r);
  return r;
}

}  // namespace quavix
