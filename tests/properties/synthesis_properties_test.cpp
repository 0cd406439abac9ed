// Generated sounds (every preset family, randomized and mutated sets, each
// field alone at special values, fully random sets) stay within their area and
// ±32000, and the cached, side-by-side and plain paths write the same samples
// and leave the same random state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "design/presets.h"
#include "design/randomize.h"
#include "param_generator.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

struct Case {
  SynthParams Params;
  std::uint32_t Seed;
  std::int32_t Max;
};

struct Sound {
  std::vector<std::int16_t> Area;  // Max samples, then guard cells
  std::int32_t Count;
  std::uint32_t RandomAfter;
};

Sound Play(Synthesizer& s, const Case& c, bool reference) {
  s.Params = c.Params;
  RandomSource r{c.Seed};
  std::vector<std::int16_t> area(static_cast<std::size_t>(c.Max) + 4, 0x6B6B);
  (reference ? SynthesizeReference : Synthesize)(s, c.Max, area.data(), r);
  return {area, s.SampleCount, r.State};
}

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
    for (float value : {std::numeric_limits<float>::quiet_NaN(), 1e30f, -1e30f, 3e9f, -0.0f}) {
      SynthParams p = DefaultParams();
      p.WaveType = index % 4;
      p.VibDepth = index % 3 == 0 ? 0.5f : 0.0f;
      std::memcpy(reinterpret_cast<unsigned char*>(&p.Volume) + 4 * index, &value, 4);
      out.push_back({p, 11, 3000});
    }
  }
  std::mt19937 gen(20261206);
  for (int n = 0; n < 1500; ++n) {
    const SynthParams p = test::RandomParams(gen);
    const std::uint32_t seed = gen();
    out.push_back({p, seed, static_cast<std::int32_t>(gen() % 1500)});
  }
  return out;
}

TEST(SynthesisProperties, EveryPathWritesTheSameBoundedSound) {
  const std::vector<Case> cases = Cases();
  RandomSource unused;
  auto shared = std::make_unique<SineCache>();  // one cache may serve many synthesizers
  std::vector<Synthesizer> side(cases.size(), Synthesizer(unused));
  std::vector<RandomSource> randoms;
  std::vector<std::vector<std::int16_t>> areas;
  std::vector<SynthesisJob> jobs;
  for (const Case& c : cases) {
    randoms.push_back({c.Seed});
    areas.emplace_back(static_cast<std::size_t>(c.Max) + 4, 0x6B6B);
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
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
    const Sound f = Play(cached->Synth, cases[i], false);
    ASSERT_TRUE(f.Area == p.Area && f.Count == p.Count && f.RandomAfter == p.RandomAfter);
    ASSERT_TRUE(areas[i] == p.Area && side[i].SampleCount == p.Count);
    ASSERT_EQ(randoms[i].State, p.RandomAfter);
  }
}

}  // namespace
}  // namespace quavix
