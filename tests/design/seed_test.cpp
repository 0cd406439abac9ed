#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "design/presets.h"
#include "design/randomize.h"
#include "design_test_util.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

using test::Describe;

std::vector<std::int16_t> Render(Synthesizer& s, RandomSource& r, std::int32_t maxSamples) {
  std::vector<std::int16_t> area(static_cast<std::size_t>(maxSamples));
  Synthesize(s, maxSamples, area.data(), r);
  area.resize(static_cast<std::size_t>(s.SampleCount));
  return area;
}

std::uint32_t FixedClock() {
  return 1700000000u;
}

int clockCalls = 0;
std::uint32_t CountingClock() {
  ++clockCalls;
  return 42u;
}

TEST(SeedFromScript, ZeroReadsTheClock) {
  RandomSource r;
  clockCalls = 0;
  SeedFromScript(r, 0, &CountingClock);
  EXPECT_EQ(r.State, 42u);
  EXPECT_EQ(clockCalls, 1);
  SeedFromScript(r, 0, &FixedClock);
  EXPECT_EQ(r.State, 1700000000u);
}

TEST(SeedFromScript, OtherSeedsAreTheirBitsUnsigned) {
  RandomSource r;
  clockCalls = 0;
  SeedFromScript(r, 1, &CountingClock);
  EXPECT_EQ(r.State, 1u);
  SeedFromScript(r, -1, &CountingClock);
  EXPECT_EQ(r.State, 4294967295u);
  SeedFromScript(r, -2147483647 - 1, &CountingClock);
  EXPECT_EQ(r.State, 2147483648u);
  EXPECT_EQ(clockCalls, 0);
}

TEST(SeedFromScript, ZeroTwiceInTheSameSecondGivesTheSameSound) {
  RandomSource r;
  SynthParams a = DefaultParams();
  SynthParams b = DefaultParams();
  SeedFromScript(r, 0, &FixedClock);
  LoadPreset(a, kPresetLaser, r);
  SeedFromScript(r, 0, &FixedClock);
  LoadPreset(b, kPresetLaser, r);
  EXPECT_EQ(Describe(a), Describe(b));
}

TEST(CalendarSeconds, FollowsTheSystemClock) {
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  const std::uint32_t seconds = CalendarSeconds();
  // The low 32 bits of the same clock, read within a second or two.
  EXPECT_LE(seconds - static_cast<std::uint32_t>(now), 2u);
  EXPECT_GT(now, 1600000000);  // after September 2020
}

// Seeds, runs one script-like sequence of design operations on the
// synthesizer's parameters and renders it.
std::vector<std::int16_t> SeededSequence(std::int32_t seed, SynthParams& out) {
  RandomSource r;
  Synthesizer s(r);
  SeedFromScript(r, seed, &FixedClock);
  LoadPreset(s.Params, kPresetExplosion, r);
  Mutate(s.Params, 0.3f, r);
  std::vector<std::int16_t> first = Render(s, r, 44100);
  Randomize(s.Params, r);
  s.Params.WaveType = 0;  // keep the second sound audible
  Mutate(s.Params, 0.05f, r);
  std::vector<std::int16_t> second = Render(s, r, 44100);
  out = s.Params;
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

TEST(SeededSequence, SameSeedSameParamsAndSamples) {
  SynthParams a{};
  SynthParams b{};
  SynthParams c{};
  const std::vector<std::int16_t> samplesA = SeededSequence(1234, a);
  const std::vector<std::int16_t> samplesB = SeededSequence(1234, b);
  const std::vector<std::int16_t> samplesC = SeededSequence(1235, c);
  EXPECT_EQ(Describe(a), Describe(b));
  EXPECT_EQ(samplesA, samplesB);
  EXPECT_FALSE(samplesA.empty());
  EXPECT_NE(Describe(a), Describe(c));
}

TEST(SeededSequence, SynthesisBetweenSeedAndRandomizeChangesTheResult) {
  RandomSource r;
  Synthesizer s(r);

  SeedFromScript(r, 1, &FixedClock);
  Randomize(s.Params, r);
  const std::string direct = Describe(s.Params);

  Reset(s);
  SeedFromScript(r, 1, &FixedClock);
  Render(s, r, 44100);
  Randomize(s.Params, r);
  const std::string afterSynthesis = Describe(s.Params);
  EXPECT_NE(direct, afterSynthesis);

  // The synthesis took exactly the 32 draws of its noise table.
  RandomSource skipped = test::Advanced(1, 32);
  SynthParams expected = DefaultParams();
  Randomize(expected, skipped);
  EXPECT_EQ(afterSynthesis, Describe(expected));
}

}  // namespace
}  // namespace quavix
