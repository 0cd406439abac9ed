#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix::test {

// Every field of the record, floats as their bits (the record has padding).
inline std::vector<std::uint32_t> Fields(const SynthParams& p) {
  std::vector<std::uint32_t> out(kParamCount + 1);  // the 24 cells and MasterVolume
  std::memcpy(out.data(), &p.Volume, 4 * out.size());
  out.insert(out.end(), {std::bit_cast<std::uint32_t>(p.VibReserved), p.FlagReserved,
                         static_cast<std::uint32_t>(p.BitsPerSample),
                         static_cast<std::uint32_t>(p.SampleRate)});
  return out;
}

// A source seeded with `seed` and advanced by `draws` draws.
inline RandomSource Advanced(std::uint32_t seed, int draws) {
  RandomSource r{seed};
  for (int i = 0; i < draws; ++i) NextDraw(r);
  return r;
}

// One expected field of a seeded result: the value the description gives to
// five decimals, and the float the recipe stores (from a separate model of the
// generator: integer arithmetic and float32 rounding by packing).
struct Expected {
  float SynthParams::*Field;
  double FiveDecimals;
  std::uint32_t Bits;
};

// Each listed field to five decimals and to its bits; every other field as in base.
inline void ExpectFields(const SynthParams& actual, SynthParams base,
                         std::initializer_list<Expected> fields) {
  for (const Expected& e : fields) {
    EXPECT_EQ(std::llround(actual.*e.Field * 1e5), std::llround(e.FiveDecimals * 1e5));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(actual.*e.Field), e.Bits) << e.FiveDecimals;
    base.*e.Field = std::bit_cast<float>(e.Bits);
  }
  EXPECT_EQ(Fields(actual), Fields(base));
}

}  // namespace quavix::test
