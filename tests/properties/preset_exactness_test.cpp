// Every preset family over several seeds, randomized and mutated sounds, and
// parameter sets with special values: the cached path, the side-by-side path
// and the plain reference must write the same bytes.
#include <gtest/gtest.h>

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
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (std::int32_t family = 0; family < kPresetFamilyCount; ++family) {
    for (std::uint32_t seed : {1u, 2u, 3u, 77u, 4000000000u}) {
      RandomSource r{seed};
      SynthParams p = DefaultParams();
      LoadPreset(p, family, r);
      cases.push_back({p, r.State});
    }
  }
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    RandomSource r{seed};
    SynthParams p = DefaultParams();
    Randomize(p, r);
    if (seed % 2 == 0) {
      Mutate(p, 0.3f, r);
    }
    cases.push_back({p, r.State});
  }
  std::mt19937 gen(5);
  for (int i = 0; i < 40; ++i) {
    cases.push_back({test::RandomParams(gen), static_cast<std::uint32_t>(gen())});
  }
  return cases;
}

constexpr std::int32_t kArea = 120000;

std::vector<std::int16_t> Render(bool reference, const Case& c) {
  RandomSource r{c.Seed};
  auto s = std::make_unique<CachedSynthesizer>(r);
  s->Synth.Params = c.Params;
  r.State = c.Seed;
  std::vector<std::int16_t> area(kArea);
  (reference ? SynthesizeReference : Synthesize)(s->Synth, kArea, area.data(), r);
  area.resize(static_cast<std::size_t>(s->Synth.SampleCount));
  return area;
}

TEST(FastPathExactness, PresetsRandomizedAndSpecialSoundsMatchByteForByte) {
  const std::vector<Case> cases = Cases();
  std::vector<std::unique_ptr<CachedSynthesizer>> synths;
  std::vector<RandomSource> randoms(cases.size());
  std::vector<std::vector<std::int16_t>> areas(cases.size(), std::vector<std::int16_t>(kArea));
  std::vector<SynthesisJob> jobs;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    synths.push_back(std::make_unique<CachedSynthesizer>(randoms[i]));
    synths[i]->Synth.Params = cases[i].Params;
    randoms[i].State = cases[i].Seed;
    jobs.push_back({&synths[i]->Synth, &randoms[i], areas[i].data(), kArea});
  }
  SynthesizeSideBySide(jobs.data(), jobs.size());

  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    const std::vector<std::int16_t> plain = Render(true, cases[i]);
    ASSERT_EQ(Render(false, cases[i]), plain);
    areas[i].resize(static_cast<std::size_t>(synths[i]->Synth.SampleCount));
    ASSERT_EQ(areas[i], plain);
  }
}

}  // namespace
}  // namespace quavix
