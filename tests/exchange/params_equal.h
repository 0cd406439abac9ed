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
#define QUAVIX_SAME(f) EXPECT_EQ(Bits(a.f), Bits(b.f)) << #f;
  EXPECT_EQ(a.BitsPerSample, b.BitsPerSample);
  EXPECT_EQ(a.SampleRate, b.SampleRate);
  EXPECT_EQ(a.WaveType, b.WaveType);
  EXPECT_EQ(a.FlagReserved, b.FlagReserved);
  QUAVIX_SAME(Volume) QUAVIX_SAME(AttackTime) QUAVIX_SAME(SustainTime) QUAVIX_SAME(SustainPunch)
  QUAVIX_SAME(DecayTime) QUAVIX_SAME(StartFreq) QUAVIX_SAME(MinFreq) QUAVIX_SAME(Slide)
  QUAVIX_SAME(DeltaSlide) QUAVIX_SAME(VibDepth) QUAVIX_SAME(VibSpeed) QUAVIX_SAME(ChangeAmount)
  QUAVIX_SAME(ChangeSpeed) QUAVIX_SAME(SquareDuty) QUAVIX_SAME(DutySweep) QUAVIX_SAME(RepeatSpeed)
  QUAVIX_SAME(PhaserOffset) QUAVIX_SAME(PhaserSweep) QUAVIX_SAME(LPCutoff) QUAVIX_SAME(LPCutoffSweep)
  QUAVIX_SAME(LPResonance) QUAVIX_SAME(HPCutoff) QUAVIX_SAME(HPCutoffSweep) QUAVIX_SAME(MasterVolume)
  QUAVIX_SAME(VibReserved)
#undef QUAVIX_SAME
}

}  // namespace quavix::test
