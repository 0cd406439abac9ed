#include "design/randomize.h"

#include <gtest/gtest.h>

#include <array>

#include "design/presets.h"
#include "design_test_util.h"

// The bit patterns below come from a separate model of the generator and the
// steps (plain integer arithmetic and float32 rounding by packing), and each
// one rounds to the five decimals given beside it.

namespace quavix {
namespace {

using test::Advanced;
using test::Describe;
using test::ExpectFields;

TEST(RandomizeSeedOne, ValuesAndDrawCount) {
  RandomSource r;
  SeedRandom(r, 1);
  SynthParams p = DefaultParams();
  p.Volume = 0.5f;
  p.MinFreq = 0.5f;
  Randomize(p, r);
  EXPECT_EQ(r.State, Advanced(1, 26).State);
  SynthParams base = DefaultParams();
  base.WaveType = 1;
  ExpectFields(p, base,
               {{&SynthParams::StartFreq, "StartFreq", 0.48053, 0x3EF60789},
                {&SynthParams::Slide, "Slide", 0.00241, 0x3B1E3192},
                {&SynthParams::DeltaSlide, "DeltaSlide", 0.57926, 0x3F144A5A},
                {&SynthParams::SquareDuty, "SquareDuty", 0.1446, 0x3E141208},
                {&SynthParams::DutySweep, "DutySweep", -0.34981, 0xBEB319D6},
                {&SynthParams::VibDepth, "VibDepth", 0.66123, 0x3F294678},
                {&SynthParams::VibSpeed, "VibSpeed", 0.392, 0x3EC8B438},
                {&SynthParams::VibReserved, "VibReserved", -0.1076, 0xBDDC5D60},
                {&SynthParams::AttackTime, "AttackTime", 0.0028, 0x3B37B647},
                {&SynthParams::SustainTime, "SustainTime", 0.89397, 0x3F64DB16},
                {&SynthParams::DecayTime, "DecayTime", -0.12947, 0xBE0493C9},
                {&SynthParams::SustainPunch, "SustainPunch", 0.2982, 0x3E98AE1C},
                {&SynthParams::LPResonance, "LPResonance", -0.401, 0xBECD4FE0},
                {&SynthParams::LPCutoff, "LPCutoff", 0.99269, 0x3F7E20C2},
                {&SynthParams::LPCutoffSweep, "LPCutoffSweep", -0.00004, 0xB82DBC53},
                {&SynthParams::HPCutoff, "HPCutoff", 0.04747, 0x3D426D65},
                {&SynthParams::HPCutoffSweep, "HPCutoffSweep", -0.03891, 0xBD1F5BD6},
                {&SynthParams::PhaserOffset, "PhaserOffset", -0.0005, 0xBA03386F},
                {&SynthParams::PhaserSweep, "PhaserSweep", -0.01059, 0xBC2D81CD},
                {&SynthParams::RepeatSpeed, "RepeatSpeed", -0.9694, 0xBF782A99},
                {&SynthParams::ChangeSpeed, "ChangeSpeed", -0.9416, 0xBF710CB3},
                {&SynthParams::ChangeAmount, "ChangeAmount", -0.5238, 0xBF0617C2}});
}

TEST(RandomizeDistribution, EachWaveTypeAboutOneInFive) {
  constexpr int kRuns = 10000;
  std::array<int, 5> counts{};
  for (std::uint32_t seed = 1; seed <= kRuns; ++seed) {
    RandomSource r;
    SeedRandom(r, seed * 2654435761u);
    SynthParams p = DefaultParams();
    Randomize(p, r);
    ASSERT_GE(p.WaveType, 0);
    ASSERT_LE(p.WaveType, 4);
    ++counts[static_cast<std::size_t>(p.WaveType)];
    EXPECT_EQ(p.Volume, 1.0f);
    EXPECT_EQ(p.MinFreq, 0.0f);
  }
  for (int count : counts) {
    EXPECT_NEAR(count / static_cast<double>(kRuns), 0.2, 0.02);
  }
}

TEST(MutateSeedOne, CoefficientTenthFromDefaults) {
  RandomSource r;
  SeedRandom(r, 1);
  SynthParams p = DefaultParams();
  Mutate(p, 0.1f, r);
  EXPECT_EQ(r.State, Advanced(1, 34).State);
  ExpectFields(p, DefaultParams(),
               {{&SynthParams::StartFreq, "StartFreq", 0.33466, 0x3EAB588F},
                {&SynthParams::SquareDuty, "SquareDuty", 0.00723, 0x3BECE9A0},
                {&SynthParams::AttackTime, "AttackTime", 0.03143, 0x3D00BCBF},
                {&SynthParams::SustainTime, "SustainTime", 0.31826, 0x3EA2F2FA},
                {&SynthParams::DecayTime, "DecayTime", 0.35491, 0x3EB5B6C4},
                {&SynthParams::SustainPunch, "SustainPunch", -0.03059, 0xBCFA97E1},
                {&SynthParams::LPResonance, "LPResonance", 0.00436, 0x3B8EDE58},
                {&SynthParams::LPCutoff, "LPCutoff", 0.99603, 0x3F7EFBD2},
                {&SynthParams::HPCutoff, "HPCutoff", -0.04708, 0xBD40D6F5},
                {&SynthParams::PhaserOffset, "PhaserOffset", 0.03715, 0x3D182A99},
                {&SynthParams::RepeatSpeed, "RepeatSpeed", 0.00447, 0x3B927918},
                {&SynthParams::ChangeAmount, "ChangeAmount", -0.03463, 0xBD0DD830}});
}

TEST(Mutate, ZeroCoefficientChangesNothingButDraws) {
  std::array<bool, 2> extremes{};  // saw fewer than 30 draws / more than 36
  for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
    RandomSource r;
    SeedRandom(r, seed);
    SynthParams p = DefaultParams();
    LoadPreset(p, static_cast<std::int32_t>(seed % 7), r);
    const std::string before = Describe(p);
    const std::uint32_t start = r.State;
    Mutate(p, 0.0f, r);
    EXPECT_EQ(Describe(p), before);
    RandomSource probe{start};
    int used = -1;
    for (int n = 1; n <= 44; ++n) {
      NextDraw(probe);
      if (n >= 22 && probe.State == r.State) {
        used = n;
        break;
      }
    }
    ASSERT_GE(used, 22) << seed;
    extremes[0] = extremes[0] || used < 30;
    extremes[1] = extremes[1] || used > 36;
  }
  EXPECT_TRUE(extremes[0]);
  EXPECT_TRUE(extremes[1]);
}

TEST(Mutate, WaveTypeVolumeAndMinFreqNeverChange) {
  RandomSource r;
  SeedRandom(r, 77);
  SynthParams p = DefaultParams();
  p.WaveType = 3;
  p.Volume = 0.7f;
  p.MinFreq = 0.25f;
  bool moved = false;
  for (int i = 0; i < 500; ++i) {
    const float startFreq = p.StartFreq;
    Mutate(p, 5.0f, r);
    moved = moved || p.StartFreq != startFreq;
    EXPECT_EQ(p.WaveType, 3);
    EXPECT_EQ(p.Volume, 0.7f);
    EXPECT_EQ(p.MinFreq, 0.25f);
  }
  EXPECT_TRUE(moved);
}

TEST(Mutate, NudgesStayWithinHalfTheCoefficient) {
  // k = single(c * 10); a nudge lies within ±0.05·k, and nothing is clamped.
  RandomSource r;
  SeedRandom(r, 3);
  for (const float c : {0.1f, 2.0f, -0.5f}) {
    for (int i = 0; i < 200; ++i) {
      SynthParams p = DefaultParams();
      Mutate(p, c, r);
      const double bound = 0.5 * std::abs(static_cast<double>(c)) + 1e-6;
      EXPECT_LE(std::abs(static_cast<double>(p.StartFreq) - static_cast<double>(0.3f)), bound);
      EXPECT_LE(std::abs(static_cast<double>(p.LPCutoff) - 1.0), bound);
      EXPECT_LE(std::abs(static_cast<double>(p.Slide)), bound);
    }
  }
  // With a large coefficient values leave their usual ranges unclamped.
  bool outside = false;
  for (int i = 0; i < 200 && !outside; ++i) {
    SynthParams p = DefaultParams();
    Mutate(p, 4.0f, r);
    outside = p.LPCutoff > 1.0f || p.SustainTime < 0.0f;
  }
  EXPECT_TRUE(outside);
}

}  // namespace
}  // namespace quavix
