#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

float SpecialOrOrdinary(std::mt19937& gen) {
  static constexpr float kSpecials[] = {kNaN,     kInf,      -kInf,    3.0e38f, -3.0e38f,
                                        1.0e-40f, -1.0e-40f, 1.0e-30f, -0.0f,   0.0f,
                                        1.0f,     -1.0f,     2.5e9f,   -2.5e9f, 1.0e6f};
  const int kind = std::uniform_int_distribution<int>(0, 9)(gen);
  if (kind == 0) {
    return kSpecials[std::uniform_int_distribution<std::size_t>(0, std::size(kSpecials) - 1)(gen)];
  }
  const float range = kind == 1 ? 50.0f : 1.0f;
  return std::uniform_real_distribution<float>(-range, range)(gen);
}

void SetCell(SynthParams& p, int index, float value) {
  std::memcpy(reinterpret_cast<unsigned char*>(&p.Volume) + 4 * index, &value, 4);
}

SynthParams RandomParams(std::mt19937& gen) {
  SynthParams p = DefaultParams();
  for (int index = 0; index < kParamCount; ++index) SetCell(p, index, SpecialOrOrdinary(gen));
  p.WaveType = std::uniform_int_distribution<int>(-2, 6)(gen);
  p.VibReserved = SpecialOrOrdinary(gen);
  p.FlagReserved = static_cast<std::uint8_t>(gen());
  return p;
}

// The 26 stored fields: the 24 parameter cells, VibReserved and FlagReserved.
bool SameFields(const SynthParams& a, const SynthParams& b) {
  return std::memcmp(&a.Volume, &b.Volume, 4 * kParamCount) == 0 &&
         a.FlagReserved == b.FlagReserved && std::memcmp(&a.VibReserved, &b.VibReserved, 4) == 0;
}

struct Case {
  SynthParams Params;
  std::uint32_t Seed;
  std::int32_t Max;
};

struct Sound {
  std::vector<std::int16_t> Area;  // Max samples, then guard cells
  std::int32_t Count;
  std::uint32_t RandomAfter;
  bool operator==(const Sound&) const = default;
};

Sound Play(Synthesizer& s, const Case& c, bool reference) {
  s.Params = c.Params;
  RandomSource r{c.Seed};
  std::vector<std::int16_t> area(static_cast<std::size_t>(c.Max) + 4, 0x6B6B);
  (reference ? SynthesizeReference : Synthesize)(s, c.Max, area.data(), r);
  return {area, s.SampleCount, r.State};
}

// Presets, randomized and mutated sets, special values in each field alone and in every field.
std::vector<Case> Cases() {
  std::vector<Case> out;
  for (std::uint32_t seed : {1u, 2u, 3u, 77u, 4000000000u}) {
    for (std::int32_t family = 0; family < kPresetFamilyCount; ++family) {
      RandomSource r{seed};
      SynthParams p = DefaultParams();
      LoadPreset(p, family, r);
      out.push_back({p, r.State, 40000 + 977 * family});  // lanes end at different times
    }
    for (std::uint32_t n = seed % 50; n < seed % 50 + 8; ++n) {
      RandomSource r{n};
      SynthParams p = DefaultParams();
      Randomize(p, r);
      if (n % 2 == 0) Mutate(p, 0.3f, r);
      out.push_back({p, r.State, 30000});
    }
  }
  SynthParams sweep = DefaultParams();  // a sine whose period slides into the cache
  sweep.WaveType = 2, sweep.StartFreq = 0.05f, sweep.Slide = 0.3f, sweep.SustainTime = 1;
  out.push_back({sweep, 5, 200000});
  for (int index = 0; index < kParamCount; ++index) {
    for (float value : {kNaN, 1e30f, -1e30f, 3e9f, -0.0f}) {
      SynthParams p = DefaultParams();
      p.WaveType = index % 4;
      p.VibDepth = index % 3 == 0 ? 0.5f : 0.0f;
      SetCell(p, index, value);
      out.push_back({p, 11, 3000});
    }
  }
  std::mt19937 gen(20261206);
  for (int n = 0; n < 1500; ++n) {  // a braced list is evaluated left to right
    out.push_back({RandomParams(gen), static_cast<std::uint32_t>(gen()),
                   static_cast<std::int32_t>(gen() % 1500)});
  }
  return out;
}

// Each sound stays within its area and ±32000, and the cached, side-by-side (one cache shared by
// all) and plain paths write the same samples and leave the same random state.
TEST(SynthesisProperties, EveryPathWritesTheSameBoundedSound) {
  const std::vector<Case> cases = Cases();
  RandomSource unused;
  auto shared = std::make_unique<SineCache>();
  std::vector<Synthesizer> side(cases.size(), Synthesizer(unused));
  std::vector<RandomSource> randoms(cases.size());
  std::vector<std::vector<std::int16_t>> areas(cases.size());
  std::vector<SynthesisJob> jobs;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    randoms[i].State = cases[i].Seed;
    areas[i].assign(static_cast<std::size_t>(cases[i].Max) + 4, 0x6B6B);
    side[i].Params = cases[i].Params;
    side[i].Sines = shared.get();
    jobs.push_back({&side[i], &randoms[i], areas[i].data(), cases[i].Max});
  }
  SynthesizeSideBySide(jobs.data(), jobs.size());
  auto cached = std::make_unique<CachedSynthesizer>(unused);
  Synthesizer plain(unused);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "sound " << i);
    const Sound p = Play(plain, cases[i], true);
    const std::int32_t max = cases[i].Max;
    ASSERT_TRUE(p.Count >= 0 && p.Count <= max);
    for (std::int32_t k = 0; k < max + 4; ++k) {
      ASSERT_TRUE(k < p.Count ? std::abs(p.Area[k]) <= 32000 : k < max || p.Area[k] == 0x6B6B);
    }
    ASSERT_TRUE(Play(cached->Synth, cases[i], false) == p);
    ASSERT_TRUE((Sound{areas[i], side[i].SampleCount, randoms[i].State}) == p);
  }
}

// The settings string's first trip may turn a "-0.0000" field into -0.0, which the next export
// writes as an empty field: from the second import on text and bits hold. The file image holds
// every stored field bit for bit.
TEST(ExchangeProperties, RoundTripsKeepTheStoredFields) {
  std::mt19937 gen(41);
  SynthParams loaded = DefaultParams();  // the previous set: every field is overwritten
  for (int n = 0; n < 2000; ++n) {
    const SynthParams original = RandomParams(gen);
    const std::string first = ExportSettingsString(original);
    SynthParams once = DefaultParams(), twice = DefaultParams(), thrice = DefaultParams();
    ImportSettingsString(once, first);
    const std::string second = ExportSettingsString(once);
    ImportSettingsString(twice, second);
    const std::string third = ExportSettingsString(twice);
    ASSERT_EQ(second, third) << "from " << first;
    ImportSettingsString(thrice, third);
    ASSERT_TRUE(SameFields(twice, thrice)) << first;
    const auto image = EncodeSettings(original);
    ASSERT_EQ(DecodeSettings(loaded, image.data(), image.size()), SettingsLoadResult::Loaded);
    ASSERT_TRUE(SameFields(original, loaded)) << first;
  }
}

}  // namespace
}  // namespace quavix
