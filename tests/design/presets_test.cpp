#include "design/presets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "design_test_util.h"

namespace quavix {
namespace {

using test::Advanced;
using test::ExpectFields;
using test::Fields;
using P = SynthParams;

// Parameters that every recipe resets before it draws.
P Used() {
  P p = DefaultParams();
  p.Volume = p.AttackTime = p.DeltaSlide = p.VibReserved = p.LPResonance = 0.25f;
  p.WaveType = 3;
  return p;
}

TEST(Presets, SeedOneGivesTheDescribedSounds) {
  struct Case {
    std::int32_t family, draws, wave;
    std::initializer_list<test::Expected> fields;
  } const cases[] = {
      {kPresetCoin, 7, 0,
       {{&P::StartFreq, 0.40205, 0x3ECDD980}, {&P::SustainTime, 0.08466, 0x3DAD6239},
        {&P::DecayTime, 0.35336, 0x3EB4EB9A}, {&P::SustainPunch, 0.49494, 0x3EFD68C7},
        {&P::ChangeSpeed, 0.61446, 0x3F1D4D40}, {&P::ChangeAmount, 0.25908, 0x3E84A622}}},
      {kPresetLaser, 20, 0,
       {{&P::StartFreq, 0.86136, 0x3F5C8217}, {&P::MinFreq, 0.0696, 0x3D8E8A72},
        {&P::Slide, -0.48386, 0xBEF7BC80}, {&P::SquareDuty, 0.40715, 0x3ED075F7},
        {&P::DutySweep, 0.06558, 0x3D864ECF}, {&P::SustainTime, 0.23652, 0x3E72324C},
        {&P::DecayTime, 0.39844, 0x3ECC0054}, {&P::SustainPunch, 0.08985, 0x3DB80347},
        {&P::HPCutoff, 0.16308, 0x3E26FE72}}},
      {kPresetExplosion, 15, 3,
       {{&P::StartFreq, 0.19241, 0x3E4505D4}, {&P::Slide, 0.0, 0x00000000},
        {&P::SustainTime, 0.27169, 0x3E8B1AF4}, {&P::DecayTime, 0.07385, 0x3D973EAB},
        {&P::PhaserOffset, 0.3264, 0x3EA71DE6}, {&P::PhaserSweep, -0.13386, 0xBE091299},
        {&P::SustainPunch, 0.5423, 0x3F0AD42D}, {&P::VibDepth, 0.22953, 0x3E6B09E9},
        {&P::VibSpeed, 0.40956, 0x3ED1B1DA}}},
      {kPresetPowerup, 7, 1,
       {{&P::StartFreq, 0.39002, 0x3EC7B0B4}, {&P::Slide, 0.35992, 0x3EB8476F},
        {&P::RepeatSpeed, 0.76672, 0x3F4447C3}, {&P::SustainTime, 0.22892, 0x3E6A6A01},
        {&P::DecayTime, 0.15908, 0x3E22E5DE}, {&P::SquareDuty, 0.0, 0x00000000}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    RandomSource r{1};
    P p = Used();
    LoadPreset(p, c.family, r);
    EXPECT_EQ(r.State, Advanced(1, c.draws).State);
    P base = DefaultParams();
    base.WaveType = c.wave;
    ExpectFields(p, base, c.fields);
  }
}

TEST(Presets, FamiliesAboveSixAsUnsignedChangeNothingAndDrawNothing) {
  for (const std::int32_t family : {7, 8, -1, -2147483647 - 1, 6}) {
    RandomSource r{1};
    P p = Used();
    LoadPreset(p, family, r);
    EXPECT_EQ(Fields(p) == Fields(Used()), family != 6) << family;
    EXPECT_EQ(r.State == 1u, family != 6) << family;
  }
  for (const PresetFamilyName& entry : kPresetFamilyNames) {
    std::string upper(entry.Name);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_EQ(FindPresetFamily(upper), entry.Family);
    EXPECT_EQ(FindPresetFamily(upper.substr(1)), std::nullopt);
    EXPECT_EQ(FindPresetFamily(upper + "s"), std::nullopt);
  }
}

// Over many seeds: each field stays in its recipe's range and comes within 5 %
// of both ends; the waves and the one-in-k branches come as often as the draws say.
TEST(Presets, RangesWavesAndBranchesOverManySeeds) {
  constexpr int kRuns = 4000;
  const auto run = [](std::int32_t family, auto check) {
    for (std::uint32_t seed = 1; seed <= kRuns; ++seed) {
      RandomSource r{seed * 2654435761u};
      P p = DefaultParams();
      LoadPreset(p, family, r);
      check(p);
    }
  };
  struct Range {
    std::int32_t family;
    float P::*field;
    float lo, hi;
  } const ranges[] = {  // the families without a described seeded result, and two edges
      {kPresetExplosion, &P::StartFreq, 0.01f, 0.81f}, {kPresetLaser, &P::MinFreq, 0, 0.8f},
      {kPresetHurt, &P::StartFreq, 0.2f, 0.8f},  {kPresetHurt, &P::Slide, -0.7f, -0.3f},
      {kPresetHurt, &P::SustainTime, 0, 0.1f},   {kPresetHurt, &P::DecayTime, 0.1f, 0.3f},
      {kPresetHurt, &P::HPCutoff, 0, 0.3f},      {kPresetJump, &P::SquareDuty, 0, 0.6f},
      {kPresetJump, &P::StartFreq, 0.3f, 0.6f},  {kPresetJump, &P::Slide, 0.1f, 0.3f},
      {kPresetJump, &P::SustainTime, 0.1f, 0.4f}, {kPresetJump, &P::DecayTime, 0.1f, 0.3f},
      {kPresetJump, &P::LPCutoff, 0.4f, 1},      {kPresetBlip, &P::StartFreq, 0.2f, 0.6f},
      {kPresetBlip, &P::SustainTime, 0.1f, 0.2f}, {kPresetBlip, &P::DecayTime, 0, 0.2f},
      {kPresetBlip, &P::HPCutoff, 0.1f, 0.1f},   {kPresetHurt, &P::SquareDuty, 0, 0.6f},
  };
  for (const Range& g : ranges) {
    float lo = 1e9f, hi = -1e9f;
    run(g.family, [&](const P& p) { lo = std::min(lo, p.*g.field), hi = std::max(hi, p.*g.field); });
    const float slack = (g.hi - g.lo) * 0.05f;
    EXPECT_TRUE(lo >= g.lo && lo <= g.lo + slack && hi <= g.hi && hi >= g.hi - slack)
        << g.family << ": " << g.lo << " to " << g.hi << ", seen " << lo << " to " << hi;
  }
  struct Waves {
    std::int32_t family;
    std::array<double, 4> share;
  } const waves[] = {
      {kPresetCoin, {1, 0, 0, 0}},       {kPresetLaser, {5 / 12.0, 5 / 12.0, 1 / 6.0, 0}},
      {kPresetExplosion, {0, 0, 0, 1}},  {kPresetPowerup, {0.5, 0.5, 0, 0}},
      {kPresetHurt, {1 / 3.0, 1 / 3.0, 0, 1 / 3.0}}, {kPresetJump, {1, 0, 0, 0}},
      {kPresetBlip, {0.5, 0.5, 0, 0}},
  };
  for (const Waves& w : waves) {
    std::array<int, 4> counts{};
    run(w.family, [&](const P& p) { ++counts.at(static_cast<std::size_t>(p.WaveType)); });
    for (std::size_t k = 0; k < 4; ++k) {
      EXPECT_NEAR(counts[k] / double(kRuns), w.share[k], 0.03) << w.family << " wave " << k;
      EXPECT_EQ(counts[k] == 0, w.share[k] == 0) << w.family << " wave " << k;
    }
  }
  // Laser step 4 raises MinFreq below 0.2 to 0.2; the one-in-three branch of
  // step 6 (Slide below -0.35) draws it from 0 to 0.1 without that floor.
  int atFloor = 0, justAbove = 0, overridden = 0;
  run(kPresetLaser, [&](const P& p) {
    if (p.Slide < -0.351f) {
      ++overridden;
      EXPECT_LE(p.MinFreq, 0.1f);
    } else if (p.Slide > -0.349f) {
      EXPECT_GE(p.MinFreq, 0.2f);
      atFloor += p.MinFreq == 0.2f;
      justAbove += p.MinFreq > 0.2f && p.MinFreq < 0.22f;
    }
  });
  EXPECT_NEAR(overridden / double(kRuns), 1 / 3.0, 0.03);
  EXPECT_GT(atFloor, 500);
  EXPECT_GT(justAbove, 20);
  int noSlide = 0;  // Explosion step 4: Slide 0 on one draw in five
  run(kPresetExplosion, [&](const P& p) { noSlide += p.Slide == 0; });
  EXPECT_NEAR(noSlide / double(kRuns), 0.2, 0.02);
}

}  // namespace
}  // namespace quavix
