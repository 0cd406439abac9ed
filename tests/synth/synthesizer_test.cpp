#include "synth/synthesizer.h"

#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "synth/exact_math.h"
#include "synth/sine.h"
#include "synth/lanes.h"
#include "synth/same_state.h"
#include "test_util.h"

namespace quavix {
namespace {

using P = SynthParams;
using S = Synthesizer;
using Samples = std::vector<std::int16_t>;

// The start period of the defaults: 100 / (0.3f² + 0.001) subsamples.
const double kStart = 100.0 / (D(0.3f) * D(0.3f) + 0.001);

TEST(RandomSource, DrawsAreBitsSixteenToThirtyOfTheNextState) {
  RandomSource r{1};
  EXPECT_EQ(NextDraw(r), 41);  // 1 × 214013 + 2531011 = 2745024 = 41 × 65536 + 58048
  EXPECT_EQ(r.State, 2745024u);
  EXPECT_EQ(NextDraw(r), 18467);  // 3357800067 has bit 31 set, dropped from the draw
  EXPECT_EQ(r.State, 3357800067u);
}

TEST(RandomFraction, RemainderOverTenThousandTimesTheRange) {
  // Remainder, range, expected.
  const std::tuple<int, float, float> cases[] = {{10000, 0.7f, 0.7f},  {0, 0.7f, 0},
                                                 {10000, -2, -2},      {5000, 2, 1},
                                                 {1, 1, Single(1e-4)}, {2500, 0, 0}};
  for (const auto& [remainder, range, expected] : cases) {
    RandomSource r{0}, probe{0};  // the first seed whose first draw has the remainder
    while (NextDraw(probe) % 10001 != remainder) probe.State = ++r.State;
    EXPECT_EQ(RandomFraction(r, range), expected) << remainder << " " << range;
  }
}

// Values that are not a number or lie beyond int32 truncate to its minimum.
TEST(TruncToInt32, TowardZeroWithinTheRangeMinimumOutside) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const double in[] = {2.9, -2.9, 2147483647.9, -2147483648.9, 2147483648.0, -2147483649.0, kNaN};
  const std::int32_t out[] = {2, -2, 2147483647, kMin, kMin, kMin, kMin};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(TruncToInt32(in[i]), out[i]) << in[i];
}

// sin(x) = x(1 − x²/6 + …): for |x| ≤ 2^-12 the deviation x³/6 is below a quarter of the float
// spacing at x, so the rounded sine is x. Large arguments go through the exact reduction.
TEST(Sine, SpecialValuesAndOddBoundedLargeArguments) {
  const std::uint32_t cases[][2] = {
      {0x00000000, 0x00000000}, {0x80000000, 0x80000000},  // ±0 keep their sign
      {0x00000001, 0x00000001}, {0x80000001, 0x80000001},  // smallest subnormals
      {0x007FFFFF, 0x007FFFFF}, {0x35800000, 0x35800000},  // largest subnormal, 2^-20
      {0xB9800000, 0xB9800000}, {0x7F800000, 0x7FC00000},  // −2^-12; ±inf: default quiet NaN
      {0xFF800000, 0x7FC00000}, {0x7FC00000, 0x7FC00000},  // a quiet NaN stays as it is
      {0xFFC01234, 0xFFC01234}, {0x7F800001, 0x7FC00001},  // a signalling one is quieted,
      {0xFFA00000, 0xFFE00000}};                           // payload and sign kept
  for (const auto& c : cases) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(Sine(std::bit_cast<float>(c[0]))), c[1]) << c[0];
  }
  for (std::uint32_t bits = 0x48800000; bits < 0x7F800000; bits += 0x00012345) {
    const float x = std::bit_cast<float>(bits), s = Sine(x);
    EXPECT_TRUE(s >= -1.0f && s <= 1.0f) << x;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(Sine(-x)),
              std::bit_cast<std::uint32_t>(s) ^ 0x80000000u);
  }
}

// (1 + 2^-30)² = 1 + 2^-29 + 2^-60 rounds to 1 + 2^-29 unless fused (GCC's default on ARM64).
TEST(FloatingPointFlags, ProductsAreRoundedBeforeTheyAreAdded) {
  const double a = std::strtod("1.000000000931322574615478515625", nullptr);       // 1 + 2^-30
  const double rounded = std::strtod("1.00000000186264514923095703125", nullptr);  // 1 + 2^-29
  EXPECT_EQ(a * a - rounded, 0.0);
}

// The defaults with the stored values "Name value ..." (WaveType truncated), after one sound of at
// most `max` samples from random state `seed`.
struct Rendered {
  S Synth;
  Samples Out;
  RandomSource Random;
};
Rendered Render(const char* changes, std::int32_t max, std::uint32_t seed = 0) {
  Rendered out{S{}, Samples(static_cast<std::size_t>(max)), {seed}};
  std::istringstream in(changes);
  for (std::string name, value; in >> name >> value;) {
    SetVariable(out.Synth.Params, FindParam(name)->Index, std::strtof(value.c_str(), nullptr));
  }
  Synthesize(out.Synth, max, out.Out.data(), out.Random);
  out.Out.resize(static_cast<std::size_t>(out.Synth.SampleCount));
  return out;
}

TEST(Synthesizer, EveryFullRestartDrawsTheNoiseAndResetRestoresOnlyTheDefaults) {
  RandomSource r{5};
  S s;
  Init(s, r);
  std::int16_t canary = 4242;
  for (std::int32_t max : {0, -1}) Synthesize(s, max, &canary, r);  // nothing written
  EXPECT_TRUE(canary == 4242 && s.SampleCount == 0 && r.State == AfterDraws(5, 3 * 32).State);
  s = Render("", 10).Synth;
  s.Params.Volume = 0.25f;
  s.Playing = true;
  Reset(s);
  EXPECT_TRUE(Same(s.Params, DefaultParams()));
  EXPECT_TRUE(!s.Playing && s.SampleCount == 10);
}

TEST(Synthesizer, DefaultNoiseSilentAndLoudSoundsAsDescribed) {
  const Samples square = Render("", 100000).Out;
  ASSERT_EQ(square.size(), 25003u);
  EXPECT_EQ(Samples(square.begin(), square.begin() + 10),
            (Samples{3199, 3199, 3199, 3199, 3198, 3198, 3198, 3198, 3197, 3197}));
  EXPECT_TRUE(square[68] == -17 && square[69] == -3217);  // the edge at phase 549 of 1098
  EXPECT_EQ(square.back(), 0);
  const Rendered noise = Render("WaveType 3", 100000, 12345);
  EXPECT_EQ(Samples(noise.Out.begin(), noise.Out.begin() + 14),
            (Samples{3307, 3307, 3306, 3306, 4822, 5326, 5326, 5326, 3168, 1012, 1011, 1011, -162,
                     -3685}));
  // 32 draws at the start and at each of the 182 wraps of the 1098-subsample period.
  EXPECT_EQ(noise.Random.State, AfterDraws(12345, 32 * (1 + 25003 * 8 / 1098)).State);
  EXPECT_EQ(Render("WaveType 4", 100000).Out, Samples(25003, 0));
  EXPECT_EQ(Render("WaveType -1", 100000).Out, Samples(25003, 0));
  const auto [low, high] = std::ranges::minmax(Render("Volume 100", 1000).Out);
  EXPECT_TRUE(low == -32000 && high == 32000) << low << " " << high;
  // A delay of 8 subsamples (1020 × 0.09² = 8.26) adds the previous sample's
  // subsamples: about half of the doubled first sample, then the full one.
  const Samples phased = Render("PhaserOffset 0.09", 2).Out;
  EXPECT_NEAR(phased[0], 3199 / 2, 1);
  EXPECT_NEAR(phased[1], 3199, 1);
  // Exactly 1 bypasses the low-pass (the defaults' 3199 above), 0.999 filters.
  EXPECT_LT(Render("LPCutoff 0.999", 1).Out[0], 3000);
  // The ring holds 1024 subsamples. A delay d reads only zeros before subsample d: the first
  // 127 samples are half the defaults' (which read the subsample just written), and sample 127
  // (subsamples 1016 to 1023) gains 1024 - d eighths of the first sample (1599).
  for (const auto& [offset, reads] : {std::pair{"PhaserOffset 1.001", 2},
                                      {"PhaserOffset 1.0015", 1}}) {
    const Samples delayed = Render(offset, 128).Out;
    for (int k = 0; k < 127; ++k) ASSERT_NEAR(delayed[k], square[k] / 2, 1) << k;
    EXPECT_NEAR(delayed[127] - delayed[126], reads * 1599 / 8.0, 2) << reads;
  }
}

template <auto kField>
double Get(const S& s) {
  return static_cast<double>(s.*kField);
}

// The low-pass position after the first sample of the default square, whose
// eight subsamples are +0.5 (phase 1 to 8 of 1098 lies below the duty 0.5).
double LowPass(float cutoff, float resonance, float sweep) {
  const float factor = Single(1 + D(sweep) * D(0.0001f));
  float coeff = Single(D(Single(Cube(D(cutoff)))) * D(0.1f));
  const float damping = std::min(
      Single(5 / (D(Single(Square(D(resonance)))) * 20 + 1) * (D(coeff) + D(0.01f))), 0.8f);
  float pos = 0, vel = 0;
  for (int sub = 0; sub < 8; ++sub) {
    coeff = std::clamp(Single(D(factor) * D(coeff)), 0.0f, 0.1f);
    const float t = Single((0.5 - D(pos)) * D(coeff) + D(vel));
    vel = Single(D(t) - D(damping) * D(t));
    pos = Single(D(vel) + D(pos));
  }
  return pos;
}

// Each step's state after some samples, by its formula; the length: envelope, period limit or area.
TEST(Synthesizer, EachStepClampsAndSwitchesAtItsEdges) {
  // MinFreq 1e-6: the period grows by 1.00125 a sample until it passes 100000.
  const double limit = 100.0 / (D(1e-6f) * D(1e-6f) + 0.001);
  double untilLimit = 0;
  for (double period = kStart; period <= limit; ++untilLimit) period *= 1.00125;
  const double factor = 1 - Cube(D(0.2f)) * 0.01, slid = factor * kStart;  // a step of Slide 0.2
  const double x = Single(8.0 / 1098);  // the phase of the first sample's last subsample
  // single(single(cutoff²) × 0.1f), the high-pass coefficient
  const auto hp = [](float cutoff) { return D(Single(D(Single(Square(D(cutoff)))) * D(0.1f))); };
  const auto period = Get<&S::Period>, duty = Get<&S::Duty>, highPass = Get<&S::HpCoeff>,
             lowPass = Get<&S::LpPos>, delay = Get<&S::PhaserDelay>, vibrato = Get<&S::VibPhase>,
             slide = Get<&S::SlideFactor>, exact = Get<&S::PeriodExact>,
             changeAt = Get<&S::ChangeLimit>, repeatAt = Get<&S::RepeatLimit>,
             repeatTime = Get<&S::RepeatTime>, length = Get<&S::SampleCount>,
             volume = Get<&S::EnvVolume>;
  struct Case {
    const char* name;
    const char* changes;
    double (*field)(const S&);
    double expected;
    std::int32_t samples = 1;
  } const cases[] = {
      {"period 0.99 to 8", "StartFreq 10", period, 8},
      {"period 9.4998 truncated", "StartFreq 3.2443", period, 9},
      {"the longest period, 100 / 0.001", "StartFreq 0", period, 100000},
      {"duty 0.55 to 0.5", "SquareDuty -0.1", duty, 0.5},
      {"duty 0.45", "SquareDuty 0.1", duty, Single(0.5 - D(0.1f) / 2)},
      {"duty -0.05 to 0", "SquareDuty 1.1", duty, 0},
      {"duty sweep", "DutySweep 1", duty, Single(0.5 - D(0.00005f))},
      {"high-pass 0 to 0.00001f", "", highPass, D(0.00001f)},
      {"high-pass 0.00004", "HPCutoff 0.02", highPass, hp(0.02f)},
      {"high-pass 0.144 to 0.1f", "HPCutoff 1.2", highPass, D(0.1f)},
      {"high-pass 0.081", "HPCutoff 0.9", highPass, hp(0.9f)},
      {"high-pass factor below 0 to 0.00001f", "HPCutoff 0.5 HPCutoffSweep -5000", highPass,
       D(0.00001f)},
      {"high-pass sweep", "HPCutoff 0.5 HPCutoffSweep 1", highPass,
       Single(D(Single(1 + D(0.0003f))) * hp(0.5f))},
      // Roundings of 0.1f, 0.01f and single(cutoff³) all matter at 0.553.
      {"low-pass 0.553", "LPCutoff 0.553", lowPass, LowPass(0.553f, 0, 0)},
      {"resonance 5 / (0.25 × 20 + 1)", "LPCutoff 0.446 LPResonance 0.5", lowPass,
       LowPass(0.446f, 0.5f, 0)},
      {"coefficient 0.148 to 0.1f, damping 0.7908", "LPCutoff 1.14", lowPass, LowPass(1.14f, 0, 0)},
      {"damping 0.8105 to 0.8f", "LPCutoff 1.15", lowPass, LowPass(1.15f, 0, 0)},
      {"coefficient × 1.1", "LPCutoff 0.5 LPCutoffSweep 1000", lowPass, LowPass(0.5f, 0, 1000)},
      {"coefficient × 1.1 to 0.1f", "LPCutoff 0.999 LPCutoffSweep 1000", lowPass,
       LowPass(0.999f, 0, 1000)},
      {"coefficient × -1 to 0", "LPCutoff 0.5 LPCutoffSweep -20000", lowPass,
       LowPass(0.5f, 0, -20000)},
      {"phaser 1020 × 1²", "PhaserOffset 1", delay, 1020},
      {"phaser 1024.08 to 1023", "PhaserOffset 1.002", delay, 1023},
      {"phaser 1023.06 kept", "PhaserOffset 1.0015", delay, 1023},
      {"phaser -255", "PhaserOffset -0.5", delay, 255},
      {"phaser -255 - 2²", "PhaserOffset -0.5 PhaserSweep -2", delay, 259},
      {"phaser beyond int32", "PhaserOffset 1e6", delay, 0},
      {"vibrato without depth", "VibSpeed 0.5", vibrato, 0, 10},
      {"vibrato 0.5² × 0.01f", "VibSpeed 0.5 VibDepth 0.5", vibrato, Single(0.25 * D(0.01f))},
      {"vibrato off below 0 depth", "VibSpeed 1 VibDepth -0.5", period, std::trunc(Single(kStart))},
      {"vibrato amplitude 0.25", "VibSpeed 1 VibDepth 0.5", period,
       std::trunc(Single((1 + std::sin(D(0.01f)) * 0.25) * kStart))},
      {"vibrato 1.5 sin 4.5 to 8", "VibDepth 3 VibSpeed 1", period, 8, 450},
      {"slide -0.5", "Slide -0.5", slide, 1.00125},
      {"delta slide 0.5", "DeltaSlide 0.5", slide, 1 - 0.125e-6},
      {"change not at 19999", "ChangeAmount 0.5", exact, kStart, 19999},
      {"change 1 - 0.9 × 0.5² at 20000", "ChangeAmount 0.5", exact, 0.775 * kStart, 20000},
      {"change once", "ChangeAmount 0.5", exact, 0.775 * kStart, 20001},
      {"change 1 + 10 × 0.5² at 5000", "ChangeAmount -0.5 ChangeSpeed 0.5", exact, 3.5 * kStart,
       5000},
      {"change speed 1: none", "ChangeSpeed 1", changeAt, 0},
      {"change speed 1 with an amount: none", "ChangeSpeed 1 ChangeAmount 0.5", exact, kStart, 300},
      {"change speed 0.9 not at 199", "ChangeSpeed 0.9 ChangeAmount 0.5", exact, kStart, 199},
      {"change speed 0.9 at 200", "ChangeSpeed 0.9 ChangeAmount 0.5", exact, 0.775 * kStart, 200},
      {"change speed 1.5", "ChangeSpeed 1.5", changeAt, 5000},
      {"repeat speed 0: none", "", repeatAt, 0},
      {"repeat speed 0, a slide: none", "Slide 0.2", exact, factor * (factor * (factor * kStart)), 3},
      {"repeat speed -0.5", "RepeatSpeed -0.5", repeatAt, 45000},
      {"no repeat at 4999", "RepeatSpeed 0.5", repeatTime, 4999, 4999},
      {"repeat at 5000", "RepeatSpeed 0.5 Slide 0.2", exact, slid, 5000},
      {"again at 10000", "RepeatSpeed 0.5 Slide 0.2", exact, slid, 10000},
      {"repeat beyond int32", "RepeatSpeed -1e6 Slide 0.5", exact, (1 - 0.125 * 0.01) * kStart, 50},
      {"250 + 639", "SustainTime 0.05 DecayTime 0.08", length, 892, 100000},
      {"no sustain, no decay", "SustainTime 0 DecayTime 0", length, 3, 100},
      {"beyond int32", "AttackTime 1e6 SustainTime 1e6 DecayTime 1e6", length, 3, 100},
      {"MinFreq 0.5 above 0.3", "MinFreq 0.5", length, 1, 100000},
      {"MinFreq -0.5 caps only", "MinFreq -0.5", length, 25003, 100000},
      {"MinFreq -0.5 caps the period", "MinFreq -0.5", exact, 100 / (0.25 + 0.001)},
      {"MinFreq at the start period plays on", "StartFreq 0.5 MinFreq 0.5", length, 25003, 100000},
      {"MinFreq 0 caps only", "Slide -0.5", length, 25003, 100000},
      {"MinFreq 1e-6 stops", "Slide -0.5 MinFreq 1e-6", length, untilLimit, 100000},
      {"sawtooth 1 - 2 × 8/1098", "WaveType 1", lowPass, Single(1 - 2 * x)},
      {"sine of 2π × 8/1098", "WaveType 2", lowPass,
       Single(std::sin(D(Single(2 * x * D(3.14159265358979f)))))},
      {"the area ends first", "", length, 700, 700},
      {"attack halfway", "AttackTime 0.1", volume, 0.5, 500},
      {"punch 0.5 starts at 2", "SustainPunch 0.5", volume, 2},
      {"punch 1 + 2 × 0.5 × 0.5", "SustainPunch 0.5", volume, 1.5, 4501},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.field(Render(c.changes, c.samples).Synth), c.expected) << c.name;
  }
}

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

using Case = std::tuple<SynthParams, std::uint32_t, std::int32_t>;  // parameters, seed, area size

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
  // Vibrato stretches the period past 2^24 subsamples, where whole numbers stop being floats,
  // while the phase passes 2^24 after 2.1 million samples. Twice, so that two lanes play it to
  // the end.
  SynthParams deep = DefaultParams();
  deep.WaveType = 2, deep.StartFreq = 0, deep.SustainTime = 4.9f;
  deep.VibDepth = 2e5f, deep.VibSpeed = 0.001f;
  out.push_back({deep, 9, 2460000});
  out.push_back({deep, 10, 2460000});
  // Each switch and clamp on both sides of its edge, in every wave, for the lanes' own copies:
  // the low-pass bypass, the ceiling that stops, vibrato, repeat, change, the high-pass sweep, the
  // longest phaser delays, sine periods at the end of the cache and just past it, and the longest.
  const auto below = [](float v) { return std::nextafter(v, -kInf); };
  const std::pair<int, float> edges[] = {
      {19, 1}, {19, below(1)}, {19, std::nextafter(1.0f, 2.0f)}, {7, 0}, {7, -0.0f}, {7, 1e-45f},
      {7, 0.3f}, {10, 0}, {10, 3e-45f}, {10, -3e-45f}, {16, 0}, {16, 1e-7f}, {13, 1}, {13, 0.9f},
      {23, -5000}, {23, 0}, {23, -3333.3333f}, {17, 1.001f}, {17, 1.0015f}, {17, 1.002f},
      {6, 0.07143758982419968f}, {6, 0.07143498212099075f},  // periods 16384 and 16385
      {6, 0}};                                                // the longest, 100000
  for (int wave = 0; wave < 4; ++wave) {
    for (const auto& [index, value] : edges) {
      SynthParams p = DefaultParams();
      p.WaveType = wave, p.Slide = -0.5f, p.VibSpeed = 0.5f, p.ChangeAmount = 0.5f;
      p.LPResonance = 0.5f, p.HPCutoff = 0.3f, p.SustainTime = 0.6f;
      if (index == 6) p.Slide = 0, p.SustainTime = 1;
      SetCell(p, index, value);
      out.push_back({p, 13, 20000});
    }
  }
  for (int index = 0; index < kParamCount; ++index) {
    for (float value : {kNaN, 1e30f, -1e30f, 3e9f, -0.0f}) {
      SynthParams p = DefaultParams();
      p.WaveType = index % 4;
      p.VibDepth = index % 3 == 0 ? 0.5f : 0.0f;
      SetCell(p, index, value);
      out.push_back({p, 11, 3000});
    }
  }
  // Random sounds: fewer under an emulator, where each takes fifty times as long; the
  // reference digests compare every build's samples with the native build's too.
#ifndef QUAVIX_RANDOM_PATH_SOUNDS
#define QUAVIX_RANDOM_PATH_SOUNDS 1500
#endif
  std::mt19937 gen(20261206);
  for (int n = 0; n < QUAVIX_RANDOM_PATH_SOUNDS; ++n) {  // a braced list is evaluated left to right
    out.push_back({RandomParams(gen), static_cast<std::uint32_t>(gen()),
                   static_cast<std::int32_t>(gen() % 1500)});
  }
  return out;
}

// Each sound stays within its area and ±32000, and the cached path and the lanes of each
// instruction set (one sine cache shared by all their synthesizers) write the same samples and
// leave the same random state and synthesis state as the plain path. The cases end at different
// times, so lanes take new sounds mid-way and hand the last ones over to the single-sound path.
class EveryPath : public testing::TestWithParam<LaneSet> {};

TEST_P(EveryPath, WritesTheSameBoundedSoundAndState) {
  if (!LaneSetRuns(GetParam())) {
    GTEST_SKIP() << LaneSetName(GetParam()) << ": skipped: this processor lacks the instruction set";
  }
  const std::vector<Case> cases = Cases();
  auto shared = std::make_unique<SineCache>();
  std::vector<Synthesizer> side(cases.size());
  std::vector<RandomSource> randoms(cases.size());
  std::vector<std::vector<std::int16_t>> areas(cases.size());
  std::vector<SynthesisJob> jobs;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& [params, seed, max] = cases[i];
    randoms[i].State = seed;
    areas[i].assign(static_cast<std::size_t>(max) + 4, 0x6B6B);
    side[i].Params = params;
    side[i].Sines = shared.get();
    jobs.push_back({&side[i], &randoms[i], areas[i].data(), max});
  }
  SynthesizeInLanes(jobs.data(), jobs.size(), GetParam());
  auto cached = std::make_unique<CachedSynthesizer>();
  auto plain = std::make_unique<Synthesizer>();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "sound " << i);
    const auto& [params, seed, max] = cases[i];
    Samples plainOut(areas[i].size(), 0x6B6B), cachedOut = plainOut;
    RandomSource plainRandom{seed}, cachedRandom{seed};
    plain->Params = cached->Synth.Params = params;
    SynthesizeReference(*plain, max, plainOut.data(), plainRandom);
    Synthesize(cached->Synth, max, cachedOut.data(), cachedRandom);
    const std::int32_t n = plain->SampleCount;
    ASSERT_TRUE(n >= 0 && n <= max);
    for (std::int32_t k = 0; k < max + 4; ++k) {
      ASSERT_TRUE(k < n ? std::abs(plainOut[k]) <= 32000 : k < max || plainOut[k] == 0x6B6B);
    }
    ASSERT_TRUE(cachedOut == plainOut && SameSynthesisState(cached->Synth, *plain) &&
                cachedRandom.State == plainRandom.State);
    ASSERT_TRUE(areas[i] == plainOut && SameSynthesisState(side[i], *plain) &&
                randoms[i].State == plainRandom.State);
  }
}

// The sets this build has: the vector lanes are x86-64's only.
#if QUAVIX_X86_LANES
const LaneSet kBuiltLaneSets[] = {LaneSet::kOneByOne, LaneSet::kAvx2, LaneSet::kAvx512};
#else
const LaneSet kBuiltLaneSets[] = {LaneSet::kOneByOne};
#endif

INSTANTIATE_TEST_SUITE_P(Lanes, EveryPath, testing::ValuesIn(kBuiltLaneSets),
                         [](const testing::TestParamInfo<LaneSet>& set) {
                           return std::string(set.param == LaneSet::kOneByOne ? "OneByOne"
                                              : set.param == LaneSet::kAvx2   ? "Avx2"
                                                                              : "Avx512");
                         });

// A string's first trip may turn "-0.0000" into -0.0, exported next as an empty field: from the
// second import on text and bits hold. The file image holds every stored field bit for bit.
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
    ASSERT_TRUE(Same(twice, thrice)) << first;
    const auto image = EncodeSettings(original);
    ASSERT_EQ(DecodeSettings(loaded, image.data(), image.size()), SettingsLoadResult::Loaded);
    ASSERT_TRUE(Same(original, loaded)) << first;
  }
}

}  // namespace
}  // namespace quavix
