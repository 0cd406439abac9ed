// The dedicated setters and getters with their unit conversions, FreqHz and indexed access.
#include "exchange/param_units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <variant>

#include "exchange/param_table.h"
#include "params_equal.h"

namespace quavix {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Each row converts one way at its sample rate, to its value or within its tolerance: a setter
// from the user's unit to the stored value (changing no other field), a getter back, or FreqHz
// from Hertz to the stored unit.
TEST(ParamUnits, SettersAndGettersConvertAtTheSampleRate) {
  enum Kind { Set, Get, Hz };
  struct Case {
    const char* Name;
    Kind Way;
    std::int32_t Rate;
    float From, To;
    double Tol;
  };
  const Case cases[] = {
      {"AttackTime", Set, 44100, 2.2675f, 1.0f, 0},      // the scale itself
      {"SustainTime", Set, 44100, 0.3f, 0.3637366f, 0},  // sqrt(0.3 / 2.2675)
      // q = 0.32 / 2.2675 = 0.14112459 rounded to single before the root: 0.37566555, not ...52
      {"AttackTime", Set, 44100, 0.32f, 0.37566555f, 0},
      {"DecayTime", Set, 44100, 0, 0, 0},
      {"DecayTime", Set, 44100, -1, kNaN, 0},       // the root of a negative number
      {"VibSpeed", Set, 44100, 10, 0.3774596f, 0},  // sqrt(20 * 3.14159 / 44100 * 100)
      {"VibSpeed", Set, 44100, -1, kNaN, 0},
      {"ChangeSpeed", Set, 44100, 0, 1, 0},  // 1 - sqrt(0)
      // 1 - sqrt(0.45 / 20000 * 44100) = 1 - sqrt(0.99225); above 20000 / 44100 s it turns
      // negative: 1 - sqrt(0.46 * 2.205) = 1 - sqrt(1.0143)
      {"ChangeSpeed", Set, 44100, 0.45f, 0.0038825f, 1e-6},
      {"ChangeSpeed", Set, 44100, 0.46f, -0.0071246f, 1e-6},
      {"ChangeSpeed", Set, 22050, 0.9f, 0.0038825f, 1e-6},  // 0.9 s at 22050 is 0.45 s at 44100
      {"ChangeSpeed", Set, 44100, -1, kNaN, 0},
      // 1 - sqrt(0.08 * 2.205) = 1 - 0.42, the root rounded to single (0.41999999): 0.58000004
      {"ChangeSpeed", Set, 44100, 0.08f, 0.58000004f, 0},
      {"RepeatSpeed", Set, 44100, 0, 1, 0},  // 0 stores 1
      {"RepeatSpeed", Set, 44100, -0.0f, 1, 0},
      {"RepeatSpeed", Set, 44100, 10, 0.5304257f, 0},
      {"RepeatSpeed", Set, 44100, -1, kNaN, 0},
      {"WaveType", Set, 44100, 7, 7, 0},  // no range checks
      {"Slide", Set, 44100, -3.5f, -3.5f, 0},
      {"AttackTime", Get, 44100, 0, 0, 0},
      {"AttackTime", Get, 44100, 1, 2.2675f, 0},
      {"SustainTime", Get, 44100, 0.3f, 0.204075f, 1e-7},  // 0.3 * 0.3 * 2.2675
      {"VibSpeed", Get, 44100, 1, 70.187389f, 2e-5},       // 0.5 / 3.14159 * R / 100
      {"VibSpeed", Get, 22050, 1, 35.093695f, 2e-5},
      // 0.09^2 * 0.5 / 3.141590118408203 * 44100 / 100 = 0.56851786 (...79 with pi otherwise)
      {"VibSpeed", Get, 44100, 0.09f, 0.56851786f, 0},
      {"ChangeSpeed", Get, 44100, 0, 0.45351474f, 1e-7},  // 20000 / R
      {"ChangeSpeed", Get, 22050, 0, 0.90702948f, 1e-7},
      {"RepeatSpeed", Get, 44100, 1, kInf, 0},  // 1 / 0
      {"RepeatSpeed", Get, 44100, 0, 0, 0},     // a stored 0 reads 0
      {"RepeatSpeed", Get, 44100, -0.0f, 0, 0},
      {"RepeatSpeed", Get, 44100, kNaN, kNaN, 0},       // NaN is not 0
      {"RepeatSpeed", Get, 44100, -1, 0.55125f, 1e-7},  // 1 / (2 * 2) * 44100 / 20000
      {"RepeatSpeed", Get, 44100, 0.5f, 8.82f, 1e-6},   // 1 / 0.25 * R / 20000
      {"RepeatSpeed", Get, 22050, 0.5f, 4.41f, 1e-6},
      {"StartFreq", Hz, 44100, 0, 0, 0},  // sqrt(100 / (R / (hz * 0.125)))
      {"StartFreq", Hz, 44100, 3528, 1, 0},
      {"StartFreq", Hz, 22050, 1764, 1, 0},
      {"StartFreq", Hz, 44100, 20, 0.0752923f, 5e-8},
      {"StartFreq", Hz, 44100, 440, 0.35315f, 5e-6},
      {"StartFreq", Hz, 44100, 20000, 2.3809524f, 0},
      {"StartFreq", Hz, 44100, -1, kNaN, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Name << " " << c.From << " at " << c.Rate);
    const ParamInfo& info = *FindParam(c.Name);
    SynthParams p = DefaultParams();
    p.SampleRate = c.Rate;
    if (c.Way == Set) {
      SynthParams others = p;
      info.Set(p, c.From);
      SetVariable(others, info.Index, StoredValue(p, info.Index));
      EXPECT_TRUE(test::SameParams(p, others));
    } else {
      SetVariable(p, info.Index, c.From);
    }
    const float got = c.Way == Set   ? StoredValue(p, info.Index)
                      : c.Way == Get ? info.Get(p)
                                     : FreqHz(p, static_cast<std::int32_t>(c.From));
    // A NaN expected means any NaN.
    EXPECT_TRUE(std::isnan(c.To) ? std::isnan(got) : got == c.To || std::abs(got - c.To) <= c.Tol)
        << got;
  }
}

// The 24 parameters lie in index order in 24 four-byte cells from Volume on, the integer
// WaveType in cell 1, which takes a value truncated toward zero; other indexes change nothing.
TEST(IndexedAccess, EachIndexReachesItsCellUnconverted) {
  std::string names;
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    names.append(kParamTable[static_cast<std::size_t>(i)].Name).append(" ");
    SynthParams p = DefaultParams(), expected = DefaultParams();
    SetVariable(p, i, 2.9f);
    const std::int32_t wave = 2;
    const float value = 2.9f;
    std::memcpy(reinterpret_cast<unsigned char*>(&expected.Volume) + 4 * i,
                i == 1 ? static_cast<const void*>(&wave) : &value, 4);
    EXPECT_TRUE(test::SameParams(p, expected)) << i;
    const auto read = GetVariable(p, i);
    EXPECT_TRUE(i == 1 ? std::get<std::int32_t>(read) == 2 : std::get<float>(read) == 2.9f) << i;
  }
  EXPECT_EQ(
      names,
      "Volume WaveType AttackTime SustainTime SustainPunch DecayTime StartFreq MinFreq Slide "
      "DeltaSlide VibDepth VibSpeed ChangeAmount ChangeSpeed SquareDuty DutySweep RepeatSpeed "
      "PhaserOffset PhaserSweep LPCutoff LPCutoffSweep LPResonance HPCutoff HPCutoffSweep ");
  EXPECT_EQ(FindParam("lpcutoff"), &kParamTable[19]);
  EXPECT_EQ(FindParam("LPCutoff("), nullptr);
  EXPECT_EQ(FindParam(""), nullptr);
  for (const float value : {-2.9f, kNaN}) {
    SynthParams p = DefaultParams();
    SetVariable(p, 1, value);
    EXPECT_EQ(p.WaveType, value < 0 ? -2 : std::numeric_limits<std::int32_t>::min()) << value;
  }
  for (const std::int32_t index : {24, -1, std::numeric_limits<std::int32_t>::min()}) {
    SynthParams p = DefaultParams();
    SetVariable(p, index, 5.0f);
    EXPECT_TRUE(test::SameParams(p, DefaultParams())) << index;
    const auto value = GetVariable(p, index);
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(value)) << index;  // the integer 0
    EXPECT_EQ(std::get<std::int32_t>(value), 0);
  }
}

}  // namespace
}  // namespace quavix
