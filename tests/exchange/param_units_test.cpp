// The dedicated setters and getters with their unit conversions, FreqHz and
// indexed access.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <variant>

#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "params_equal.h"

namespace quavix {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A NaN expected means any NaN; tolerance 0 means the same bits.
void ExpectValue(float got, float want, double tolerance) {
  if (std::isnan(want)) {
    EXPECT_TRUE(std::isnan(got)) << got;
  } else if (tolerance == 0) {
    EXPECT_EQ(test::Bits(got), test::Bits(want)) << got << " wanted " << want;
  } else {
    EXPECT_NEAR(got, want, tolerance);
  }
}

TEST(ParamUnits, SettersStoreTheConvertedValueAndGettersReadItBack) {
  struct Case { const char* Name; float User, Stored; double StoredTol; float Read; double ReadTol; };
  const Case cases[] = {
      {"AttackTime", 2.2675f, 1.0f, 0, 2.2675f, 0},  // the scale itself
      {"SustainTime", 0.3f, 0.3637366f, 0, 0.3f, 0},  // sqrt(0.3 / 2.2675)
      // q = 0.32 / 2.2675 = 0.14112459 rounded to single before the root: 0.37566555, not 0.37566552
      {"AttackTime", 0.32f, 0.37566555f, 0, 0.32f, 1e-7},
      {"DecayTime", 0, 0, 0, 0, 0}, {"DecayTime", -1, kNaN, 0, kNaN, 0},  // the root of a negative number
      {"VibSpeed", 10, 0.3774596f, 0, 10, 0},  // sqrt(20 * 3.14159 / 44100 * 100)
      {"VibSpeed", -1, kNaN, 0, kNaN, 0},
      {"ChangeSpeed", 0, 1, 0, 0, 0},  // 1 - sqrt(0)
      // 1 - sqrt(0.45 / 20000 * 44100) = 1 - sqrt(0.99225) = 0.0038825; above 20000 / 44100 = 0.4535 s
      // the value turns negative: 1 - sqrt(0.46 * 2.205) = 1 - sqrt(1.0143) = -0.0071246.
      {"ChangeSpeed", 0.45f, 0.0038825f, 1e-6, 0.45f, 1e-6}, {"ChangeSpeed", 0.46f, -0.0071246f, 1e-6, 0.46f, 1e-6},
      {"ChangeSpeed", -1, kNaN, 0, kNaN, 0},
      // 1 - sqrt(0.08 * 2.205) = 1 - 0.42, with the root rounded to single (0.41999999): 0.58000004
      {"ChangeSpeed", 0.08f, 0.58000004f, 0, 0.08f, 1e-7},
      {"RepeatSpeed", 0, 1, 0, kInf, 0}, {"RepeatSpeed", -0.0f, 1, 0, kInf, 0},  // 0 stores 1; 1 reads 1 / 0
      {"RepeatSpeed", 10, 0.5304257f, 0, 10, 2e-5}, {"RepeatSpeed", -1, kNaN, 0, kNaN, 0},
      {"WaveType", 7, 7, 0, 7, 0}, {"Slide", -3.5f, -3.5f, 0, -3.5f, 0},  // no range tests
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.User));
    const ParamInfo& info = *FindParam(c.Name);
    SynthParams p = DefaultParams();
    info.Set(p, c.User);
    ExpectValue(StoredValue(p, info.Index), c.Stored, c.StoredTol);
    ExpectValue(info.Get(p), c.Read, c.ReadTol);
    SynthParams others = DefaultParams();  // no other parameter changed
    SetVariable(others, info.Index, StoredValue(p, info.Index));
    test::ExpectSameParams(p, others);
  }
}

TEST(ParamUnits, GettersReadStoredValuesAtTheSampleRate) {
  struct Case { const char* Name; std::int32_t Rate; float Stored, Read; double Tol; };
  const Case cases[] = {
      {"AttackTime", 44100, 0, 0, 0}, {"AttackTime", 44100, 1, 2.2675f, 0},
      {"SustainTime", 44100, 0.3f, std::bit_cast<float>(0x3e50f90au), 0},  // 0.3 * 0.3 * 2.2675 = 0.204075
      {"VibSpeed", 44100, 1, 70.187389f, 2e-5},  // 0.5 / 3.14159 * R / 100
      {"VibSpeed", 22050, 1, 35.093695f, 2e-5},
      // 0.09^2 * 0.5 / 3.141590118408203 * 44100 / 100 = 0.56851786 (0.5685179 with pi rounded otherwise)
      {"VibSpeed", 44100, 0.09f, 0.56851786f, 0},
      {"ChangeSpeed", 44100, 0, 0.45351474f, 1e-7}, {"ChangeSpeed", 22050, 0, 0.90702948f, 1e-7},  // 20000 / R
      {"RepeatSpeed", 44100, 0, 0, 0}, {"RepeatSpeed", 44100, -0.0f, 0, 0},  // a stored 0 reads 0
      {"RepeatSpeed", 44100, kNaN, kNaN, 0},                                 // NaN is not 0
      {"RepeatSpeed", 44100, -1, 0.55125f, 1e-7},  // 1 / (2 * 2) * 44100 / 20000
      {"RepeatSpeed", 44100, 0.5f, 8.82f, 1e-6}, {"RepeatSpeed", 22050, 0.5f, 4.41f, 1e-6},  // 1 / 0.25 * R / 20000
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.Stored) + " at " + std::to_string(c.Rate));
    const ParamInfo& info = *FindParam(c.Name);
    SynthParams p = DefaultParams();
    p.SampleRate = c.Rate;
    SetVariable(p, info.Index, c.Stored);
    ExpectValue(info.Get(p), c.Read, c.Tol);
  }
  // The setters read R too: 0.9 s at 22050 is 0.45 s at 44100 (q = 0.99225).
  SynthParams half = DefaultParams();
  half.SampleRate = 22050;
  EXPECT_EQ(ChangeToStored(half, 0.9f), ChangeToStored(DefaultParams(), 0.45f));
  EXPECT_NEAR(ChangeToStored(half, 0.9f), 0.0038825, 1e-6);
}

TEST(ParamUnits, FreqHzIsTheRootOfTwelveAndAHalfHertzOverR) {
  struct Case { std::int32_t Rate, Hz; float Stored; double Tol; };
  for (const Case& c : {Case{44100, 0, 0, 0}, Case{44100, 3528, 1, 0}, Case{22050, 1764, 1, 0},
                        Case{44100, 20, 0.0752923f, 5e-8}, Case{44100, 440, 0.35315f, 5e-6},
                        Case{44100, 20000, 2.3809524f, 0}, Case{44100, -1, kNaN, 0}}) {
    SynthParams p = DefaultParams();
    p.SampleRate = c.Rate;
    SCOPED_TRACE(c.Hz);
    ExpectValue(FreqHz(p, c.Hz), c.Stored, c.Tol);
  }
}

// The 24 parameters lie in index order in 24 four-byte cells from Volume on,
// the integer WaveType in cell 1.
TEST(IndexedAccess, EachIndexReachesItsCellUnconverted) {
  std::string names;
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    const ParamInfo& info = kParamTable[static_cast<std::size_t>(i)];
    names.append(info.Name).append(" ");
    EXPECT_EQ(FindParam(info.Name), &info);
    SynthParams p = DefaultParams(), expected = DefaultParams();
    SetVariable(p, i, 2.9f);
    const std::int32_t wave = 2;
    const float value = 2.9f;
    std::memcpy(reinterpret_cast<unsigned char*>(&expected.Volume) + 4 * i, i == 1 ? (const void*)&wave : &value, 4);
    test::ExpectSameParams(p, expected);
    const auto read = GetVariable(p, i);
    EXPECT_TRUE(i == 1 ? std::get<std::int32_t>(read) == 2 : std::get<float>(read) == 2.9f) << i;
  }
  EXPECT_EQ(names, "Volume WaveType AttackTime SustainTime SustainPunch DecayTime StartFreq MinFreq Slide "
                   "DeltaSlide VibDepth VibSpeed ChangeAmount ChangeSpeed SquareDuty DutySweep RepeatSpeed "
                   "PhaserOffset PhaserSweep LPCutoff LPCutoffSweep LPResonance HPCutoff HPCutoffSweep ");
  EXPECT_EQ(FindParam("lpcutoff"), &kParamTable[19]);
  EXPECT_EQ(FindParam("LPCutoff("), nullptr);
  EXPECT_EQ(FindParam(""), nullptr);
}

TEST(IndexedAccess, WaveTypeTruncatesAndOtherIndexesChangeNothing) {
  struct Case { float Value; std::int32_t WaveType; };
  for (const Case& c : {Case{2.9f, 2}, Case{-2.9f, -2}, Case{kNaN, std::numeric_limits<std::int32_t>::min()}}) {
    SynthParams p = DefaultParams();
    SetVariable(p, 1, c.Value);
    EXPECT_EQ(p.WaveType, c.WaveType) << c.Value;
  }
  for (const std::int32_t index : {24, 25, -1, std::numeric_limits<std::int32_t>::min()}) {
    SynthParams p = DefaultParams();
    SetVariable(p, index, 5.0f);
    test::ExpectSameParams(p, DefaultParams());
    const auto value = GetVariable(p, index);
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(value)) << index;  // the integer 0, not a float
    EXPECT_EQ(std::get<std::int32_t>(value), 0);
  }
}

}  // namespace
}  // namespace quavix
