#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "synth/synth_params.h"

namespace quavix::test {

inline std::uint32_t Bits(float x) { return std::bit_cast<std::uint32_t>(x); }

// Every field of the two parameter sets holds the same bits (NaN payloads and
// the sign of zero included).
inline void ExpectSameParams(const SynthParams& a, const SynthParams& b) {
#define QUAVIX_EXPECT_FLOAT_FIELD(f) EXPECT_EQ(Bits(a.f), Bits(b.f)) << #f
  EXPECT_EQ(a.BitsPerSample, b.BitsPerSample);
  EXPECT_EQ(a.SampleRate, b.SampleRate);
  EXPECT_EQ(a.WaveType, b.WaveType);
  EXPECT_EQ(a.FlagReserved, b.FlagReserved);
  QUAVIX_EXPECT_FLOAT_FIELD(Volume);
  QUAVIX_EXPECT_FLOAT_FIELD(AttackTime);
  QUAVIX_EXPECT_FLOAT_FIELD(SustainTime);
  QUAVIX_EXPECT_FLOAT_FIELD(SustainPunch);
  QUAVIX_EXPECT_FLOAT_FIELD(DecayTime);
  QUAVIX_EXPECT_FLOAT_FIELD(StartFreq);
  QUAVIX_EXPECT_FLOAT_FIELD(MinFreq);
  QUAVIX_EXPECT_FLOAT_FIELD(Slide);
  QUAVIX_EXPECT_FLOAT_FIELD(DeltaSlide);
  QUAVIX_EXPECT_FLOAT_FIELD(VibDepth);
  QUAVIX_EXPECT_FLOAT_FIELD(VibSpeed);
  QUAVIX_EXPECT_FLOAT_FIELD(ChangeAmount);
  QUAVIX_EXPECT_FLOAT_FIELD(ChangeSpeed);
  QUAVIX_EXPECT_FLOAT_FIELD(SquareDuty);
  QUAVIX_EXPECT_FLOAT_FIELD(DutySweep);
  QUAVIX_EXPECT_FLOAT_FIELD(RepeatSpeed);
  QUAVIX_EXPECT_FLOAT_FIELD(PhaserOffset);
  QUAVIX_EXPECT_FLOAT_FIELD(PhaserSweep);
  QUAVIX_EXPECT_FLOAT_FIELD(LPCutoff);
  QUAVIX_EXPECT_FLOAT_FIELD(LPCutoffSweep);
  QUAVIX_EXPECT_FLOAT_FIELD(LPResonance);
  QUAVIX_EXPECT_FLOAT_FIELD(HPCutoff);
  QUAVIX_EXPECT_FLOAT_FIELD(HPCutoffSweep);
  QUAVIX_EXPECT_FLOAT_FIELD(MasterVolume);
  QUAVIX_EXPECT_FLOAT_FIELD(VibReserved);
#undef QUAVIX_EXPECT_FLOAT_FIELD
}

}  // namespace quavix::test
