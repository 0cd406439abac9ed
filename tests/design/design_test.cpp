#include <array>
#include <cctype>
#include <ctime>
#include <span>

#include "design/presets.h"
#include "design/randomize.h"
#include "synth/exact_math.h"
#include "test_util.h"

namespace quavix {
namespace {

using P = SynthParams;
using R = RandomSource;

// Every field of the record, floats as their bits (the record has padding).
std::vector<std::uint32_t> Fields(const P& p) {
  std::vector<std::uint32_t> out(kParamCount + 1);  // the 24 cells and MasterVolume
  std::memcpy(out.data(), &p.Volume, 4 * out.size());
  out.insert(out.end(), {std::bit_cast<std::uint32_t>(p.VibReserved), p.FlagReserved,
                         static_cast<std::uint32_t>(p.BitsPerSample),
                         static_cast<std::uint32_t>(p.SampleRate)});
  return out;
}

// Parameters that every call below but Mutate resets before it draws.
P Used() {
  P p = DefaultParams();
  p.Volume = p.MinFreq = p.AttackTime = p.DeltaSlide = p.VibReserved = p.LPResonance = 0.25f;
  p.WaveType = 3;
  return p;
}

// A field the call sets: the value the description gives to five decimals, and the float stored
// (from a separate model of the generator: integer arithmetic and float32 rounding by packing).
using Expected = std::tuple<float P::*, double, std::uint32_t>;

// Seed 1: the draws taken and the listed fields; all others as the defaults with the wave.
TEST(Design, SeedOneGivesTheDescribedParameters) {
  const Expected coin[] = {
      {&P::StartFreq, 0.40205, 0x3ECDD980},   {&P::SustainTime, 0.08466, 0x3DAD6239},
      {&P::DecayTime, 0.35336, 0x3EB4EB9A},   {&P::SustainPunch, 0.49494, 0x3EFD68C7},
      {&P::ChangeSpeed, 0.61446, 0x3F1D4D40}, {&P::ChangeAmount, 0.25908, 0x3E84A622}};
  const Expected laser[] = {
      {&P::StartFreq, 0.86136, 0x3F5C8217}, {&P::MinFreq, 0.0696, 0x3D8E8A72},
      {&P::Slide, -0.48386, 0xBEF7BC80},    {&P::SquareDuty, 0.40715, 0x3ED075F7},
      {&P::DutySweep, 0.06558, 0x3D864ECF}, {&P::SustainTime, 0.23652, 0x3E72324C},
      {&P::DecayTime, 0.39844, 0x3ECC0054}, {&P::SustainPunch, 0.08985, 0x3DB80347},
      {&P::HPCutoff, 0.16308, 0x3E26FE72}};
  const Expected explosion[] = {
      {&P::StartFreq, 0.19241, 0x3E4505D4},   {&P::Slide, 0.0, 0x00000000},
      {&P::SustainTime, 0.27169, 0x3E8B1AF4}, {&P::DecayTime, 0.07385, 0x3D973EAB},
      {&P::PhaserOffset, 0.3264, 0x3EA71DE6}, {&P::PhaserSweep, -0.13386, 0xBE091299},
      {&P::SustainPunch, 0.5423, 0x3F0AD42D}, {&P::VibDepth, 0.22953, 0x3E6B09E9},
      {&P::VibSpeed, 0.40956, 0x3ED1B1DA}};
  const Expected powerup[] = {
      {&P::StartFreq, 0.39002, 0x3EC7B0B4},   {&P::Slide, 0.35992, 0x3EB8476F},
      {&P::RepeatSpeed, 0.76672, 0x3F4447C3}, {&P::SustainTime, 0.22892, 0x3E6A6A01},
      {&P::DecayTime, 0.15908, 0x3E22E5DE},   {&P::SquareDuty, 0.0, 0x00000000}};
  const Expected randomized[] = {
      {&P::StartFreq, 0.48053, 0x3EF60789},      {&P::Slide, 0.00241, 0x3B1E3192},
      {&P::DeltaSlide, 0.57926, 0x3F144A5A},     {&P::SquareDuty, 0.1446, 0x3E141208},
      {&P::DutySweep, -0.34981, 0xBEB319D6},     {&P::VibDepth, 0.66123, 0x3F294678},
      {&P::VibSpeed, 0.392, 0x3EC8B438},         {&P::VibReserved, -0.1076, 0xBDDC5D60},
      {&P::AttackTime, 0.0028, 0x3B37B647},      {&P::SustainTime, 0.89397, 0x3F64DB16},
      {&P::DecayTime, -0.12947, 0xBE0493C9},     {&P::SustainPunch, 0.2982, 0x3E98AE1C},
      {&P::LPResonance, -0.401, 0xBECD4FE0},     {&P::LPCutoff, 0.99269, 0x3F7E20C2},
      {&P::LPCutoffSweep, -0.00004, 0xB82DBC53}, {&P::HPCutoff, 0.04747, 0x3D426D65},
      {&P::HPCutoffSweep, -0.03891, 0xBD1F5BD6}, {&P::PhaserOffset, -0.0005, 0xBA03386F},
      {&P::PhaserSweep, -0.01059, 0xBC2D81CD},   {&P::RepeatSpeed, -0.9694, 0xBF782A99},
      {&P::ChangeSpeed, -0.9416, 0xBF710CB3},    {&P::ChangeAmount, -0.5238, 0xBF0617C2}};
  const Expected mutated[] = {
      {&P::StartFreq, 0.33466, 0x3EAB588F},   {&P::SquareDuty, 0.00723, 0x3BECE9A0},
      {&P::AttackTime, 0.03143, 0x3D00BCBF},  {&P::SustainTime, 0.31826, 0x3EA2F2FA},
      {&P::DecayTime, 0.35491, 0x3EB5B6C4},   {&P::SustainPunch, -0.03059, 0xBCFA97E1},
      {&P::LPResonance, 0.00436, 0x3B8EDE58}, {&P::LPCutoff, 0.99603, 0x3F7EFBD2},
      {&P::HPCutoff, -0.04708, 0xBD40D6F5},   {&P::PhaserOffset, 0.03715, 0x3D182A99},
      {&P::RepeatSpeed, 0.00447, 0x3B927918}, {&P::ChangeAmount, -0.03463, 0xBD0DD830}};
  struct Case {
    const char* name;
    void (*call)(P&, R&);
    int draws;
    std::int32_t wave;
    std::span<const Expected> fields;
    P start = Used();
  } const cases[] = {
      {"coin", [](P& p, R& r) { LoadPreset(p, kPresetCoin, r); }, 7, 0, coin},
      {"laser", [](P& p, R& r) { LoadPreset(p, kPresetLaser, r); }, 20, 0, laser},
      {"explosion", [](P& p, R& r) { LoadPreset(p, kPresetExplosion, r); }, 15, 3, explosion},
      {"powerup", [](P& p, R& r) { LoadPreset(p, kPresetPowerup, r); }, 7, 1, powerup},
      {"randomize", [](P& p, R& r) { Randomize(p, r); }, 26, 1, randomized},
      {"mutate by 0.1", [](P& p, R& r) { Mutate(p, 0.1f, r); }, 34, 0, mutated, DefaultParams()},
      // the same 22 coins and 12 nudges, each adding 0: nothing changes
      {"mutate by 0", [](P& p, R& r) { Mutate(p, 0.0f, r); }, 34, 0, {}, DefaultParams()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RandomSource r{1};
    P p = c.start, expected = DefaultParams();
    c.call(p, r);
    EXPECT_EQ(r.State, AfterDraws(1, c.draws).State);
    expected.WaveType = c.wave;
    for (const auto& [field, fiveDecimals, bits] : c.fields) {
      EXPECT_EQ(std::llround(p.*field * 1e5), std::llround(fiveDecimals * 1e5));
      EXPECT_EQ(std::bit_cast<std::uint32_t>(p.*field), bits) << fiveDecimals;
      expected.*field = std::bit_cast<float>(bits);
    }
    EXPECT_EQ(Fields(p), Fields(expected));
  }
}

TEST(Presets, FamiliesAboveSixAsUnsignedChangeNothingAndDrawNothing) {
  for (const std::int32_t family : {7, 8, -1, -2147483647 - 1, 6}) {
    RandomSource r{1};
    P p = Used();
    LoadPreset(p, family, r);
    EXPECT_EQ(Fields(p) == Fields(Used()), family != 6) << family;
    EXPECT_EQ(r.State == 1u, family != 6) << family;
  }
  for (const PresetFamilyName& entry : kPresetFamilyNames) {
    std::string upper(entry.Name);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_EQ(FindPresetFamily(upper), entry.Family);
    EXPECT_TRUE(!FindPresetFamily(upper.substr(1)) && !FindPresetFamily(upper + "s")) << upper;
  }
}

// Over many seeds each field stays in its recipe's range and comes within 5 % of both ends; the
// waves and the one-in-k branches come as often as the draws say.
TEST(Presets, RangesWavesAndBranchesOverManySeeds) {
  constexpr int kRuns = 4000;
  std::vector<P> sounds[kPresetFamilyCount];
  for (std::int32_t family = 0; family < kPresetFamilyCount; ++family) {
    for (std::uint32_t seed = 1; seed <= kRuns; ++seed) {
      R r{seed * 2654435761u};
      LoadPreset(sounds[family].emplace_back(DefaultParams()), family, r);
    }
  }
  // The families without a described seeded result, and two edges: family, field, lowest, highest.
  const std::tuple<std::int32_t, float P::*, float, float> ranges[] = {
      {kPresetExplosion, &P::StartFreq, 0.01f, 0.81f}, {kPresetLaser, &P::MinFreq, 0.0f, 0.8f},
      {kPresetHurt, &P::StartFreq, 0.2f, 0.8f},        {kPresetHurt, &P::Slide, -0.7f, -0.3f},
      {kPresetHurt, &P::SustainTime, 0.0f, 0.1f},      {kPresetHurt, &P::DecayTime, 0.1f, 0.3f},
      {kPresetHurt, &P::HPCutoff, 0.0f, 0.3f},         {kPresetHurt, &P::SquareDuty, 0.0f, 0.6f},
      {kPresetJump, &P::SquareDuty, 0.0f, 0.6f},       {kPresetJump, &P::StartFreq, 0.3f, 0.6f},
      {kPresetJump, &P::SustainTime, 0.1f, 0.4f},      {kPresetJump, &P::DecayTime, 0.1f, 0.3f},
      {kPresetJump, &P::LPCutoff, 0.4f, 1.0f},         {kPresetJump, &P::Slide, 0.1f, 0.3f},
      {kPresetBlip, &P::StartFreq, 0.2f, 0.6f},        {kPresetBlip, &P::SustainTime, 0.1f, 0.2f},
      {kPresetBlip, &P::DecayTime, 0.0f, 0.2f},        {kPresetBlip, &P::HPCutoff, 0.1f, 0.1f}};
  for (const auto& [family, field, lo, hi] : ranges) {
    const auto [min, max] = std::ranges::minmax_element(sounds[family], {}, field);
    const float slack = (hi - lo) * 0.05f, low = (*min).*field, high = (*max).*field;
    EXPECT_TRUE(low >= lo && low <= lo + slack && high <= hi && high >= hi - slack)
        << family << ": " << lo << " to " << hi << ", seen " << low << " to " << high;
  }
  // Twelfths of each family's sounds with each wave.
  const std::array<int, 4> twelfths[kPresetFamilyCount] = {
      {12, 0, 0, 0}, {5, 5, 2, 0},  {0, 0, 0, 12}, {6, 6, 0, 0},
      {4, 4, 0, 4},  {12, 0, 0, 0}, {6, 6, 0, 0}};
  for (std::int32_t family = 0; family < kPresetFamilyCount; ++family) {
    std::array<int, 4> counts{};
    for (const P& p : sounds[family]) ++counts.at(static_cast<std::size_t>(p.WaveType));
    for (std::size_t k = 0; k < 4; ++k) {
      EXPECT_NEAR(counts[k] / double(kRuns), twelfths[family][k] / 12.0, 0.03) << family << k;
      EXPECT_EQ(counts[k] == 0, twelfths[family][k] == 0) << family << " wave " << k;
    }
  }
  // Laser raises MinFreq below 0.2 to 0.2; its one-in-three branch (Slide below -0.35) draws
  // MinFreq from 0 to 0.1 without that floor. Explosion sets Slide 0 on one draw in five.
  int atFloor = 0, justAbove = 0, branch = 0, noSlide = 0;
  for (const P& p : sounds[kPresetLaser]) {
    const bool inBranch = p.Slide<-0.351f, floored = p.Slide> - 0.349f;
    EXPECT_TRUE(inBranch ? p.MinFreq <= 0.1f : !floored || p.MinFreq >= 0.2f) << p.MinFreq;
    branch += inBranch;
    atFloor += floored && p.MinFreq == 0.2f;
    justAbove += floored && p.MinFreq > 0.2f && p.MinFreq < 0.22f;
  }
  for (const P& p : sounds[kPresetExplosion]) noSlide += p.Slide == 0;
  EXPECT_NEAR(branch / double(kRuns), 1 / 3.0, 0.03);
  EXPECT_NEAR(noSlide / double(kRuns), 0.2, 0.02);
  EXPECT_TRUE(atFloor > 500 && justAbove > 20) << atFloor << " " << justAbove;
}

// Over many seeds no result lies on a fix-up's side of its edges, while results beside each edge
// occur. Draws: 24, one more for the coin of step 4, two more when step 18 raises the times.
TEST(Randomize, FixUpsFlipOrRaiseExactlyAtTheirThresholds) {
  constexpr int kRuns = 20000;
  constexpr float kBig = 9;
  // a, b, then a in (aLo, aHi) and b in (bLo, bHi), open intervals; whether no result lies there
  const std::tuple<float P::*, float P::*, float, float, float, float, bool> bands[] = {
      {&P::StartFreq, &P::Slide, 0.7f, kBig, 0.2f, kBig, true},  // step 6 applies
      {&P::StartFreq, &P::Slide, 0.65f, 0.7f, 0.2f, kBig, false},
      {&P::StartFreq, &P::Slide, 0.7f, kBig, 0.15f, 0.2f, false},
      {&P::StartFreq, &P::Slide, -kBig, 0.2f, -kBig, -0.05f, true},  // step 7 applies
      {&P::StartFreq, &P::Slide, 0.2f, 0.25f, -kBig, -0.05f, false},
      {&P::StartFreq, &P::Slide, -kBig, 0.2f, -0.05f, -0.02f, false},
      {&P::LPCutoff, &P::LPCutoffSweep, -kBig, 0.1f, -kBig, -0.05f, true},  // step 22 applies
      {&P::LPCutoff, &P::LPCutoffSweep, 0.1f, 0.15f, -kBig, -0.05f, false},
      {&P::LPCutoff, &P::LPCutoffSweep, -kBig, 0.1f, -0.05f, -0.02f, false},
  };
  std::array<int, std::size(bands)> inBand{};
  std::array<int, 5> waves{};
  std::array<int, 3> times{};  // kept below 0.2, kept from 0.2 to 0.25, raised
  for (std::uint32_t seed = 1; seed <= kRuns; ++seed) {
    RandomSource r{seed * 2654435761u};
    P p = DefaultParams();
    Randomize(p, r);
    int draws = 24;
    while (draws < 28 && AfterDraws(seed * 2654435761u, draws).State != r.State) ++draws;
    ASSERT_LT(draws, 28);
    ++waves.at(static_cast<std::size_t>(p.WaveType));
    const double sum = D(p.AttackTime) + D(p.SustainTime) + D(p.DecayTime);
    times[0] += draws < 26 && sum < D(0.2f);
    times[1] += draws < 26 && sum >= D(0.2f) && sum < 0.25;
    times[2] += draws >= 26;
    for (std::size_t k = 0; k < std::size(bands); ++k) {
      const auto& [a, b, aLo, aHi, bLo, bHi, empty] = bands[k];
      inBand[k] += p.*a > aLo && p.*a < aHi && p.*b > bLo && p.*b < bHi;
    }
  }
  for (int count : waves) EXPECT_NEAR(count / double(kRuns), 0.2, 0.02);  // 4 included
  for (std::size_t k = 0; k < std::size(bands); ++k) {
    EXPECT_EQ(inBand[k] == 0, std::get<bool>(bands[k])) << "band " << k << ": " << inBand[k];
  }
  EXPECT_TRUE(times[0] == 0 && times[1] > 0 && times[2] > 0) << times[0] << times[1] << times[2];
}

TEST(SeedFromScript, ZeroReadsTheClockAnythingElseIsItsBitsUnsigned) {
  const std::pair<std::int32_t, std::uint32_t> cases[] = {
      {0, 1700000000u}, {1, 1}, {-1, 4294967295u}, {-2147483647 - 1, 2147483648u}};
  for (const auto& [seed, state] : cases) {
    R r;
    SeedFromScript(r, seed, [] { return 1700000000u; });
    EXPECT_EQ(r.State, state) << seed;
  }
  // The calendar clock: seconds since 1970 UTC, low 32 bits.
  EXPECT_LE(CalendarSeconds() - static_cast<std::uint32_t>(std::time(nullptr)), 2u);
}

}  // namespace
}  // namespace quavix
