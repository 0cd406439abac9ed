#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "synth/exact_math.h"
#include "synth/synthesizer.h"
#include "synth_test_util.h"

namespace quavix {
namespace {

using test::Defaults;
using test::RenderWith;
using P = SynthParams;
using Samples = std::vector<std::int16_t>;

// The start period of the defaults: 100 / (0.3f² + 0.001) subsamples.
const double kStart = 100.0 / (D(0.3f) * D(0.3f) + 0.001);

RandomSource AfterDraws(std::uint32_t seed, int draws) {
  RandomSource r{seed};
  for (int i = 0; i < draws; ++i) NextDraw(r);
  return r;
}

TEST(Synthesizer, DefaultsAndTheNoiseDrawsOfEveryFullRestart) {
  RandomSource r{5};
  Synthesizer s(r);
  EXPECT_EQ(r.State, AfterDraws(5, 32).State);
  const P& p = s.Params;
  EXPECT_EQ(p.BitsPerSample, 16);
  EXPECT_EQ(p.SampleRate, 44100);
  EXPECT_EQ(D(p.SustainTime), 0.30000001192092896);
  EXPECT_EQ(std::vector<float>({p.Volume, p.DecayTime, p.StartFreq, p.LPCutoff, p.MasterVolume}),
            std::vector<float>({1, 0.4f, 0.3f, 1, 0.05f}));
  EXPECT_EQ(s.PeriodExact, kStart);
  for (std::int32_t max : {0, -1}) {  // nothing written, the noise still drawn
    std::int16_t canary = 4242;
    r.State = 9;
    Synthesize(s, max, &canary, r);
    EXPECT_EQ(canary, 4242);
    EXPECT_EQ(s.SampleCount, 0);
    EXPECT_EQ(r.State, AfterDraws(9, 32).State);
  }
  s.Params.Volume = 0.25f;
  Reset(s);  // defaults back, Playing cleared, the rest of the state kept
  const P defaults = DefaultParams();
  EXPECT_EQ(std::memcmp(&s.Params.Volume, &defaults.Volume, 4 * kParamCount), 0);
  EXPECT_EQ(s.PeriodExact, kStart);
  EXPECT_FALSE(s.Playing);
}

TEST(Synthesizer, DefaultAndNoiseSoundsBeginAsDescribed) {
  const Samples square = RenderWith(Defaults, 100000).Samples;
  ASSERT_EQ(square.size(), 25003u);
  EXPECT_EQ(Samples(square.begin(), square.begin() + 10),
            (Samples{3199, 3199, 3199, 3199, 3198, 3198, 3198, 3198, 3197, 3197}));
  EXPECT_EQ(square[68], -17);  // the square's edge at phase 549 of 1098
  EXPECT_EQ(square[69], -3217);
  EXPECT_EQ(square.back(), 0);
  const auto noiseSound = RenderWith([](P& p) { p.WaveType = 3; }, 100000, 12345);
  const Samples& noise = noiseSound.Samples;
  EXPECT_EQ(Samples(noise.begin(), noise.begin() + 14),
            (Samples{3307, 3307, 3306, 3306, 4822, 5326, 5326, 5326, 3168, 1012, 1011, 1011,
                     -162, -3685}));
  // 32 draws at the start and at each of the 182 wraps of the 1098-subsample period.
  EXPECT_EQ(noiseSound.Random.State, AfterDraws(12345, 32 * (1 + 25003 * 8 / 1098)).State);
  for (auto set : {+[](P& p) { p.WaveType = 4; }, +[](P& p) { p.WaveType = -1; }}) {
    EXPECT_EQ(RenderWith(set, 100000).Samples, Samples(25003, 0));  // silence, normal length
  }
  const Samples loud = RenderWith([](P& p) { p.Volume = 100; }, 1000).Samples;
  EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 32000);
  EXPECT_EQ(*std::min_element(loud.begin(), loud.end()), -32000);
}

TEST(Synthesizer, SoundEndsWithTheEnvelopeThePeriodLimitOrTheArea) {
  // MinFreq 1e-6: the period grows by 1.00125 a sample until it passes 100000.
  const double limit = 100.0 / (D(1e-6f) * D(1e-6f) + 0.001);
  std::int32_t untilLimit = 0;
  for (double period = kStart; period <= limit; ++untilLimit) period *= 1.00125;
  struct Case {
    const char* name;
    void (*set)(P&);
    std::int32_t max;
    std::int32_t length;
  } const cases[] = {
      {"defaults: 0 + 9000 + 16000 samples and 3 stage steps", Defaults, 100000, 25003},
      {"0.05 and 0.08 s: 250 + 639 (0.08f² lies below 0.0064) + 3",
       [](P& p) { p.SustainTime = 0.05f, p.DecayTime = 0.08f; }, 100000, 892},
      {"no sustain and no decay", [](P& p) { p.SustainTime = p.DecayTime = 0; }, 100, 3},
      {"lengths beyond int32: one step each",
       [](P& p) { p.AttackTime = p.SustainTime = p.DecayTime = 1e6f; }, 100, 3},
      {"MinFreq 0.5 above StartFreq 0.3", [](P& p) { p.MinFreq = 0.5f; }, 100000, 1},
      {"MinFreq -0.5 caps without stopping", [](P& p) { p.MinFreq = -0.5f; }, 100000, 25003},
      {"MinFreq 0 caps without stopping", [](P& p) { p.Slide = -0.5f; }, 100000, 25003},
      {"MinFreq 1e-6 stops", [](P& p) { p.Slide = -0.5f, p.MinFreq = 1e-6f; }, 100000,
       untilLimit},
      {"the area ends first", Defaults, 700, 700},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RenderWith(c.set, c.max).Synth.SampleCount, c.length) << c.name;
  }
}

template <auto kField>
double Get(const Synthesizer& s) {
  return static_cast<double>(s.*kField);
}

// Each step's state after a number of samples, from the step's own formula.
TEST(Synthesizer, EachStepClampsAndSwitchesAtItsEdges) {
  using S = Synthesizer;
  struct Case {
    const char* name;
    void (*set)(P&);
    std::int32_t samples;
    double (*field)(const Synthesizer&);
    double expected;
  } const cases[] = {
      {"period 0.99 held at 8", [](P& p) { p.StartFreq = 10; }, 1, Get<&S::Period>, 8},
      {"period 9.4998 truncated", [](P& p) { p.StartFreq = 3.2443f; }, 1, Get<&S::Period>, 9},
      {"duty 0.55 held at 0.5", [](P& p) { p.SquareDuty = -0.1f; }, 1, Get<&S::Duty>, 0.5},
      {"duty 0.45 kept", [](P& p) { p.SquareDuty = 0.1f; }, 1, Get<&S::Duty>,
       Single(0.5 - D(0.1f) / 2)},
      {"duty -0.05 held at 0", [](P& p) { p.SquareDuty = 1.1f; }, 1, Get<&S::Duty>, 0},
      {"duty sweep", [](P& p) { p.SquareDuty = 0.5f, p.DutySweep = 1; }, 1, Get<&S::Duty>,
       Single(0.25 - D(0.00005f))},
      {"high-pass 0 raised to 0.00001f", Defaults, 1, Get<&S::HpCoeff>, D(0.00001f)},
      {"high-pass 0.00004 kept", [](P& p) { p.HPCutoff = 0.02f; }, 1, Get<&S::HpCoeff>,
       Single(D(Single(D(0.02f) * D(0.02f))) * D(0.1f))},
      {"high-pass 0.144 held at 0.1f", [](P& p) { p.HPCutoff = 1.2f; }, 1, Get<&S::HpCoeff>,
       D(0.1f)},
      {"high-pass 0.081 kept", [](P& p) { p.HPCutoff = 0.9f; }, 1, Get<&S::HpCoeff>,
       Single(D(Single(D(0.9f) * D(0.9f))) * D(0.1f))},
      {"high-pass sweep", [](P& p) { p.HPCutoff = 0.5f, p.HPCutoffSweep = 1; }, 1,
       Get<&S::HpCoeff>, Single(D(Single(1 + D(0.0003f))) * D(Single(0.25 * D(0.1f))))},
      {"phaser 1020 × 1²", [](P& p) { p.PhaserOffset = 1; }, 1, Get<&S::PhaserDelay>, 1020},
      {"phaser 1024.08 held at 1023", [](P& p) { p.PhaserOffset = 1.002f; }, 1,
       Get<&S::PhaserDelay>, 1023},
      {"phaser -255: its magnitude", [](P& p) { p.PhaserOffset = -0.5f; }, 1,
       Get<&S::PhaserDelay>, 255},
      {"phaser 255 swept by -0.5²", [](P& p) { p.PhaserOffset = 0.5f, p.PhaserSweep = -0.5f; },
       1, Get<&S::PhaserDelay>, 254},
      {"phaser beyond int32: no delay", [](P& p) { p.PhaserOffset = 1e6f; }, 1,
       Get<&S::PhaserDelay>, 0},
      {"no vibrato phase without depth", [](P& p) { p.VibSpeed = 0.5f; }, 10, Get<&S::VibPhase>,
       0},
      {"vibrato phase 0.5² × 0.01f", [](P& p) { p.VibSpeed = p.VibDepth = 0.5f; }, 1,
       Get<&S::VibPhase>, Single(0.25 * D(0.01f))},
      {"vibrato amplitude 0.25", [](P& p) { p.VibDepth = 0.5f, p.VibSpeed = 1; }, 1,
       Get<&S::Period>, std::trunc(Single((1 + std::sin(D(0.01f)) * 0.25) * kStart))},
      {"vibrato 1.5 × sin(4.5) held at 8", [](P& p) { p.VibDepth = 3, p.VibSpeed = 1; }, 450,
       Get<&S::Period>, 8},
      {"slide -0.5", [](P& p) { p.Slide = -0.5f; }, 1, Get<&S::SlideFactor>, 1.00125},
      {"delta slide 0.5", [](P& p) { p.DeltaSlide = 0.5f; }, 1, Get<&S::SlideFactor>,
       1 - 0.125e-6},
      {"no change at sample 19999", [](P& p) { p.ChangeAmount = 0.5f; }, 19999,
       Get<&S::PeriodExact>, kStart},
      {"change 1 - 0.9 × 0.5² at 20000", [](P& p) { p.ChangeAmount = 0.5f; }, 20000,
       Get<&S::PeriodExact>, 0.775 * kStart},
      {"change 1 + 10 × 0.5² at 5000", [](P& p) { p.ChangeAmount = -0.5f, p.ChangeSpeed = 0.5f; },
       5000, Get<&S::PeriodExact>, 3.5 * kStart},
      {"change speed 1: none", [](P& p) { p.ChangeSpeed = 1; }, 1, Get<&S::ChangeLimit>, 0},
      {"change speed 1.5: (-0.5)²", [](P& p) { p.ChangeSpeed = 1.5f; }, 1, Get<&S::ChangeLimit>,
       5000},
      {"repeat speed 0: none", Defaults, 1, Get<&S::RepeatLimit>, 0},
      {"repeat speed -0.5: 1.5²", [](P& p) { p.RepeatSpeed = -0.5f; }, 1, Get<&S::RepeatLimit>,
       45000},
      {"no repeat at sample 4999", [](P& p) { p.RepeatSpeed = 0.5f; }, 4999, Get<&S::RepeatTime>,
       4999},
      {"repeat at 5000 restarts the period", [](P& p) { p.RepeatSpeed = 0.5f, p.Slide = 0.2f; },
       5000, Get<&S::PeriodExact>, (1 - Cube(D(0.2f)) * 0.01) * kStart},
      {"repeat beyond int32: every sample", [](P& p) { p.RepeatSpeed = -1e6f, p.Slide = 0.5f; },
       50, Get<&S::PeriodExact>, (1 - 0.125 * 0.01) * kStart},
      {"attack halfway", [](P& p) { p.AttackTime = 0.1f; }, 500, Get<&S::EnvVolume>, 0.5},
      {"punch 0.5 starts at 2", [](P& p) { p.SustainPunch = 0.5f; }, 1, Get<&S::EnvVolume>, 2},
      {"punch halfway: 1 + 2 × 0.5 × 0.5", [](P& p) { p.SustainPunch = 0.5f; }, 4501,
       Get<&S::EnvVolume>, 1.5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.field(RenderWith(c.set, c.samples).Synth), c.expected) << c.name;
  }
}

// The square's first eight subsamples are +0.5 (phase 1 to 8 of 1098 is below
// the duty 0.5); the low-pass follows them by its formulas.
TEST(Synthesizer, LowPassFirstSampleFromItsFormulas) {
  struct Case {
    float cutoff, resonance, sweep;
  } const cases[] = {
      {0.553f, 0, 0},      // roundings of 0.1f, 0.01f and single(cutoff³) all matter
      {0.446f, 0.5f, 0},   // resonance: 5 / (0.25 × 20 + 1)
      {1.14f, 0, 0},       // coefficient 0.148 held at 0.1f; damping 0.7908 kept
      {1.15f, 0, 0},       // damping 0.8105 held at 0.8f
      {0.999f, 0, 1000},   // coefficient × 1.1 each subsample
      {0.5f, 0, -20000},   // coefficient × -1, held at 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cutoff);
    RandomSource r;
    Synthesizer s(r);
    s.Params.LPCutoff = c.cutoff;
    s.Params.LPResonance = c.resonance;
    s.Params.LPCutoffSweep = c.sweep;
    std::int16_t sample;
    Synthesize(s, 1, &sample, r);
    const float factor = Single(1 + D(c.sweep) * D(0.0001f));
    float coeff = Single(D(Single(Cube(D(c.cutoff)))) * D(0.1f));
    const float damping = std::min(
        Single(5 / (D(Single(Square(D(c.resonance)))) * 20 + 1) * (D(coeff) + D(0.01f))), 0.8f);
    float pos = 0, vel = 0;
    for (int sub = 0; sub < 8; ++sub) {
      coeff = std::clamp(Single(D(factor) * D(coeff)), 0.0f, 0.1f);
      const float t = Single((0.5 - D(pos)) * D(coeff) + D(vel));
      vel = Single(D(t) - D(damping) * D(t));
      pos = Single(D(vel) + D(pos));
    }
    EXPECT_EQ(s.LpDamping, damping);
    EXPECT_EQ(s.LpCoeff, coeff);
    EXPECT_EQ(s.LpVel, vel);
    EXPECT_EQ(s.LpPos, pos);
  }
  // Exactly 1 bypasses: the square passes unfiltered, 0.999 filters.
  const auto first = [](void (*set)(P&)) { return RenderWith(set, 1).Samples[0]; };
  EXPECT_EQ(first(Defaults), 3199);
  EXPECT_LT(first([](P& p) { p.LPCutoff = 0.999f; }), 3000);
}

// A delay of 8 subsamples (1020 × 0.09² = 8.26) adds the previous sample's
// subsamples: about half of the doubled first sample, then the full one.
TEST(Synthesizer, PhaserAddsTheDelayedSubsample) {
  const Samples s = RenderWith([](P& p) { p.PhaserOffset = 0.09f; }, 2).Samples;
  EXPECT_NEAR(s[0], 3199 / 2, 1);
  EXPECT_NEAR(s[1], 3199, 1);
}

}  // namespace
}  // namespace quavix
