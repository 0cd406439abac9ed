#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix::test {

// One expected field of a seeded result: the value as the description gives it
// to five decimals, and the float the recipe stores.
struct ExpectedField {
  float SynthParams::*Field;
  const char* Name;
  double FiveDecimals;
  std::uint32_t Bits;
};

inline std::uint32_t Bits(float x) {
  return std::bit_cast<std::uint32_t>(x);
}

// Every field of the record with its name, float fields as bit patterns.
inline std::string Describe(const SynthParams& p) {
  std::string out;
  const auto add = [&out](const char* name, std::uint32_t value) {
    out += name;
    out += '=' + std::to_string(value) + ' ';
  };
  add("BitsPerSample", static_cast<std::uint32_t>(p.BitsPerSample));
  add("SampleRate", static_cast<std::uint32_t>(p.SampleRate));
  add("WaveType", static_cast<std::uint32_t>(p.WaveType));
  add("FlagReserved", p.FlagReserved);
#define QUAVIX_FLOAT_FIELD(f) add(#f, Bits(p.f))
  QUAVIX_FLOAT_FIELD(Volume);
  QUAVIX_FLOAT_FIELD(AttackTime);
  QUAVIX_FLOAT_FIELD(SustainTime);
  QUAVIX_FLOAT_FIELD(SustainPunch);
  QUAVIX_FLOAT_FIELD(DecayTime);
  QUAVIX_FLOAT_FIELD(StartFreq);
  QUAVIX_FLOAT_FIELD(MinFreq);
  QUAVIX_FLOAT_FIELD(Slide);
  QUAVIX_FLOAT_FIELD(DeltaSlide);
  QUAVIX_FLOAT_FIELD(VibDepth);
  QUAVIX_FLOAT_FIELD(VibSpeed);
  QUAVIX_FLOAT_FIELD(ChangeAmount);
  QUAVIX_FLOAT_FIELD(ChangeSpeed);
  QUAVIX_FLOAT_FIELD(SquareDuty);
  QUAVIX_FLOAT_FIELD(DutySweep);
  QUAVIX_FLOAT_FIELD(RepeatSpeed);
  QUAVIX_FLOAT_FIELD(PhaserOffset);
  QUAVIX_FLOAT_FIELD(PhaserSweep);
  QUAVIX_FLOAT_FIELD(LPCutoff);
  QUAVIX_FLOAT_FIELD(LPCutoffSweep);
  QUAVIX_FLOAT_FIELD(LPResonance);
  QUAVIX_FLOAT_FIELD(HPCutoff);
  QUAVIX_FLOAT_FIELD(HPCutoffSweep);
  QUAVIX_FLOAT_FIELD(MasterVolume);
  QUAVIX_FLOAT_FIELD(VibReserved);
#undef QUAVIX_FLOAT_FIELD
  return out;
}

// Bitwise equality of every field (the record has padding, so no memcmp).
inline bool SameParams(const SynthParams& a, const SynthParams& b) {
  return Describe(a) == Describe(b);
}

// A generator seeded with `seed` and advanced by `draws` plain draws.
inline RandomSource Advanced(std::uint32_t seed, int draws) {
  RandomSource r;
  SeedRandom(r, seed);
  for (int i = 0; i < draws; ++i) {
    NextDraw(r);
  }
  return r;
}

// Checks each listed field to five decimals and to its stored bits, and that
// every field not listed holds what `base` holds.
inline void ExpectFields(const SynthParams& actual, SynthParams base,
                         std::initializer_list<ExpectedField> fields) {
  for (const ExpectedField& e : fields) {
    const float value = actual.*e.Field;
    EXPECT_EQ(std::llround(static_cast<double>(value) * 1e5), std::llround(e.FiveDecimals * 1e5))
        << e.Name << " = " << value;
    EXPECT_EQ(Bits(value), e.Bits) << e.Name << " = " << value;
    base.*e.Field = std::bit_cast<float>(e.Bits);
  }
  EXPECT_EQ(Describe(actual), Describe(base));
}

}  // namespace quavix::test
