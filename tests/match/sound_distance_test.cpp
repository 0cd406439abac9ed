#include <numbers>

#include "match/sound_distance.h"
#include "test_util.h"

namespace quavix::match {
namespace {

// A struck tone: three harmonics of hz under an exponential decay over seconds.
std::vector<float> Tone(double hz, double seconds) {
  const auto n = static_cast<std::size_t>(seconds * 44100);
  std::vector<float> s(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / 44100;
    double v = 0;
    for (int h = 1; h <= 3; ++h) v += std::sin(2 * std::numbers::pi * hz * h * t) / h;
    s[i] = static_cast<float>(0.5 * v * std::exp(-4 * t / seconds));
  }
  return s;
}

std::vector<float> After(std::vector<float> lead, const std::vector<float>& sound) {
  lead.insert(lead.end(), sound.begin(), sound.end());
  return lead;
}

// Each case: the distance from From to every sound of To, which must be 0 for the first
// when Zero, and grow strictly along To; the distance is the same both ways.
TEST(SoundDistance, IsZeroForTheSameSoundAndGrowsWithPitchAndLength) {
  const std::vector<float> tone = Tone(440, 0.5);
  const std::vector<float> quiet(3000, 0.0009f), audible(3000, 0.0011f);  // either side of -60 dB
  struct Case {
    const char* Name;
    std::vector<float> From;
    std::vector<std::vector<float>> To;
    bool Zero;
  } const cases[] = {
      {"itself", tone, {tone}, true},
      {"leading silence", tone, {After(std::vector<float>(4000), tone)}, true},
      {"trailing silence", tone, {After(tone, std::vector<float>(4000))}, true},
      {"a lead below -60 dB, then one above", tone, {After(quiet, tone), After(audible, tone)}, true},
      {"silence and silence", {}, {std::vector<float>(100)}, true},
      {"silence and sound below -60 dB", {}, {quiet}, true},
      {"pitch up 1%, 5%, 25%, 80%", tone,
       {Tone(440 * 1.01, 0.5), Tone(440 * 1.05, 0.5), Tone(440 * 1.25, 0.5), Tone(440 * 1.8, 0.5)}, false},
      {"pitch down 5%, 25%", tone, {Tone(440 / 1.05, 0.5), Tone(440 / 1.25, 0.5)}, false},
      {"stretched 2%, 10%, 40%, 100%", tone,
       {Tone(440, 0.51), Tone(440, 0.55), Tone(440, 0.7), Tone(440, 1.0)}, false},
      {"shortened 10%, 50%", tone, {Tone(440, 0.45), Tone(440, 0.25)}, false},
      {"silence, then the tone", {}, {tone}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    double previous = c.Zero ? -1 : 0;
    for (const std::vector<float>& to : c.To) {
      const double d = SoundDistance(c.From, to);
      EXPECT_EQ(d, SoundDistance(to, c.From));
      if (c.Zero && previous < 0) {
        EXPECT_EQ(d, 0.0);
      } else {
        EXPECT_GT(d, previous);
      }
      previous = d;
    }
  }
}

}  // namespace
}  // namespace quavix::match
