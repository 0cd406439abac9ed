#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "synth/exact_math.h"
#include "synth/synthesizer.h"
#include "synth_test_util.h"

namespace quavix {
namespace {

using test::Render;

TEST(Defaults, ParamsHoldTheDefaultValues) {
  RandomSource r;
  Synthesizer s(r);
  const SynthParams& p = s.Params;
  EXPECT_EQ(p.BitsPerSample, 16);
  EXPECT_EQ(p.SampleRate, 44100);
  EXPECT_EQ(p.Volume, 1.0f);
  EXPECT_EQ(p.WaveType, 0);
  EXPECT_EQ(static_cast<double>(p.SustainTime), 0.30000001192092896);
  EXPECT_EQ(p.DecayTime, 0.4f);
  EXPECT_EQ(p.StartFreq, 0.3f);
  EXPECT_EQ(p.LPCutoff, 1.0f);
  EXPECT_EQ(p.MasterVolume, 0.05f);
  EXPECT_EQ(p.FlagReserved, 0);
  EXPECT_EQ(p.VibReserved, 0.0f);
}

TEST(Defaults, ConstructionDrawsThirtyTwoNoiseValues) {
  RandomSource r;
  SeedRandom(r, 5);
  Synthesizer s(r);
  RandomSource expected;
  SeedRandom(expected, 5);
  for (int i = 0; i < 32; ++i) NextDraw(expected);
  EXPECT_EQ(r.State, expected.State);
}

TEST(DefaultSound, LengthPeriodAndEnvelope) {
  RandomSource r;
  Synthesizer s(r);
  const auto samples = Render(s, r, 100000);
  EXPECT_EQ(samples.size(), 25003u);
  EXPECT_EQ(s.SampleCount, 25003);
  EXPECT_EQ(s.Period, 1098);
  EXPECT_EQ(s.EnvLength[0], 0);
  EXPECT_EQ(s.EnvLength[1], 9000);
  EXPECT_EQ(s.EnvLength[2], 16000);
  EXPECT_NEAR(100.0 / (0.3f * 0.3f + 0.001), 1098.901, 0.001);
}

TEST(DefaultSound, PeriodExactAfterRestart) {
  RandomSource r;
  Synthesizer s(r);
  EXPECT_NEAR(s.PeriodExact, 1098.901, 0.0005);
  EXPECT_EQ(s.PeriodExact, 100.0 / (0.30000001192092896 * 0.30000001192092896 + 0.001));
}

TEST(DefaultSound, FirstSamplesAndTheSquareEdge) {
  RandomSource r;
  Synthesizer s(r);
  const auto samples = Render(s, r, 100000);
  const std::vector<std::int16_t> first(samples.begin(), samples.begin() + 10);
  EXPECT_EQ(first, (std::vector<std::int16_t>{3199, 3199, 3199, 3199, 3198, 3198, 3198, 3198,
                                              3197, 3197}));
  EXPECT_EQ(samples[68], -17);
  EXPECT_EQ(samples[69], -3217);
  EXPECT_EQ(samples.back(), 0);
}

TEST(DefaultSound, SameStateGivesSameSamples) {
  RandomSource r;
  SeedRandom(r, 77);
  Synthesizer s(r);
  s.Params.WaveType = 3;
  SeedRandom(r, 1234);
  const auto a = Render(s, r, 30000);
  SeedRandom(r, 1234);
  const auto b = Render(s, r, 30000);
  EXPECT_EQ(a, b);
}

TEST(NoiseSound, SeedTwelveThousandThreeHundredFortyFive) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.WaveType = 3;
  SeedRandom(r, 12345);
  const auto samples = Render(s, r, 100000);
  const std::vector<std::int16_t> first(samples.begin(), samples.begin() + 14);
  EXPECT_EQ(first, (std::vector<std::int16_t>{3307, 3307, 3306, 3306, 4822, 5326, 5326, 5326, 3168,
                                              1012, 1011, 1011, -162, -3685}));
}

TEST(Envelope, ShortSustainAndDecay) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.SustainTime = 0.05f;
  s.Params.DecayTime = 0.08f;
  const auto samples = Render(s, r, 100000);
  EXPECT_EQ(s.EnvLength[0], 0);
  EXPECT_EQ(s.EnvLength[1], 250);
  EXPECT_EQ(s.EnvLength[2], 639);
  EXPECT_EQ(samples.size(), 892u);
}

TEST(Envelope, AttackOnlyAndZeroStagesWriteZeroSamples) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.SustainTime = 0.0f;
  s.Params.DecayTime = 0.0f;
  const auto samples = Render(s, r, 1000);
  // No attack, one sustain step and one decay step (0/0 each) and the final step.
  ASSERT_EQ(samples.size(), 3u);
  EXPECT_EQ(samples, (std::vector<std::int16_t>{0, 0, 0}));
}

TEST(Envelope, NoAttackStartsInSustainWithPunch) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.SustainPunch = 0.5f;
  std::vector<std::int16_t> area(10);
  Synthesize(s, 1, area.data(), r);
  EXPECT_EQ(s.EnvStage, 1);
  EXPECT_EQ(s.EnvVolume, 2.0f);
}

TEST(Envelope, AttackRisesLinearly) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.AttackTime = 0.1f;  // 1000 samples (0.1f squared is just above 0.01)
  std::vector<std::int16_t> area(600);
  Synthesize(s, 500, area.data(), r);
  EXPECT_EQ(s.EnvLength[0], 1000);
  EXPECT_EQ(s.EnvStage, 0);
  EXPECT_EQ(s.EnvVolume, 0.5f);
}

TEST(MaxSamples, CutsTheSoundShort) {
  RandomSource r;
  Synthesizer s(r);
  std::vector<std::int16_t> area(1000, 12345);
  Synthesize(s, 700, area.data(), r);
  EXPECT_EQ(s.SampleCount, 700);
  EXPECT_EQ(area[700], 12345);
}

TEST(MaxSamples, ZeroAndNegativeWriteNothingButStillDrawTheNoiseTable) {
  for (std::int32_t max : {0, -1, -2147483647 - 1}) {
    RandomSource r;
    SeedRandom(r, 3);
    Synthesizer s(r);
    s.SampleCount = 99;
    const std::uint32_t before = r.State;
    std::int16_t canary = 4242;
    Synthesize(s, max, &canary, r);
    EXPECT_EQ(s.SampleCount, 0);
    EXPECT_EQ(canary, 4242);
    RandomSource expected;
    expected.State = before;
    for (int i = 0; i < 32; ++i) NextDraw(expected);
    EXPECT_EQ(r.State, expected.State);
  }
}

TEST(FrequencyLimit, StopsAfterOneSampleWhenStartIsBelowTheFloor) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.MinFreq = 0.5f;
  s.Params.StartFreq = 0.3f;
  const auto samples = Render(s, r, 100000);
  EXPECT_EQ(samples.size(), 1u);
}

TEST(FrequencyLimit, NegativeFloorCapsWithoutStopping) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.MinFreq = -0.5f;
  s.Params.StartFreq = 0.3f;
  const auto samples = Render(s, r, 100000);
  EXPECT_EQ(samples.size(), 25003u);
  EXPECT_EQ(s.PeriodExact, 100.0 / (0.25 + 0.001));
}

TEST(FrequencyLimit, ZeroFloorCapsAtOneHundredThousand) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.StartFreq = 0.0f;
  const auto samples = Render(s, r, 100000);
  EXPECT_EQ(samples.size(), 25003u);
  EXPECT_EQ(s.PeriodExact, 100.0 / 0.001);
}

TEST(WaveType, OutsideTheKnownTypesIsSilenceOfNormalLength) {
  for (std::int32_t wave : {4, -1, 7}) {
    RandomSource r;
    Synthesizer s(r);
    s.Params.WaveType = wave;
    const auto samples = Render(s, r, 100000);
    EXPECT_EQ(samples.size(), 25003u) << wave;
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](std::int16_t v) { return v == 0; }))
        << wave;
  }
}

TEST(WaveType, ZeroDutySquareIsConstantBeforeTheFilters) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.SquareDuty = 1.0f;
  std::vector<std::int16_t> area(10);
  Synthesize(s, 10, area.data(), r);
  EXPECT_EQ(s.Duty, 0.0f);
  // The high-pass removes the constant: the output shrinks from the first sample on.
  EXPECT_LT(area[0], 0);
  EXPECT_LT(area[0], area[9]);
}

TEST(Repeat, RestartsEveryFiveThousandSamples) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.RepeatSpeed = 0.5f;
  s.Params.Slide = 0.2f;
  std::vector<std::int16_t> area(10000);
  Synthesize(s, 4999, area.data(), r);
  EXPECT_EQ(s.RepeatLimit, 5000);
  EXPECT_EQ(s.RepeatTime, 4999);
  const double slidBefore = s.PeriodExact;
  Synthesize(s, 5000, area.data(), r);
  // The 5000th sample restarts the period and then slides it once.
  EXPECT_EQ(s.RepeatTime, 0);
  const double start = 100.0 / (0.30000001192092896 * 0.30000001192092896 + 0.001);
  const double factor = 1.0 - Cube(0.20000000298023224) * 0.01;
  EXPECT_EQ(s.PeriodExact, factor * start);
  EXPECT_LT(slidBefore, s.PeriodExact);
  EXPECT_EQ(s.EnvStage, 1);
}

TEST(Repeat, ZeroAndOneMeanNoRepeat) {
  for (float speed : {0.0f, 1.0f}) {
    RandomSource r;
    Synthesizer s(r);
    s.Params.RepeatSpeed = speed;
    Restart(s, false, r);
    EXPECT_EQ(s.RepeatLimit, 0) << speed;
  }
}

TEST(Change, HappensOnceAtSampleTwentyThousand) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.ChangeAmount = 0.5f;
  s.Params.ChangeSpeed = 0.0f;
  std::vector<std::int16_t> area(30000);
  const double start = 100.0 / (0.30000001192092896 * 0.30000001192092896 + 0.001);
  Synthesize(s, 19999, area.data(), r);
  EXPECT_EQ(s.PeriodExact, start);
  Synthesize(s, 20000, area.data(), r);
  EXPECT_EQ(s.ChangeFactor, 0.775);
  EXPECT_EQ(s.PeriodExact, 0.775 * start);
  EXPECT_EQ(s.ChangeLimit, 0);
  Synthesize(s, 25000, area.data(), r);
  EXPECT_EQ(s.PeriodExact, 0.775 * start);
}

TEST(Change, SpeedOneNeverChanges) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.ChangeAmount = 0.5f;
  s.Params.ChangeSpeed = 1.0f;
  Restart(s, false, r);
  EXPECT_EQ(s.ChangeLimit, 0);
}

TEST(Slide, NegativeSlideLowersThePitch) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.Slide = -0.5f;
  Restart(s, false, r);
  EXPECT_EQ(s.SlideFactor, 1.00125);
}

TEST(Filters, HighPassCoefficientFloorsAtOneHundredThousandth) {
  RandomSource r;
  Synthesizer s(r);
  std::vector<std::int16_t> area(4);
  Synthesize(s, 1, area.data(), r);
  EXPECT_EQ(s.HpCoeff, 0.00001f);
}

TEST(Filters, LowPassBypassOnlyAtExactlyOne) {
  RandomSource r;
  Synthesizer s(r);
  const auto bypassed = Render(s, r, 2000);
  s.Params.LPCutoff = 0.999f;
  const auto filtered = Render(s, r, 2000);
  EXPECT_NE(bypassed, filtered);
}

TEST(Filters, ResonanceDampingIsCappedAtPointEight) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.LPCutoff = 1.0f;
  Restart(s, false, r);
  EXPECT_EQ(s.LpDamping, Single(5.0 * (static_cast<double>(0.1f) + static_cast<double>(0.01f))));
  s.Params.LPCutoff = 2.0f;  // coefficient 0.8 before the per-subsample clamp
  Restart(s, false, r);
  EXPECT_EQ(s.LpDamping, 0.8f);
  s.Params.LPCutoff = 0.5f;
  s.Params.LPResonance = 0.5f;
  Restart(s, false, r);
  EXPECT_EQ(s.LpCoeff, Single(static_cast<double>(Single(0.125)) * static_cast<double>(0.1f)));
  EXPECT_LT(s.LpDamping, 0.8f);
}

TEST(Phaser, NoDelayDoublesEverySubsample) {
  RandomSource r;
  Synthesizer s(r);
  std::vector<std::int16_t> area(4);
  Synthesize(s, 1, area.data(), r);
  EXPECT_EQ(s.PhaserDelay, 0);
  // The first sample of the default sound: 8 subsamples of +0.5 doubled,
  // gain 400 per unit of sum: 0.5 * 2 * 8 * 400 = 3200, less the high-pass.
  EXPECT_EQ(area[0], 3199);
}

TEST(Phaser, OffsetGivesSignedDelay) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.PhaserOffset = -0.5f;
  std::vector<std::int16_t> area(4);
  Synthesize(s, 1, area.data(), r);
  EXPECT_EQ(s.PhaserPos, -255.0f);
  EXPECT_EQ(s.PhaserDelay, 255);
}

TEST(Vibrato, NoAdvanceWithoutDepth) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.VibSpeed = 0.5f;
  s.Params.VibDepth = 0.0f;
  std::vector<std::int16_t> area(100);
  Synthesize(s, 100, area.data(), r);
  EXPECT_EQ(s.VibPhase, 0.0f);
}

TEST(Vibrato, DeepVibratoHoldsPeriodAtEight) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.VibDepth = 3.0f;
  s.Params.VibSpeed = 1.0f;
  std::vector<std::int16_t> area(30000);
  int atEight = 0;
  // Step sample by sample through one vibrato cycle and watch the period.
  Restart(s, false, r);
  for (std::int32_t n = 1; n < 700; n += 7) {
    Synthesize(s, n, area.data(), r);
    if (s.Period == 8) ++atEight;
    ASSERT_GE(s.Period, 8);
  }
  EXPECT_GT(atEight, 0);
}

TEST(Output, LoudSettingsClipAtThirtyTwoThousand) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.Volume = 100.0f;
  const auto samples = Render(s, r, 1000);
  EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 32000);
  EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -32000);
}

TEST(Reset, KeepsSampleCountAndRestoresDefaults) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.Volume = 0.25f;
  s.Params.WaveType = 2;
  s.Params.FlagReserved = 9;
  const auto samples = Render(s, r, 500);
  const std::int32_t period = s.Period;
  Reset(s);
  EXPECT_EQ(s.SampleCount, 500);
  EXPECT_EQ(s.Period, period);
  EXPECT_FALSE(s.Playing);
  const SynthParams defaults = DefaultParams();
  EXPECT_EQ(std::memcmp(&s.Params.Volume, &defaults.Volume, 4 * kParamCount), 0);
  EXPECT_EQ(s.Params.FlagReserved, 0);
}

}  // namespace
}  // namespace quavix
