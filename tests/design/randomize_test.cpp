#include "design/randomize.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <algorithm>
#include <vector>

#include "design/presets.h"
#include "design_test_util.h"
#include "synth/exact_math.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

using test::Advanced;
using test::ExpectFields;
using test::Fields;
using P = SynthParams;

TEST(Randomize, SeedOneGivesTheDescribedValuesInTwentySixDraws) {
  RandomSource r{1};
  P p = DefaultParams();
  p.Volume = p.MinFreq = 0.5f;
  Randomize(p, r);
  EXPECT_EQ(r.State, Advanced(1, 26).State);
  P base = DefaultParams();
  base.WaveType = 1;
  ExpectFields(p, base,
               {{&P::StartFreq, 0.48053, 0x3EF60789},     {&P::Slide, 0.00241, 0x3B1E3192},
                {&P::DeltaSlide, 0.57926, 0x3F144A5A},    {&P::SquareDuty, 0.1446, 0x3E141208},
                {&P::DutySweep, -0.34981, 0xBEB319D6},    {&P::VibDepth, 0.66123, 0x3F294678},
                {&P::VibSpeed, 0.392, 0x3EC8B438},        {&P::VibReserved, -0.1076, 0xBDDC5D60},
                {&P::AttackTime, 0.0028, 0x3B37B647},     {&P::SustainTime, 0.89397, 0x3F64DB16},
                {&P::DecayTime, -0.12947, 0xBE0493C9},    {&P::SustainPunch, 0.2982, 0x3E98AE1C},
                {&P::LPResonance, -0.401, 0xBECD4FE0},    {&P::LPCutoff, 0.99269, 0x3F7E20C2},
                {&P::LPCutoffSweep, -0.00004, 0xB82DBC53}, {&P::HPCutoff, 0.04747, 0x3D426D65},
                {&P::HPCutoffSweep, -0.03891, 0xBD1F5BD6}, {&P::PhaserOffset, -0.0005, 0xBA03386F},
                {&P::PhaserSweep, -0.01059, 0xBC2D81CD},  {&P::RepeatSpeed, -0.9694, 0xBF782A99},
                {&P::ChangeSpeed, -0.9416, 0xBF710CB3},   {&P::ChangeAmount, -0.5238, 0xBF0617C2}});
}

// Over many seeds each fix-up leaves no result on its own side of its edges,
// while results just beside each edge occur. The draw count tells whether the
// times were raised: 24, one more for the coin of step 4, two more for step 18.
TEST(Randomize, FixUpsFlipOrRaiseExactlyAtTheirThresholds) {
  constexpr int kRuns = 20000;
  constexpr float kBig = 9;
  struct Band {  // a in (aLo, aHi) and b in (bLo, bHi), open intervals
    float P::*a;
    float aLo, aHi;
    float P::*b;
    float bLo, bHi;
    bool empty;
  } const bands[] = {
      {&P::StartFreq, 0.7f, kBig, &P::Slide, 0.2f, kBig, true},  // step 6 applies
      {&P::StartFreq, 0.65f, 0.7f, &P::Slide, 0.2f, kBig, false},
      {&P::StartFreq, 0.7f, kBig, &P::Slide, 0.15f, 0.2f, false},
      {&P::StartFreq, -kBig, 0.2f, &P::Slide, -kBig, -0.05f, true},  // step 7 applies
      {&P::StartFreq, 0.2f, 0.25f, &P::Slide, -kBig, -0.05f, false},
      {&P::StartFreq, -kBig, 0.2f, &P::Slide, -0.05f, -0.02f, false},
      {&P::LPCutoff, -kBig, 0.1f, &P::LPCutoffSweep, -kBig, -0.05f, true},  // step 22 applies
      {&P::LPCutoff, 0.1f, 0.15f, &P::LPCutoffSweep, -kBig, -0.05f, false},
      {&P::LPCutoff, -kBig, 0.1f, &P::LPCutoffSweep, -0.05f, -0.02f, false},
  };
  std::array<int, std::size(bands)> inBand{};
  std::array<int, 5> waves{};
  std::array<int, 3> times{};  // kept below 0.2, kept from 0.2 to 0.25, raised
  for (std::uint32_t seed = 1; seed <= kRuns; ++seed) {
    RandomSource r{seed * 2654435761u};
    P p = DefaultParams();
    Randomize(p, r);
    int draws = 24;
    while (draws < 28 && Advanced(seed * 2654435761u, draws).State != r.State) ++draws;
    ASSERT_LT(draws, 28);
    ASSERT_TRUE(p.Volume == 1 && p.MinFreq == 0);
    ++waves.at(static_cast<std::size_t>(p.WaveType));
    const double sum = D(p.AttackTime) + D(p.SustainTime) + D(p.DecayTime);
    times[0] += draws < 26 && sum < D(0.2f);
    times[1] += draws < 26 && sum >= D(0.2f) && sum < 0.25;
    times[2] += draws >= 26;
    for (std::size_t k = 0; k < std::size(bands); ++k) {
      const Band& b = bands[k];
      inBand[k] += p.*b.a > b.aLo && p.*b.a < b.aHi && p.*b.b > b.bLo && p.*b.b < b.bHi;
    }
  }
  for (int count : waves) EXPECT_NEAR(count / double(kRuns), 0.2, 0.02);  // 4 included
  for (std::size_t k = 0; k < std::size(bands); ++k) {
    EXPECT_EQ(inBand[k] == 0, bands[k].empty) << "band " << k << ": " << inBand[k];
  }
  EXPECT_EQ(times[0], 0);
  EXPECT_GT(times[1], 0);
  EXPECT_GT(times[2], 0);
}

TEST(Mutate, SeedOneWithCoefficientTenthFromTheDefaults) {
  RandomSource r{1};
  P p = DefaultParams();
  Mutate(p, 0.1f, r);
  EXPECT_EQ(r.State, Advanced(1, 34).State);
  ExpectFields(p, DefaultParams(),
               {{&P::StartFreq, 0.33466, 0x3EAB588F},    {&P::SquareDuty, 0.00723, 0x3BECE9A0},
                {&P::AttackTime, 0.03143, 0x3D00BCBF},   {&P::SustainTime, 0.31826, 0x3EA2F2FA},
                {&P::DecayTime, 0.35491, 0x3EB5B6C4},    {&P::SustainPunch, -0.03059, 0xBCFA97E1},
                {&P::LPResonance, 0.00436, 0x3B8EDE58},  {&P::LPCutoff, 0.99603, 0x3F7EFBD2},
                {&P::HPCutoff, -0.04708, 0xBD40D6F5},    {&P::PhaserOffset, 0.03715, 0x3D182A99},
                {&P::RepeatSpeed, 0.00447, 0x3B927918},  {&P::ChangeAmount, -0.03463, 0xBD0DD830}});
}

TEST(Mutate, ZeroChangesNothingButDrawsAndNothingMovesWaveVolumeOrMinFreq) {
  int fewest = 99, most = 0;  // draws taken by a mutation with coefficient 0
  for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
    RandomSource r{seed};
    P p = DefaultParams();
    LoadPreset(p, static_cast<std::int32_t>(seed % 7), r);
    const auto before = Fields(p);
    const std::uint32_t start = r.State;
    Mutate(p, 0.0f, r);
    EXPECT_EQ(Fields(p), before);
    int n = 0;
    while (n < 45 && Advanced(start, n).State != r.State) ++n;
    fewest = std::min(fewest, n), most = std::max(most, n);
    P q = p;
    Mutate(q, 5.0f, r);
    ASSERT_TRUE(q.WaveType == p.WaveType && q.Volume == p.Volume && q.MinFreq == p.MinFreq);
  }
  EXPECT_TRUE(fewest >= 22 && fewest < 30 && most > 36 && most <= 44) << fewest << " " << most;
}

int clockCalls = 0;
std::uint32_t Clock() {
  ++clockCalls;
  return 1700000000u;
}

TEST(SeedFromScript, ZeroReadsTheClockAnythingElseIsItsBitsUnsigned) {
  struct Case {
    std::int32_t seed;
    std::uint32_t state;
    int clockCalls;
  } const cases[] = {{0, 1700000000u, 1}, {1, 1, 0}, {-1, 4294967295u, 0},
                     {-2147483647 - 1, 2147483648u, 0}};
  for (const Case& c : cases) {
    RandomSource r;
    clockCalls = 0;
    SeedFromScript(r, c.seed, &Clock);
    EXPECT_EQ(r.State, c.state) << c.seed;
    EXPECT_EQ(clockCalls, c.clockCalls) << c.seed;
  }
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_LE(CalendarSeconds() - static_cast<std::uint32_t>(now), 2u);  // its low 32 bits
}

// The synthesis draws from the same source: 32 values for its noise table.
TEST(SeedFromScript, SynthesisBetweenSeedAndRandomizeTakesThirtyTwoDraws) {
  RandomSource r;
  Synthesizer s(r);
  SeedFromScript(r, 1, &Clock);
  std::vector<std::int16_t> area(100);
  Synthesize(s, 100, area.data(), r);
  Randomize(s.Params, r);
  RandomSource skipped = Advanced(1, 32);
  SynthParams expected = DefaultParams();
  Randomize(expected, skipped);
  EXPECT_EQ(Fields(s.Params), Fields(expected));
}

}  // namespace
}  // namespace quavix
