// The cached and side-by-side paths must give exactly the samples of the plain
// step-by-step reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "synth/synthesizer.h"

namespace quavix {
namespace {

struct Rendered {
  std::vector<std::int16_t> Samples;
  std::uint32_t RandomAfter;
};

using SynthPtr = std::unique_ptr<CachedSynthesizer>;

SynthPtr MakeSynth(const SynthParams& params) {
  RandomSource r;
  auto s = std::make_unique<CachedSynthesizer>(r);
  s->Synth.Params = params;
  return s;
}

Rendered RenderWith(void (*fn)(Synthesizer&, std::int32_t, std::int16_t*, RandomSource&),
                    const SynthParams& params, std::uint32_t seed, std::int32_t max) {
  auto s = MakeSynth(params);
  RandomSource r{seed};
  std::vector<std::int16_t> area(static_cast<std::size_t>(max));
  fn(s->Synth, max, area.data(), r);
  area.resize(static_cast<std::size_t>(s->Synth.SampleCount));
  return {area, r.State};
}

// Parameter sets over the whole usual range, plus values beyond it.
std::vector<SynthParams> ParameterSets() {
  std::vector<SynthParams> sets;
  std::mt19937 gen(2024);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int i = 0; i < 60; ++i) {
    SynthParams p = DefaultParams();
    p.WaveType = i % 5;
    p.StartFreq = std::fabs(unit(gen));
    p.Slide = unit(gen) * unit(gen) * unit(gen);
    p.DeltaSlide = unit(gen) * unit(gen) * unit(gen);
    p.SquareDuty = unit(gen);
    p.DutySweep = unit(gen) * unit(gen);
    p.VibDepth = i % 3 == 0 ? std::fabs(unit(gen)) : 0.0f;
    p.VibSpeed = unit(gen);
    p.AttackTime = std::fabs(unit(gen)) * 0.3f;
    p.SustainTime = std::fabs(unit(gen)) * 0.4f;
    p.DecayTime = std::fabs(unit(gen)) * 0.4f;
    p.SustainPunch = std::fabs(unit(gen));
    p.LPCutoff = i % 2 == 0 ? 1.0f : std::fabs(unit(gen));
    p.LPCutoffSweep = unit(gen);
    p.LPResonance = unit(gen);
    p.HPCutoff = std::fabs(unit(gen)) * 0.3f;
    p.HPCutoffSweep = unit(gen);
    p.PhaserOffset = unit(gen);
    p.PhaserSweep = unit(gen) * 0.1f;
    p.RepeatSpeed = i % 4 == 0 ? std::fabs(unit(gen)) : 0.0f;
    p.ChangeSpeed = std::fabs(unit(gen));
    p.ChangeAmount = unit(gen);
    p.MinFreq = i % 7 == 0 ? std::fabs(unit(gen)) * 0.2f : 0.0f;
    sets.push_back(p);
  }
  const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -1e30f, 1e30f, 0.0f};
  for (int i = 0; i < 5; ++i) {
    SynthParams p = DefaultParams();
    p.WaveType = 2;
    p.VibDepth = i == 0 ? 3.0f : 0.5f;
    p.VibSpeed = specials[i];
    p.PhaserOffset = specials[(i + 1) % 5];
    p.LPCutoffSweep = specials[(i + 2) % 5];
    sets.push_back(p);
  }
  return sets;
}

TEST(FastPath, CachedSineMatchesTheReference) {
  for (const SynthParams& p : ParameterSets()) {
    const Rendered plain = RenderWith(&SynthesizeReference, p, 99, 60000);
    const Rendered fast = RenderWith(&Synthesize, p, 99, 60000);
    ASSERT_EQ(plain.Samples, fast.Samples) << "wave " << p.WaveType;
    ASSERT_EQ(plain.RandomAfter, fast.RandomAfter);
  }
}

TEST(FastPath, SineWithSlideAcrossManyPeriods) {
  SynthParams p = DefaultParams();
  p.WaveType = 2;
  p.StartFreq = 0.05f;  // period beyond the cache at first
  p.Slide = 0.3f;       // then shrinking into it
  p.SustainTime = 1.0f;
  const Rendered plain = RenderWith(&SynthesizeReference, p, 5, 200000);
  const Rendered fast = RenderWith(&Synthesize, p, 5, 200000);
  EXPECT_EQ(plain.Samples, fast.Samples);
}

TEST(FastPath, SideBySideMatchesOneByOne) {
  const std::vector<SynthParams> sets = ParameterSets();
  std::vector<SynthPtr> synths;
  std::vector<RandomSource> randoms(sets.size());
  std::vector<std::vector<std::int16_t>> areas(sets.size());
  std::vector<SynthesisJob> jobs;
  for (std::size_t i = 0; i < sets.size(); ++i) {
    synths.push_back(MakeSynth(sets[i]));
    randoms[i].State = static_cast<std::uint32_t>(1000 + i);
    // Varied area sizes, a zero one included, so that lanes end at different times.
    const std::int32_t max = i == 3 ? 0 : static_cast<std::int32_t>(20000 + 977 * (i % 13));
    areas[i].resize(static_cast<std::size_t>(max) + 1);
    jobs.push_back({&synths[i]->Synth, &randoms[i], areas[i].data(), max});
  }
  SynthesizeSideBySide(jobs.data(), jobs.size());
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const std::int32_t max = jobs[i].MaxSamples;
    const Rendered plain = RenderWith(&SynthesizeReference, sets[i], 1000 + static_cast<std::uint32_t>(i), max > 0 ? max : 1);
    std::vector<std::int16_t> got(areas[i].begin(), areas[i].begin() + synths[i]->Synth.SampleCount);
    if (max == 0) {
      EXPECT_TRUE(got.empty());
      continue;
    }
    ASSERT_EQ(got, plain.Samples) << "job " << i;
    ASSERT_EQ(randoms[i].State, plain.RandomAfter) << "job " << i;
  }
}

}  // namespace
}  // namespace quavix
