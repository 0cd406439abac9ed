#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "params_equal.h"

namespace quavix {
namespace {

using test::Bits;
using test::ExpectSameParams;

const ParamInfo& Param(std::string_view name) {
  const ParamInfo* info = FindParam(name);
  EXPECT_NE(info, nullptr) << name;
  return *info;
}

// --- Unit conversions -------------------------------------------------------

TEST(TimeConversion, ScaleConstantStoresExactlyOne) {
  const SynthParams p = DefaultParams();
  EXPECT_EQ(TimeToStored(p, 2.2675f), 1.0f);
}

TEST(TimeConversion, SustainOfPointThreeSecondsRoundTrips) {
  SynthParams p = DefaultParams();
  Param("SustainTime").Set(p, 0.3f);
  EXPECT_EQ(p.SustainTime, 0.3637366f);
  EXPECT_EQ(Param("SustainTime").Get(p), 0.3f);
}

TEST(TimeConversion, GettersAfterReset) {
  const SynthParams p = DefaultParams();
  EXPECT_EQ(Param("AttackTime").Get(p), 0.0f);
  // 0.3f * 0.3f * 2.2675f rounded once: float bits 0x3e50f90a (about 0.204075).
  EXPECT_EQ(Bits(Param("SustainTime").Get(p)), 0x3e50f90au);
  EXPECT_NEAR(Param("SustainTime").Get(p), 0.204075, 5e-7);
  EXPECT_EQ(Param("RepeatSpeed").Get(p), 0.0f);
}

TEST(TimeConversion, NegativeTimeStoresNaN) {
  SynthParams p = DefaultParams();
  Param("DecayTime").Set(p, -1.0f);
  EXPECT_TRUE(std::isnan(p.DecayTime));
}

TEST(ChangeConversion, ZeroSecondsStoresOne) {
  SynthParams p = DefaultParams();
  Param("ChangeSpeed").Set(p, 0.0f);
  EXPECT_EQ(p.ChangeSpeed, 1.0f);
  EXPECT_EQ(Param("ChangeSpeed").Get(p), 0.0f);
}

TEST(ChangeConversion, BeyondTwentyThousandOverRateStoresNegative) {
  SynthParams p = DefaultParams();
  Param("ChangeSpeed").Set(p, 0.46f);  // above 20000 / 44100 = 0.4535 s
  EXPECT_LT(p.ChangeSpeed, 0.0f);
  Param("ChangeSpeed").Set(p, 0.45f);
  EXPECT_GT(p.ChangeSpeed, 0.0f);
}

TEST(RepeatConversion, ZeroStoresOneAndOneReadsInfinity) {
  SynthParams p = DefaultParams();
  Param("RepeatSpeed").Set(p, 0.0f);
  EXPECT_EQ(p.RepeatSpeed, 1.0f);
  EXPECT_EQ(Param("RepeatSpeed").Get(p), std::numeric_limits<float>::infinity());
  // -0.0 counts as 0 on the way in too.
  p.RepeatSpeed = 0.5f;
  Param("RepeatSpeed").Set(p, -0.0f);
  EXPECT_EQ(p.RepeatSpeed, 1.0f);
}

TEST(RepeatConversion, TenPerSecond) {
  SynthParams p = DefaultParams();
  Param("RepeatSpeed").Set(p, 10.0f);
  EXPECT_EQ(p.RepeatSpeed, 0.5304257f);
  EXPECT_NEAR(Param("RepeatSpeed").Get(p), 10.0, 1e-4);
}

TEST(RepeatConversion, ZeroTestOfTheGetter) {
  SynthParams p = DefaultParams();
  p.RepeatSpeed = -0.0f;
  EXPECT_EQ(Bits(Param("RepeatSpeed").Get(p)), Bits(0.0f));
  p.RepeatSpeed = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(std::isnan(Param("RepeatSpeed").Get(p)));
}

TEST(VibratoConversion, TenCyclesPerSecondRoundTrips) {
  SynthParams p = DefaultParams();
  Param("VibSpeed").Set(p, 10.0f);
  EXPECT_EQ(p.VibSpeed, 0.3774596f);
  EXPECT_EQ(Param("VibSpeed").Get(p), 10.0f);
}

TEST(Conversions, ReadTheSampleRateEachTime) {
  SynthParams p = DefaultParams();
  p.SampleRate = 22050;
  // sqrt(12.5 * 1764 / 22050) = 1 exactly.
  EXPECT_EQ(FreqHz(p, 1764), 1.0f);
  // (0 / 20000) * R is 0 whatever R; the change getter divides by R.
  p.ChangeSpeed = 0.0f;
  const float at22050 = StoredToChange(p, p.ChangeSpeed);
  p.SampleRate = 44100;
  EXPECT_EQ(at22050, 2.0f * StoredToChange(p, p.ChangeSpeed));
}

TEST(FreqHzConversion, DescribedValues) {
  const SynthParams p = DefaultParams();
  EXPECT_EQ(Bits(FreqHz(p, 0)), Bits(0.0f));
  EXPECT_EQ(FreqHz(p, 3528), 1.0f);
  EXPECT_NEAR(FreqHz(p, 20), 0.0752923, 5e-8);
  EXPECT_NEAR(FreqHz(p, 440), 0.35315, 5e-6);
  EXPECT_EQ(FreqHz(p, 20000), 2.3809524f);
  EXPECT_TRUE(std::isnan(FreqHz(p, -1)));
}

// --- The parameter table ----------------------------------------------------

TEST(ParamTable, IndexOrderAndNames) {
  const char* const names[kParamCount] = {
      "Volume",       "WaveType",    "AttackTime",   "SustainTime",   "SustainPunch",
      "DecayTime",    "StartFreq",   "MinFreq",      "Slide",         "DeltaSlide",
      "VibDepth",     "VibSpeed",    "ChangeAmount", "ChangeSpeed",   "SquareDuty",
      "DutySweep",    "RepeatSpeed", "PhaserOffset", "PhaserSweep",   "LPCutoff",
      "LPCutoffSweep", "LPResonance", "HPCutoff",    "HPCutoffSweep"};
  for (int i = 0; i < kParamCount; ++i) {
    EXPECT_EQ(kParamTable[static_cast<std::size_t>(i)].Index, i);
    EXPECT_EQ(kParamTable[static_cast<std::size_t>(i)].Name, names[i]);
  }
}

TEST(ParamTable, SetterTextsAndTitles) {
  EXPECT_EQ(Param("AttackTime").SetterText, "Set attack time to %0");
  EXPECT_EQ(Param("AttackTime").SetterTitle, "Attack time");
  EXPECT_EQ(Param("SustainTime").SetterText, "Set sustain time to %0");
  EXPECT_EQ(Param("SustainTime").SetterTitle, "Sustain time in seconds");
  EXPECT_EQ(Param("WaveType").SetterText, "Set wave type to %0");
  EXPECT_EQ(Param("WaveType").SetterTitle,
            "Wave type (0: Square wave, 1: Sawtooth, 2: Sine, 3: Noise)");
  EXPECT_EQ(Param("DutySweep").SetterText, "Set square duty sweep to %0");
  EXPECT_EQ(Param("VibSpeed").SetterTitle, "Vibrato Speed in cycles per second");
  EXPECT_EQ(Param("LPCutoffSweep").SetterText, "Set LP filter cutoff sweep to %0");
  EXPECT_EQ(Param("Volume").SetterTitle, "Sound volume");
}

TEST(ParamTable, FindIgnoresAsciiCase) {
  EXPECT_EQ(FindParam("lpcutoff"), &kParamTable[19]);
  EXPECT_EQ(FindParam("HPCUTOFFSWEEP"), &kParamTable[23]);
  EXPECT_EQ(FindParam("LPCutoff("), nullptr);
  EXPECT_EQ(FindParam(""), nullptr);
}

TEST(ParamTable, EachSetterChangesOnlyItsOwnParameter) {
  for (const ParamInfo& info : kParamTable) {
    SynthParams p = DefaultParams();
    info.Set(p, 0.25f);
    SynthParams expected = DefaultParams();
    SetVariable(expected, info.Index, StoredValue(p, info.Index));
    ExpectSameParams(p, expected);
  }
}

TEST(ParamTable, WaveTypeIsStoredUnchanged) {
  SynthParams p = DefaultParams();
  Param("WaveType").Set(p, 7.0f);
  EXPECT_EQ(p.WaveType, 7);
  EXPECT_EQ(Param("WaveType").Get(p), 7.0f);
  Param("SquareDuty").Set(p, -3.5f);  // no range test
  EXPECT_EQ(p.SquareDuty, -3.5f);
}

// --- Indexed access ---------------------------------------------------------

TEST(IndexedAccess, WaveTypeTruncatesTowardZero) {
  SynthParams p = DefaultParams();
  SetVariable(p, 1, 2.9f);
  EXPECT_EQ(p.WaveType, 2);
  SetVariable(p, 1, -2.9f);
  EXPECT_EQ(p.WaveType, -2);
  SetVariable(p, 1, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(p.WaveType, std::numeric_limits<std::int32_t>::min());
}

TEST(IndexedAccess, OutOfRangeIndexChangesNothing) {
  for (const std::int32_t index : {24, -1, 1000, std::numeric_limits<std::int32_t>::min()}) {
    SynthParams p = DefaultParams();
    SetVariable(p, index, 5.0f);
    ExpectSameParams(p, DefaultParams());
    const auto value = GetVariable(p, index);
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(value)) << index;
    EXPECT_EQ(std::get<std::int32_t>(value), 0);
  }
}

TEST(IndexedAccess, StoresWithoutConversion) {
  SynthParams p = DefaultParams();
  SetVariable(p, 2, 1.0f);
  EXPECT_EQ(p.AttackTime, 1.0f);
  EXPECT_EQ(Param("AttackTime").Get(p), 2.2675f);
  const auto value = GetVariable(p, 2);
  ASSERT_TRUE(std::holds_alternative<float>(value));
  EXPECT_EQ(std::get<float>(value), 1.0f);
}

TEST(IndexedAccess, WaveTypeReadsAsInteger) {
  SynthParams p = DefaultParams();
  p.WaveType = 3;
  const auto value = GetVariable(p, 1);
  ASSERT_TRUE(std::holds_alternative<std::int32_t>(value));
  EXPECT_EQ(std::get<std::int32_t>(value), 3);
}

TEST(IndexedAccess, EveryIndexReachesItsParameter) {
  SynthParams p = DefaultParams();
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    SetVariable(p, i, static_cast<float>(i + 100));
  }
  EXPECT_EQ(p.Volume, 100.0f);
  EXPECT_EQ(p.WaveType, 101);
  EXPECT_EQ(p.SustainPunch, 104.0f);
  EXPECT_EQ(p.ChangeAmount, 112.0f);
  EXPECT_EQ(p.RepeatSpeed, 116.0f);
  EXPECT_EQ(p.LPResonance, 121.0f);
  EXPECT_EQ(p.HPCutoffSweep, 123.0f);
  EXPECT_EQ(p.MasterVolume, 0.05f);
}

}  // namespace
}  // namespace quavix
