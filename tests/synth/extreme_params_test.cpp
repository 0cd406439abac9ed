// Parameters that are not numbers, infinite or huge: the sound must still end
// within the area, stay within the output range, and run without undefined
// behaviour (the sanitizer build runs these).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "synth/exact_math.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

void SetCell(SynthParams& p, int index, float value) {
  if (index == 1) {
    p.WaveType = TruncToInt32(static_cast<double>(value));
    return;
  }
  std::memcpy(reinterpret_cast<unsigned char*>(&p.Volume) + 4 * index, &value, 4);
}

void ExpectBoundedSound(Synthesizer& s, RandomSource& r, std::int32_t maxSamples) {
  std::vector<std::int16_t> area(static_cast<std::size_t>(maxSamples) + 16, 0x5A5A);
  Synthesize(s, maxSamples, area.data(), r);
  ASSERT_GE(s.SampleCount, 0);
  ASSERT_LE(s.SampleCount, maxSamples);
  for (std::int32_t i = 0; i < s.SampleCount; ++i) {
    ASSERT_GE(area[static_cast<std::size_t>(i)], -32000);
    ASSERT_LE(area[static_cast<std::size_t>(i)], 32000);
  }
  for (std::size_t i = static_cast<std::size_t>(maxSamples); i < area.size(); ++i) {
    ASSERT_EQ(area[i], 0x5A5A);
  }
}

TEST(ExtremeParams, EachFieldAloneAtSpecialValues) {
  const float values[] = {kNaN, kInf, -kInf, 1e30f, -1e30f, 3e9f, -3e9f, 1e-38f, -0.0f};
  for (int index = 0; index < kParamCount; ++index) {
    for (float value : values) {
      for (std::int32_t wave : {0, 1, 2, 3}) {
        RandomSource r;
        SeedRandom(r, 11);
        Synthesizer s(r);
        s.Params.WaveType = wave;
        SetCell(s.Params, index, value);
        SCOPED_TRACE(testing::Message() << "index " << index << " value " << value << " wave "
                                        << wave);
        ExpectBoundedSound(s, r, 3000);
      }
    }
  }
}

TEST(ExtremeParams, EverythingNotANumber) {
  RandomSource r;
  Synthesizer s(r);
  for (int index = 0; index < kParamCount; ++index) SetCell(s.Params, index, kNaN);
  ExpectBoundedSound(s, r, 5000);
}

TEST(ExtremeParams, HugeEnvelopeRunsToTheEndOfTheArea) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.SustainTime = 1e6f;  // length beyond int32: one sustain step of gain 1
  s.Params.DecayTime = 1e6f;
  s.Params.AttackTime = 1e6f;
  std::vector<std::int16_t> area(100);
  Synthesize(s, 100, area.data(), r);
  EXPECT_EQ(s.EnvLength[0], std::numeric_limits<std::int32_t>::min());
  // Attack takes no step, sustain and decay one each, then the final step.
  EXPECT_EQ(s.SampleCount, 3);
}

TEST(ExtremeParams, HugeRepeatRestartsEverySample) {
  RandomSource r;
  Synthesizer s(r);
  s.Params.RepeatSpeed = -1e6f;
  s.Params.Slide = 0.5f;
  std::vector<std::int16_t> area(100);
  Synthesize(s, 50, area.data(), r);
  EXPECT_EQ(s.RepeatLimit, std::numeric_limits<std::int32_t>::min());
  const double start = 100.0 / (0.30000001192092896 * 0.30000001192092896 + 0.001);
  EXPECT_EQ(s.PeriodExact, (1.0 - Cube(0.5) * 0.01) * start);
}

TEST(ExtremeParams, PhaserBeyondInt32ReadsTheEntryJustWritten) {
  RandomSource r;
  Synthesizer s(r);
  const auto plain = [&] {
    std::vector<std::int16_t> area(200);
    Synthesize(s, 200, area.data(), r);
    return area;
  }();
  s.Params.PhaserOffset = 1e6f;  // PhaserPos about 1e15: trunc overflows
  std::vector<std::int16_t> area(200);
  Synthesize(s, 200, area.data(), r);
  EXPECT_EQ(s.PhaserDelay, 0);
  EXPECT_EQ(area, plain);
}

TEST(ExtremeParams, TruncHelperGivesIntMinOutsideTheRange) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(TruncToInt32(std::nan("")), kMin);
  EXPECT_EQ(TruncToInt32(2147483648.0), kMin);
  EXPECT_EQ(TruncToInt32(-2147483649.0), kMin);
  EXPECT_EQ(TruncToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(TruncToInt32(-2147483648.9), kMin);
  EXPECT_EQ(TruncToInt32(-2.9), -2);
  EXPECT_EQ(TruncToInt32(2.9), 2);
}

}  // namespace
}  // namespace quavix
