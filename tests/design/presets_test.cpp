#include "design/presets.h"

#include <gtest/gtest.h>

#include <array>

#include "design_test_util.h"

// The bit patterns below come from a separate model of the generator and the
// recipes (plain integer arithmetic and float32 rounding by packing), and each
// one rounds to the five decimals given beside it.

namespace quavix {
namespace {

using test::Advanced;
using test::Describe;
using test::ExpectFields;

SynthParams PresetFromSeedOne(std::int32_t family, RandomSource& r) {
  SeedRandom(r, 1);
  SynthParams p = DefaultParams();
  LoadPreset(p, family, r);
  return p;
}

TEST(PresetSeedOne, Coin) {
  RandomSource r;
  const SynthParams p = PresetFromSeedOne(kPresetCoin, r);
  EXPECT_EQ(r.State, Advanced(1, 7).State);
  ExpectFields(p, DefaultParams(),
               {{&SynthParams::StartFreq, "StartFreq", 0.40205, 0x3ECDD980},
                {&SynthParams::SustainTime, "SustainTime", 0.08466, 0x3DAD6239},
                {&SynthParams::DecayTime, "DecayTime", 0.35336, 0x3EB4EB9A},
                {&SynthParams::SustainPunch, "SustainPunch", 0.49494, 0x3EFD68C7},
                {&SynthParams::ChangeSpeed, "ChangeSpeed", 0.61446, 0x3F1D4D40},
                {&SynthParams::ChangeAmount, "ChangeAmount", 0.25908, 0x3E84A622}});
}

TEST(PresetSeedOne, Laser) {
  RandomSource r;
  const SynthParams p = PresetFromSeedOne(kPresetLaser, r);
  EXPECT_EQ(r.State, Advanced(1, 20).State);
  SynthParams base = DefaultParams();
  base.WaveType = 0;
  ExpectFields(p, base,
               {{&SynthParams::StartFreq, "StartFreq", 0.86136, 0x3F5C8217},
                {&SynthParams::MinFreq, "MinFreq", 0.0696, 0x3D8E8A72},
                {&SynthParams::Slide, "Slide", -0.48386, 0xBEF7BC80},
                {&SynthParams::SquareDuty, "SquareDuty", 0.40715, 0x3ED075F7},
                {&SynthParams::DutySweep, "DutySweep", 0.06558, 0x3D864ECF},
                {&SynthParams::SustainTime, "SustainTime", 0.23652, 0x3E72324C},
                {&SynthParams::DecayTime, "DecayTime", 0.39844, 0x3ECC0054},
                {&SynthParams::SustainPunch, "SustainPunch", 0.08985, 0x3DB80347},
                {&SynthParams::HPCutoff, "HPCutoff", 0.16308, 0x3E26FE72}});
}

TEST(PresetSeedOne, Explosion) {
  RandomSource r;
  const SynthParams p = PresetFromSeedOne(kPresetExplosion, r);
  EXPECT_EQ(r.State, Advanced(1, 15).State);
  SynthParams base = DefaultParams();
  base.WaveType = 3;
  ExpectFields(p, base,
               {{&SynthParams::StartFreq, "StartFreq", 0.19241, 0x3E4505D4},
                {&SynthParams::Slide, "Slide", 0.0, 0x00000000},
                {&SynthParams::SustainTime, "SustainTime", 0.27169, 0x3E8B1AF4},
                {&SynthParams::DecayTime, "DecayTime", 0.07385, 0x3D973EAB},
                {&SynthParams::PhaserOffset, "PhaserOffset", 0.3264, 0x3EA71DE6},
                {&SynthParams::PhaserSweep, "PhaserSweep", -0.13386, 0xBE091299},
                {&SynthParams::SustainPunch, "SustainPunch", 0.5423, 0x3F0AD42D},
                {&SynthParams::VibDepth, "VibDepth", 0.22953, 0x3E6B09E9},
                {&SynthParams::VibSpeed, "VibSpeed", 0.40956, 0x3ED1B1DA}});
}

TEST(PresetSeedOne, Powerup) {
  RandomSource r;
  const SynthParams p = PresetFromSeedOne(kPresetPowerup, r);
  EXPECT_EQ(r.State, Advanced(1, 7).State);
  SynthParams base = DefaultParams();
  base.WaveType = 1;
  ExpectFields(p, base,
               {{&SynthParams::StartFreq, "StartFreq", 0.39002, 0x3EC7B0B4},
                {&SynthParams::Slide, "Slide", 0.35992, 0x3EB8476F},
                {&SynthParams::RepeatSpeed, "RepeatSpeed", 0.76672, 0x3F4447C3},
                {&SynthParams::SustainTime, "SustainTime", 0.22892, 0x3E6A6A01},
                {&SynthParams::DecayTime, "DecayTime", 0.15908, 0x3E22E5DE},
                {&SynthParams::SquareDuty, "SquareDuty", 0.0, 0x00000000}});
}

TEST(PresetFamilyIndex, OutOfRangeChangesNothingAndDrawsNothing) {
  for (const std::int32_t family : {7, -1, 8, 1000, -2147483647 - 1}) {
    RandomSource r;
    SeedRandom(r, 1);
    SynthParams p = DefaultParams();
    p.Volume = 0.25f;
    p.StartFreq = 0.9f;
    p.WaveType = 3;
    const std::string before = Describe(p);
    LoadPreset(p, family, r);
    EXPECT_EQ(Describe(p), before) << family;
    EXPECT_EQ(r.State, 1u) << family;
  }
}

TEST(PresetFamilyIndex, LoadingRestoresVolumeAndDefaults) {
  for (std::int32_t family = 0; family < kPresetFamilyCount; ++family) {
    RandomSource r;
    SeedRandom(r, 5);
    SynthParams p = DefaultParams();
    p.Volume = 0.25f;
    p.AttackTime = 0.5f;
    p.DeltaSlide = 0.5f;
    p.VibReserved = 0.5f;
    LoadPreset(p, family, r);
    EXPECT_EQ(p.Volume, 1.0f) << family;
    EXPECT_EQ(p.AttackTime, 0.0f) << family;
    EXPECT_EQ(p.DeltaSlide, 0.0f) << family;
    EXPECT_EQ(p.VibReserved, 0.0f) << family;
  }
}

TEST(PresetFamilyNames, LookUpIgnoresCase) {
  EXPECT_EQ(FindPresetFamily("coin"), kPresetCoin);
  EXPECT_EQ(FindPresetFamily("Laser"), kPresetLaser);
  EXPECT_EQ(FindPresetFamily("EXPLOSION"), kPresetExplosion);
  EXPECT_EQ(FindPresetFamily("powerUp"), kPresetPowerup);
  EXPECT_EQ(FindPresetFamily("hurt"), kPresetHurt);
  EXPECT_EQ(FindPresetFamily("jump"), kPresetJump);
  EXPECT_EQ(FindPresetFamily("blip"), kPresetBlip);
  EXPECT_EQ(FindPresetFamily(""), std::nullopt);
  EXPECT_EQ(FindPresetFamily("coins"), std::nullopt);
  EXPECT_EQ(FindPresetFamily("bli"), std::nullopt);
  EXPECT_EQ(FindPresetFamily(std::string_view("coin\0", 5)), std::nullopt);
}

// Runs a family over many seeds and hands each result to `check`.
template <typename Check>
void OverManySeeds(std::int32_t family, Check check) {
  for (std::uint32_t seed = 1; seed <= 4000; ++seed) {
    RandomSource r;
    SeedRandom(r, seed * 2654435761u);
    SynthParams p = DefaultParams();
    LoadPreset(p, family, r);
    check(p);
  }
}

TEST(PresetInvariants, HurtIsNeverASine) {
  std::array<int, 4> counts{};
  OverManySeeds(kPresetHurt, [&](const SynthParams& p) {
    ASSERT_GE(p.WaveType, 0);
    ASSERT_LE(p.WaveType, 3);
    ++counts[static_cast<std::size_t>(p.WaveType)];
  });
  EXPECT_EQ(counts[2], 0);
  EXPECT_GT(counts[0], 0);
  EXPECT_GT(counts[1], 0);
  EXPECT_GT(counts[3], 0);
}

TEST(PresetInvariants, ExplosionIsNoiseWithSquaredStartFreq) {
  OverManySeeds(kPresetExplosion, [](const SynthParams& p) {
    EXPECT_EQ(p.WaveType, 3);
    EXPECT_LE(p.StartFreq, 0.81f);
    EXPECT_GE(p.StartFreq, 0.0099f);
  });
}

TEST(PresetInvariants, JumpIsAlwaysSquare) {
  OverManySeeds(kPresetJump, [](const SynthParams& p) {
    EXPECT_EQ(p.WaveType, 0);
    EXPECT_GE(p.LPCutoff, 0.4f);
    EXPECT_LE(p.LPCutoff, 1.0f);
  });
}

TEST(PresetInvariants, BlipAndPowerupAreSquareOrSawtooth) {
  for (const std::int32_t family : {kPresetBlip, kPresetPowerup}) {
    std::array<int, 2> counts{};
    OverManySeeds(family, [&](const SynthParams& p) {
      ASSERT_TRUE(p.WaveType == 0 || p.WaveType == 1) << p.WaveType;
      ++counts[static_cast<std::size_t>(p.WaveType)];
    });
    EXPECT_GT(counts[0], 0);
    EXPECT_GT(counts[1], 0);
  }
}

TEST(PresetInvariants, BlipHighPassIsExactlyTheFloatTenth) {
  OverManySeeds(kPresetBlip,
                [](const SynthParams& p) { EXPECT_EQ(test::Bits(p.HPCutoff), test::Bits(0.1f)); });
}

TEST(PresetInvariants, LaserMinFreqBounds) {
  // Without the one-in-three override Slide lies in [-0.35, -0.15] and MinFreq
  // is clamped to at least 0.2; with it Slide lies in [-0.65, -0.35] and
  // MinFreq is at most 0.1. Slide exactly at -0.35 is left out as ambiguous.
  int plain = 0;
  int overridden = 0;
  std::array<int, 3> waves{};
  OverManySeeds(kPresetLaser, [&](const SynthParams& p) {
    ASSERT_GE(p.WaveType, 0);
    ASSERT_LE(p.WaveType, 2);
    ++waves[static_cast<std::size_t>(p.WaveType)];
    if (p.Slide > -0.349f) {
      ++plain;
      EXPECT_GE(p.MinFreq, 0.2f);
      EXPECT_LE(p.MinFreq, 0.8f);
    } else if (p.Slide < -0.351f) {
      ++overridden;
      EXPECT_GE(p.MinFreq, 0.0f);
      EXPECT_LE(p.MinFreq, 0.1f);
    }
  });
  EXPECT_GT(plain, 2000);
  EXPECT_GT(overridden, 1000);
  // Sine in about one case in six, square and sawtooth about five in twelve each.
  EXPECT_NEAR(waves[2] / 4000.0, 1.0 / 6.0, 0.03);
  EXPECT_NEAR(waves[0] / 4000.0, 5.0 / 12.0, 0.03);
  EXPECT_NEAR(waves[1] / 4000.0, 5.0 / 12.0, 0.03);
}

}  // namespace
}  // namespace quavix
