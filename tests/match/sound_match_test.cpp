#include "design/presets.h"
#include "design/randomize.h"
#include "match/sound_distance.h"
#include "match/sound_match.h"
#include "test_util.h"

namespace quavix::match {
namespace {

// A sound no broad sample holds: a preset of family at seed, mutated.
std::vector<float> Target(std::int32_t family, std::uint32_t seed) {
  Candidate c;
  c.Params = DefaultParams();
  SeedRandom(c.Random, seed);
  LoadPreset(c.Params, family, c.Random);
  Mutate(c.Params, 0.2f, c.Random);
  return RenderCandidate(c, 5);
}

struct SearchRun {
  std::vector<Candidate> Found;
  std::vector<MatchProgress> Steps;
};

SearchRun Search(const std::vector<float>& target, std::optional<std::int32_t> source, std::int64_t evaluations,
           std::uint32_t seed, std::size_t jobs) {
  SearchRun run;
  MatchSettings settings;
  settings.Seed = seed;
  settings.Evaluations = evaluations;
  settings.Source = source;
  settings.Jobs = jobs;
  settings.Progress = [&](const MatchProgress& p) { run.Steps.push_back(p); };
  run.Found = FindMatches(target, settings);
  return run;
}

// The broad sample of one source at this budget is one batch (budget / 4 sounds): the
// first progress report is its best; the refinement must end closer. Each found recipe's
// distance is its own sound's, rendered alone.
TEST(SoundMatch, EndsCloserThanTheBroadSampleAndReportsTheRecipesDistances) {
  struct Case {
    const char* Name;
    std::int32_t Family;
    std::uint32_t Seed;
    std::optional<std::int32_t> Source;
    std::int64_t Evaluations;
  } const cases[] = {
      {"coin, among coins", kPresetCoin, 7, kPresetCoin, 96},
      {"explosion, among explosions", kPresetExplosion, 3, kPresetExplosion, 96},
      {"laser, among randomized sounds", kPresetLaser, 11, kRandomizeSource, 96},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<float> target = Target(c.Family, c.Seed);
    const SearchRun run = Search(target, c.Source, c.Evaluations, 1, 1);
    ASSERT_FALSE(run.Steps.empty());
    EXPECT_EQ(run.Steps.front().Evaluations, c.Evaluations / 4);
    EXPECT_EQ(run.Steps.back().Evaluations, c.Evaluations);
    ASSERT_EQ(run.Found.size(), 3u);
    EXPECT_LT(run.Found[0].Distance, run.Steps.front().BestDistance);
    EXPECT_EQ(run.Found[0].Distance, run.Steps.back().BestDistance);
    for (const Candidate& found : run.Found) {
      EXPECT_EQ(found.Distance, SoundDistance(target, RenderCandidate(found, 5)));
    }
    EXPECT_LE(run.Found[0].Distance, run.Found[1].Distance);
    EXPECT_LE(run.Found[1].Distance, run.Found[2].Distance);
  }
}

TEST(SoundMatch, TheSameSeedAndBudgetGiveTheSameRecipesAtAnyJobCount) {
  struct Case {
    std::size_t Jobs;
    std::uint32_t Seed;
    bool Same;
  } const cases[] = {{1, 5, true}, {2, 5, true}, {3, 5, true}, {1, 6, false}};
  const std::vector<float> target = Target(kPresetJump, 21);
  const SearchRun first = Search(target, std::nullopt, 64, 5, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Jobs << " jobs, seed " << c.Seed);
    const SearchRun again = Search(target, std::nullopt, 64, c.Seed, c.Jobs);
    ASSERT_EQ(again.Found.size(), first.Found.size());
    bool same = true;
    for (std::size_t i = 0; i < first.Found.size(); ++i) {
      same = same && Same(again.Found[i].Params, first.Found[i].Params) &&
             again.Found[i].Random.State == first.Found[i].Random.State &&
             again.Found[i].Distance == first.Found[i].Distance;
    }
    EXPECT_EQ(same, c.Same);
  }
}

}  // namespace
}  // namespace quavix::match
