// How close the search gets to a small corpus it makes itself, against two
// baselines with the same number of rendered sounds:
//   random:   the best of N recipes of the target's source (its preset family,
//             or Randomize for the sox targets), at seeds 1..N;
//   mutation: the best of the first N/4 of those, then repeatedly a copy of the
//             best so far mutated by 0.05 (a fresh seed each time), kept when closer.
// The corpus: one render of each preset family at fixed seeds, mutated by 0.1
// so that no broad sample holds it, and a chirp and a noise burst made with
// sox (left out, with a note, when sox is missing).
//
// "match" searches every source, "family" only the target's.
//
//   quavix_match_bench [EVALUATIONS [JOBS]]   (default 1000 sounds, 2 jobs)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "design/presets.h"
#include "design/randomize.h"
#include "export/sound_file_reading.h"
#include "match/sound_distance.h"
#include "match/sound_match.h"

namespace quavix::match {
namespace {

struct Target {
  std::string Name;
  std::int32_t Source;
  std::vector<float> Sound;
};

Candidate Made(std::int32_t source, std::uint32_t seed) {
  Candidate c;
  c.Params = DefaultParams();
  SeedRandom(c.Random, seed);
  if (source == kRandomizeSource) {
    Randomize(c.Params, c.Random);
  } else {
    LoadPreset(c.Params, source, c.Random);
  }
  return c;
}

double Distance(const SoundFeatures& target, const Candidate& c) {
  return CompareSounds(target, DescribeSound(RenderCandidate(c, 5))).Total();
}

double RandomBest(const SoundFeatures& target, std::int32_t source, std::int64_t n, Candidate* best = nullptr) {
  double closest = 1e300;
  for (std::int64_t i = 1; i <= n; ++i) {
    const Candidate c = Made(source, static_cast<std::uint32_t>(i));
    const double d = Distance(target, c);
    if (d < closest) {
      closest = d;
      if (best != nullptr) *best = c;
    }
  }
  return closest;
}

double MutationBest(const SoundFeatures& target, std::int32_t source, std::int64_t n) {
  Candidate best;
  double closest = RandomBest(target, source, n / 4, &best);
  for (std::int64_t i = n / 4; i < n; ++i) {
    Candidate c = best;
    RandomSource draws;
    SeedRandom(draws, static_cast<std::uint32_t>(100000 + i));
    Mutate(c.Params, 0.05f, draws);
    const double d = Distance(target, c);
    if (d < closest) {
      closest = d;
      best = c;
    }
  }
  return closest;
}

std::vector<Target> Corpus() {
  std::vector<Target> corpus;
  for (std::int32_t family = 0; family < kPresetFamilyCount; ++family) {
    Candidate c = Made(family, 4242 + static_cast<std::uint32_t>(family));
    Mutate(c.Params, 0.1f, c.Random);
    corpus.push_back({std::string(kPresetFamilyNames[static_cast<std::size_t>(family)].Name), family,
                      RenderCandidate(c, 5)});
  }
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quavix-match-bench";
  std::filesystem::create_directories(dir);
  const struct {
    const char* Name;
    const char* Effect;
  } made[] = {{"chirp", "synth 0.8 sine 300-3000 fade 0 0.8 0.3 vol 0.5"},
              {"noise burst", "synth 0.4 whitenoise fade 0.01 0.4 0.35 vol 0.4"}};
  for (const auto& m : made) {
    const std::string file = (dir / (std::string(m.Name) + ".wav")).string();
    const std::string command = "sox -n -r 44100 -b 16 -c 1 '" + file + "' " + m.Effect + " 2>/dev/null";
    exporting::DecodedSound sound;
    std::string error;
    if (std::system(command.c_str()) != 0 || !exporting::ReadSoundFile(file, 10, sound, error)) {
      std::printf("note: %s left out (sox is missing or failed)\n", m.Name);
      continue;
    }
    corpus.push_back({m.Name, kRandomizeSource, sound.Samples});
  }
  std::filesystem::remove_all(dir);
  return corpus;
}

}  // namespace
}  // namespace quavix::match

int main(int argc, char** argv) {
  using namespace quavix::match;
  const std::int64_t n = argc > 1 ? std::atoll(argv[1]) : 1000;
  const std::size_t jobs = argc > 2 ? static_cast<std::size_t>(std::atoll(argv[2])) : 2;
  if (n < 4 || jobs < 1) {
    std::fprintf(stderr, "usage: quavix_match_bench [EVALUATIONS >= 4 [JOBS >= 1]]\n");
    return 2;
  }
  std::printf("%lld sounds per method, %zu jobs for the search\n", static_cast<long long>(n), jobs);
  std::printf("%-12s %9s %9s %9s %9s %12s\n", "target", "match", "family", "random", "mutation", "match/s");
  for (const Target& t : Corpus()) {
    const SoundFeatures target = DescribeSound(t.Sound);
    MatchSettings settings;
    settings.Evaluations = n;
    settings.Jobs = jobs;
    settings.Top = 1;
    const auto begun = std::chrono::steady_clock::now();
    const std::vector<Candidate> found = FindMatches(t.Sound, settings);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    settings.Source = t.Source;
    const std::vector<Candidate> inFamily = FindMatches(t.Sound, settings);
    std::printf("%-12s %9.4f %9.4f %9.4f %9.4f %12.1f\n", t.Name.c_str(), found.front().Distance,
                inFamily.front().Distance, RandomBest(target, t.Source, n), MutationBest(target, t.Source, n),
                static_cast<double>(n) / seconds);
    std::fflush(stdout);
  }
  return 0;
}
